#include "support/CommandOutput.h"
#include "support/SeqTestSupport.h"
#include "support/TempDir.h"

#include "QD_ScriptChannel.h"
#include "QD_Sequencer_QCS.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Quote(const std::string& path)
{
    return "'" + path + "'";
}

// The value vc-seq prints for channel at beat ("BEAT CHANNEL VALUE").
float ValueAt(const std::string& script, std::uint32_t channel, float beat)
{
    char arguments[64];
    std::snprintf(arguments, sizeof(arguments), " --at %.9g --channel %u", double(beat), channel);
    const ToolRun run = RunTool(Quote(script) + arguments, false);
    EXPECT_EQ(run.status, 0) << script;
    const std::string::size_type last = run.output.rfind(' ');
    return last == std::string::npos ? NAN : std::strtof(run.output.c_str() + last + 1, nullptr);
}

// after is before with some bytes in place of [from, to): the bytes outside stand as they were.
bool OnlyChangedWithin(const std::string& before, const std::string& after, std::uint32_t from, std::uint32_t to)
{
    const std::size_t tail = before.size() - to;
    return after.size() >= from + tail && after.compare(0, from, before, 0, from) == 0 &&
           after.compare(after.size() - tail, tail, before, to, tail) == 0;
}

// One of the demo's scripts with the first statements of each kind the edits need.
struct DemoScript
{
    std::string text;
    QD_ScriptSyntax syntax;
    std::map<std::uint32_t, QD_ScriptChannel> channels;
    const QD_StatementSyntax* spline = nullptr;   // three keys or more
    const QD_StatementSyntax* constant = nullptr;
    const QD_StatementSyntax* beat = nullptr;
};

