// Runs build/vc-shader as a process: what authors and scripts see of the shading language.

#include "support/CommandOutput.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{
struct RunResult
{
    int exitCode;
    std::string output;
};

class VcShaderToolTest : public testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vc-shader-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        const std::string tool = std::string(VC_BINARY_DIR) + "/vc-shader";
        ASSERT_EQ(access(tool.c_str(), X_OK), 0) << tool << " is missing: build the vc-shader target";
    }
    void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }

    std::string Write(const char* name, const std::string& text)
    {
        const std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Standard output and the exit code; the log on standard error goes to a file.
    RunResult Run(const std::string& arguments)
    {
        const std::string command =
            std::string(VC_BINARY_DIR) + "/vc-shader " + arguments + " 2>'" + folder + "/stderr.txt'";
        RunResult result{-1, ""};
        result.output = RunCommand(command, &result.exitCode);
        return result;
    }

    std::string Log()
    {
        std::ifstream file(folder + "/stderr.txt", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    std::string folder;
};

const char kGood[] = "vertex { void main(in QR_Position p, out QR_Position q) { q = p; } }\n"
                     "pixel { void main(in QR_Position p, out QR_Target c) { c = p; } }\n";
} // namespace

TEST_F(VcShaderToolTest, PrintsTheNamedStageOrBothVertexFirst)
{
    const std::string path = Write("good.qcs", kGood);

    const RunResult both = Run("'" + path + "'");
    EXPECT_EQ(both.exitCode, 0);
    const std::size_t vertexEntry = both.output.find("QR_Output QR_Main(QR_Input input)\n{");
    const std::size_t pixelEntry = both.output.find("QR_Output QR_Main(QR_Input input){");
    ASSERT_NE(vertexEntry, std::string::npos);
    ASSERT_NE(pixelEntry, std::string::npos);
    EXPECT_LT(vertexEntry, pixelEntry);
    // The text the compiler reads: numbered in the author's file by #line directives, from the
    // first line on (the prelude from the stage block's line).
    EXPECT_EQ(both.output.rfind("#line 1 \"" + path + "\"\n#define QR_Position float4\n", 0), 0u) << both.output;
    EXPECT_NE(both.output.find("#line 2 \"" + path + "\"\n#define QR_Position float4\n"), std::string::npos)
        << both.output;

    const RunResult pixel = Run("--stage pixel '" + path + "'");
    EXPECT_EQ(pixel.exitCode, 0);
    EXPECT_NE(pixel.output.find("QR_Target c : SV_TARGET;"), std::string::npos);
    EXPECT_EQ(pixel.output.find("QR_Output QR_Main(QR_Input input)\n"), std::string::npos);
    EXPECT_EQ(Log(), "");

    const RunResult vertex = Run("--stage vertex '" + path + "'");
    EXPECT_EQ(vertex.exitCode, 0);
    EXPECT_EQ(both.output, vertex.output + pixel.output);
}

TEST_F(VcShaderToolTest, ExitCodeSaysWhetherAnythingWasReported)
{
    const RunResult faulty = Run("'" + Write("faulty.qcs", "samplers { QR_Sampler2D s }\nvertex { }") + "'");
    EXPECT_EQ(faulty.exitCode, 1);
    EXPECT_NE(Log().find("frame/qr/shading/QR_ShaderParser.cpp("), std::string::npos);
    EXPECT_NE(Log().find("[ERROR] " + folder + "/faulty.qcs(1,27): error: Expected ; after sampler."), std::string::npos)
        << Log();
    EXPECT_NE(faulty.output.find("QR_Output QR_Main"), std::string::npos) << "the text is printed all the same";

    // Reported by the generator, not the parser: a pixel output without a semantic string.
    EXPECT_EQ(Run("--stage pixel '" + Write("gen.qcs", "pixel { void main(out QR_Normal n) { } }") + "'").exitCode, 1);
    EXPECT_NE(Log().find("[ERROR] " + folder + "/gen.qcs(1): error: Unknown semantic."), std::string::npos) << Log();

    EXPECT_EQ(Run("'" + folder + "/missing.qcs'").exitCode, 2);
    EXPECT_NE(Log().find("missing.qcs"), std::string::npos);
    EXPECT_EQ(Run("--stage geometry '" + Write("g.qcs", kGood) + "'").exitCode, 2);
    EXPECT_EQ(Run("").exitCode, 2);

    EXPECT_EQ(Run("'" + Write("long.qcs", "samplers { QR_Sampler2D " + std::string(128, 'x') + "; }") + "'").exitCode, 3);
    EXPECT_NE(Log().find("[FATAL] Buffer overflow."), std::string::npos);
}
