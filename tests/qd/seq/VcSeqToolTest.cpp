#include "support/CommandOutput.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace
{
struct ToolRun
{
    int status = -1;
    std::string output;
};

// Runs the built vc-seq with arguments (already quoted), capturing stdout, and stderr when
// asked.
ToolRun RunTool(const std::string& arguments, bool withStderr)
{
    ToolRun run;
    const std::string tool = std::string(VC_BINARY_DIR) + "/vc-seq";
    if (!std::filesystem::exists(tool)) {
        ADD_FAILURE() << tool << " is not built";
        return run;
    }
    run.output = RunCommand("'" + tool + "' " + arguments + (withStderr ? " 2>&1" : " 2>/dev/null"), &run.status);
    return run;
}
} // namespace

TEST(VcSeqToolTest, PrintsEveryAssignedChannelAtEachBeatInOrder)
{
    TempDir dir;
    const std::string script = dir.Write("ramp.qcs", "4 = beat(0.25);\n1 = linear(0:0, 4:8);\n2 = 0.5;\n");

    const ToolRun all = RunTool("'" + script + "' --at 1 --at 8", false);
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.output, "1 1 2\n1 2 0.5\n1 4 0.25\n"
                          "8 1 0\n8 2 0.5\n8 4 2\n");

    const ToolRun chosen = RunTool("'" + script + "' --channel 4 --channel 3 --at 0.1", false);
    EXPECT_EQ(chosen.status, 0);
    EXPECT_EQ(chosen.output, "0.100000001 4 0.0250000004\n0.100000001 3 0\n");

    const ToolRun atZero = RunTool("'" + script + "'", false);
    EXPECT_EQ(atZero.status, 0);
    EXPECT_EQ(atZero.output, "0 1 0\n0 2 0.5\n0 4 0\n");
}

TEST(VcSeqToolTest, ScriptErrorsGoToStderrWithExitStatusOne)
{
    TempDir dir;
    const std::string script = dir.Write("broken.qcs", "// two good lines first\n1 = 0.5;\n3 = linear();\n");
    const ToolRun run = RunTool("'" + script + "'", true);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("frame/qd/QD_Sequencer_QCS.cpp("), std::string::npos) << run.output;
    // Each message names the script and the line the author wrote.
    EXPECT_NE(run.output.find("[ERROR] " + script + "(3): error: Expected float for beat in spline.\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("[ERROR] " + script + "(3): error: No channel of type ).\n"), std::string::npos)
        << run.output;

    EXPECT_EQ(RunTool("'" + dir.File("missing.qcs") + "'", false).status, 1);
    EXPECT_EQ(RunTool("'" + script + "' --at", false).status, 2);
    EXPECT_EQ(RunTool("'" + script + "' --channel -1", false).status, 2);
    EXPECT_EQ(RunTool("", false).status, 2);
}