void LoadDemoScript(const std::string& path, DemoScript* script)
{
    script->text = ReadAll(path);
    QC_Ptr<QD_Sequencer> sequencer;
    ASSERT_TRUE(QD_ParseSequencerSyntax(script->text.data(), std::uint32_t(script->text.size()), sequencer,
                                        script->syntax));
    script->channels = QD_DescribeChannels(*sequencer);
    // The statement each channel reads from is its last one.
    for (const QD_StatementSyntax& statement : script->syntax.statements) {
        const QD_ScriptChannel& channel = script->channels[statement.channel];
        if (&statement != &*std::find_if(script->syntax.statements.rbegin(), script->syntax.statements.rend(),
                                         [&](const QD_StatementSyntax& s) { return s.channel == statement.channel; }))
            continue;
        if (!script->spline && channel.kind == QD_SCRIPT_SPLINE && channel.keys.size() >= 3)
            script->spline = &statement;
        if (!script->constant && channel.kind == QD_SCRIPT_CONSTANT)
            script->constant = &statement;
        if (!script->beat && channel.kind == QD_SCRIPT_BEAT)
            script->beat = &statement;
    }
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

TEST(VcSeqToolTest, EditsOfTheDemosScriptsChangeOnlyTheirTokensAndReadBack)
{
    LogCapture log;
    TempDir dir;
    int beatChannels = 0;
    int constantChannels = 0;
    for (const char* name : {"scene.qcs", "o.qcs", "p.qcs", "t.qcs"}) {
        SCOPED_TRACE(name);
        DemoScript demo;
        LoadDemoScript(std::string(VC_SOURCE_DIR) + "/assets/" + name, &demo);
        ASSERT_NE(demo.spline, nullptr);
        const std::uint32_t spline = demo.spline->channel;
        const std::vector<QD_SequencerKey>& keys = demo.channels[spline].keys;
        const QD_KeySyntax& key1 = demo.spline->keys[1];
        const std::string copy = dir.File(name);
        // Runs one edit on a fresh copy; checks what changed lies in [from, to).
        const auto edit = [&](const std::string& arguments, std::uint32_t from, std::uint32_t to) {
            dir.Write(name, demo.text);
            const ToolRun run = RunTool(Quote(copy) + " " + arguments, true);
            EXPECT_EQ(run.status, 0) << arguments << "\n" << run.output;
            EXPECT_EQ(run.output, "") << arguments;
            const std::string edited = ReadAll(copy);
            EXPECT_NE(edited, demo.text) << arguments << " changed nothing";
            EXPECT_TRUE(OnlyChangedWithin(demo.text, edited, from, to)) << arguments << " changed bytes outside "
                                                                        << from << "-" << to << ":\n" << edited;
        };
        const std::string key = std::to_string(spline) + ":1";

        edit("--set-value " + key + " 0.375", key1.value.offset, key1.value.End());
        EXPECT_EQ(ValueAt(copy, spline, keys[1].beat), 0.375f);

        const float between = keys[0].beat + (keys[1].beat - keys[0].beat) * 0.5f;
        edit("--move-key " + key + " " + QD_FormatScriptFloat(between), key1.beat.offset, key1.beat.End());
        EXPECT_EQ(ValueAt(copy, spline, between), keys[1].value);

        edit("--add-key " + std::to_string(spline) + " " + QD_FormatScriptFloat(between) + ":0.375",
             demo.spline->keys[0].value.End(), key1.Start());
        EXPECT_EQ(ValueAt(copy, spline, between), 0.375f);

        edit("--delete-key " + key, key1.Start(), demo.spline->keys[2].Start());
        EXPECT_EQ(ValueAt(copy, spline, keys[0].beat), keys[0].value);
        EXPECT_EQ(ValueAt(copy, spline, keys[2].beat), keys[2].beat == keys.back().beat ? keys[0].value : keys[2].value);

        const char* otherKind = demo.channels[spline].splineType == QD_SPLINE_CONSTANT ? "linear" : "constant";
        edit("--set-kind " + std::to_string(spline) + " " + otherKind, demo.spline->head.offset, demo.spline->head.End());

        if (demo.constant) {
            ++constantChannels;
            const std::uint32_t constant = demo.constant->channel;
            edit("--set-value " + std::to_string(constant) + " 0.375", demo.constant->head.offset,
                 demo.constant->head.End());
            EXPECT_EQ(ValueAt(copy, constant, 3.0f), 0.375f);
        }

        if (demo.beat) {
            ++beatChannels;
            edit("--set-rate " + std::to_string(demo.beat->channel) + " 0.5", demo.beat->amplifier.offset,
                 demo.beat->amplifier.End());
            EXPECT_EQ(ValueAt(copy, demo.beat->channel, 8.0f), 4.0f);
        }

        // Several edits in one run, written to --out: the script itself stays as it was, and
        // --at reads the edited values at once.
        dir.Write(name, demo.text);
        const ToolRun chained = RunTool(Quote(copy) + " --set-value " + key + " 0.5 --set-kind " + std::to_string(spline) +
                                            " linear --out " + Quote(dir.File("out.qcs")) + " --at " +
                                            QD_FormatScriptFloat(keys[1].beat) + " --channel " + std::to_string(spline),
                                        false);
        EXPECT_EQ(chained.status, 0);
        EXPECT_EQ(chained.output, QD_FormatScriptFloat(keys[1].beat) + " " + std::to_string(spline) + " 0.5\n");
        EXPECT_EQ(ReadAll(copy), demo.text);
        EXPECT_EQ(ValueAt(dir.File("out.qcs"), spline, keys[1].beat), 0.5f);
    }
    EXPECT_GT(beatChannels, 0);
    EXPECT_GT(constantChannels, 0);
}

TEST(VcSeqToolTest, RefusedEditsWriteNothingAndSayWhy)
{
    TempDir dir;
    const std::string text = "// keys\n1 = linear(0:0, 4:1, 8:0);\n2 = 0.5;\n";
    const std::string script = dir.Write("keys.qcs", text);
    const struct
    {
        const char* arguments;
        const char* reason;
    } refusals[] = {
        {"--set-value 1:1 nan", "value nan is not a finite number."},
        {"--set-value 2 inf", "value inf is not a finite number."},
        {"--move-key 1:1 -1", "beat -1 is below 0."},
        {"--move-key 1:1 8", "key 1 of channel 1 at beat 8 would reach or pass its neighbour at beat 8"},
        {"--add-key 1 4:2", "channel 1 has a key at beat 4 already."},
        {"--set-rate 2 1", "channel 2 is not a beat channel."},
        // The first edit is good, the second is not: nothing at all is written.
        {"--set-value 1:1 3 --delete-key 1:7", "channel 1 has no key 7 (it has 3)."},
    };
    for (const auto& refusal : refusals) {
        const ToolRun run = RunTool(Quote(script) + " " + refusal.arguments + " --at 4", true);
        EXPECT_EQ(run.status, 1) << refusal.arguments;
        EXPECT_NE(run.output.find(script + ": " + refusal.reason), std::string::npos) << run.output;
        EXPECT_EQ(ReadAll(script), text) << refusal.arguments;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "no temporary file left";
    }

    // A script with an error is never written over.
    const std::string broken = dir.Write("broken.qcs", "1 = linear(0:0 4:1);\n");
    const ToolRun refused = RunTool(Quote(broken) + " --set-value 1:0 2", true);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("the script has an error"), std::string::npos) << refused.output;
    EXPECT_EQ(ReadAll(broken), "1 = linear(0:0 4:1);\n");

    // Edits that cannot be read are usage errors.
    for (const char* arguments : {"--move-key 1 4", "--move-key 1:x 4", "--set-kind 1 spiral", "--add-key 1",
                                  "--set-value 1:1 abc", "--delete-key", "--out x.qcs"}) {
        EXPECT_EQ(RunTool(Quote(script) + " " + arguments, false).status, 2) << arguments;
    }
    EXPECT_EQ(ReadAll(script), text);

    const ToolRun help = RunTool("--help", false);
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--at", "--channel", "--set-value", "--move-key", "--add-key", "--delete-key",
                               "--set-kind", "--set-rate", "--out"})
        EXPECT_NE(help.output.find(option), std::string::npos) << option;
}
