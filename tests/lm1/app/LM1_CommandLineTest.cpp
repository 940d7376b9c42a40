// The command line of every mode: the options each mode takes and refuses, and what the
// program answers to --help, --version and a wrong line, run as a process.

#include "LM1_CommandLine.h"
#include "support/CommandOutput.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
bool Parse(std::vector<const char*> arguments, LM1_CommandLine& line)
{
    arguments.insert(arguments.begin(), "velvet-cascade");
    return LM1_ParseCommandLine(static_cast<int>(arguments.size()), arguments.data(), line);
}

std::string Shown(const std::vector<const char*>& arguments)
{
    std::string shown;
    for (const char* argument : arguments)
        shown += std::string(argument) + " ";
    return shown;
}

CommandRun RunProgram(const std::string& arguments)
{
    return RunCommandKeepingErrors("'" VC_BINARY_DIR "/velvet-cascade' " + arguments);
}
} // namespace

TEST(LM1_CommandLineTest, RenderModeTakesTheRenderOptionsAndRefusesTheRest)
{
    LM1_CommandLine line;
    ASSERT_TRUE(Parse({}, line));
    EXPECT_EQ(line.mode, LM1_RunMode::Demo) << "no arguments: the live demo";

    ASSERT_TRUE(Parse({"--render", "out", "--size", "320x180", "--fps", "24", "--from", "16.5", "--to", "32"}, line))
        << line.error;
    EXPECT_EQ(line.mode, LM1_RunMode::Render);
    EXPECT_EQ(line.render.folder, "out");
    EXPECT_EQ(line.render.width, 320);
    EXPECT_EQ(line.render.height, 180);
    EXPECT_EQ(line.render.framesPerSecond, 24);
    EXPECT_EQ(line.render.fromBeat, 16.5f);
    EXPECT_TRUE(line.render.hasToBeat);
    EXPECT_EQ(line.render.toBeat, 32.0f);

    ASSERT_TRUE(Parse({"--render", "out"}, line));
    EXPECT_EQ(line.render.width, 1280);
    EXPECT_EQ(line.render.height, 720);
    EXPECT_EQ(line.render.framesPerSecond, 60);
    EXPECT_EQ(line.render.fromBeat, 0.0f);
    EXPECT_FALSE(line.render.hasToBeat);

    const std::vector<std::vector<const char*>> refused = {
        {"--render"},
        {"--render", ""},
        {"--bogus"},
        {"frames"},
        {"--size", "320x180"},
        {"--render", "out", "--size", "320"},
        {"--render", "out", "--size", "0x10"},
        {"--render", "out", "--size", "20000x10"},
        {"--render", "out", "--size", "32x18x"},
        {"--render", "out", "--fps", "0"},
        {"--render", "out", "--fps", "4.5"},
        {"--render", "out", "--from", "-1"},
        {"--render", "out", "--from", "nan"},
        {"--render", "out", "--from", "8", "--to", "8"},
        {"--render", "out", "--to"},
    };
    for (const auto& arguments : refused) {
        EXPECT_FALSE(Parse(arguments, line)) << Shown(arguments);
        EXPECT_FALSE(line.error.empty()) << Shown(arguments);
    }
}

TEST(LM1_CommandLineTest, QualityGoesWithVideoFilesOnly)
{
    LM1_CommandLine line;
    ASSERT_TRUE(Parse({"--render", "demo.mp4"}, line)) << line.error;
    EXPECT_EQ(line.render.quality, 18) << "the default rate factor";
    ASSERT_TRUE(Parse({"--quality", "0", "--render", "out/Demo.MKV"}, line)) << line.error;
    EXPECT_EQ(line.render.quality, 0);
    EXPECT_TRUE(Parse({"--render", "a.webm", "--quality", "63"}, line)) << line.error;
    EXPECT_FALSE(Parse({"--render", "a.webm", "--quality", "64"}, line));
    EXPECT_FALSE(Parse({"--render", "a.mp4", "--quality", "-1"}, line));
    EXPECT_FALSE(Parse({"--render", "a.mp4", "--quality", "high"}, line));
    EXPECT_FALSE(Parse({"--render", "frames", "--quality", "10"}, line));
    EXPECT_NE(line.error.find("video file"), std::string::npos) << line.error;

    EXPECT_TRUE(LM1_IsVideoOutput("demo.mp4"));
    EXPECT_TRUE(LM1_IsVideoOutput("x/demo.WebM"));
    EXPECT_FALSE(LM1_IsVideoOutput("frames"));
    EXPECT_FALSE(LM1_IsVideoOutput("frames.mp4/"));
    EXPECT_FALSE(LM1_IsVideoOutput("caps.mp4.d/frames"));
    EXPECT_FALSE(LM1_IsVideoOutput("demo.avi"));
}

TEST(LM1_CommandLineTest, PresetTakesTheEncodersSpeedNamesWithVideoFilesOnly)
{
    LM1_CommandLine line;
    ASSERT_TRUE(Parse({"--render", "demo.mp4"}, line)) << line.error;
    EXPECT_EQ(line.render.preset, "") << "none given: the encoder's default for a capture";
    EXPECT_TRUE(LM1_IsVideoPreset(LM1_DefaultVideoPreset()));
    for (const char* name : {"ultrafast", "veryfast", "medium", "veryslow"}) {
        ASSERT_TRUE(Parse({"--render", "a.webm", "--preset", name}, line)) << line.error;
        EXPECT_EQ(line.render.preset, name);
    }
    // Names are the encoder's, exactly: no case folding, no guessing, no numbers.
    for (const char* wrong : {"Fast", "placebo", "", "4", "fast "}) {
        EXPECT_FALSE(Parse({"--render", "a.mp4", "--preset", wrong}, line)) << "'" << wrong << "'";
        EXPECT_NE(line.error.find(std::string("--preset takes one of ") + LM1_VideoPresetNames()), std::string::npos)
            << line.error;
    }
    EXPECT_FALSE(Parse({"--render", "a.mp4", "--preset"}, line));
    EXPECT_FALSE(Parse({"--render", "frames", "--preset", "fast"}, line));
    EXPECT_EQ(line.error, "--preset goes with a video file (.mp4, .mkv or .webm)");
    EXPECT_FALSE(Parse({"--dev", "--preset", "fast"}, line));
    // The usage names the default where the names are listed.
    const std::string usage = LM1_Usage();
    const std::size_t defaultName = usage.find(std::string(LM1_DefaultVideoPreset()) + "\n");
    ASSERT_NE(defaultName, std::string::npos) << usage;
    EXPECT_EQ(usage.find("(the default)"), usage.find_first_not_of(' ', defaultName + std::strlen(LM1_DefaultVideoPreset()) + 1))
        << usage;
}

TEST(LM1_CommandLineTest, DevModeTakesSizeAndStartAndRefusesTheRest)
{
    LM1_CommandLine line;
    ASSERT_TRUE(Parse({"--dev"}, line)) << line.error;
    EXPECT_EQ(line.mode, LM1_RunMode::Dev);
    EXPECT_EQ(line.dev.width, 1280);
    EXPECT_EQ(line.dev.height, 720);
    EXPECT_EQ(line.dev.startBeat, 0.0f);

    ASSERT_TRUE(Parse({"--dev", "--size", "640x360", "--start", "64.5"}, line)) << line.error;
    EXPECT_EQ(line.dev.width, 640);
    EXPECT_EQ(line.dev.height, 360);
    EXPECT_EQ(line.dev.startBeat, 64.5f);
    ASSERT_TRUE(Parse({"--start", "8", "--size", "64X64", "--dev"}, line)) << "any order, either cross";
    EXPECT_EQ(line.dev.width, 64);
    EXPECT_EQ(line.dev.startBeat, 8.0f);

    const std::vector<std::vector<const char*>> refused = {
        {"--dev", "--size"},
        {"--dev", "--size", "640"},
        {"--dev", "--size", "640x"},
        {"--dev", "--size", "10x10"},
        {"--dev", "--size", "640x360x2"},
        {"--dev", "--start", "-1"},
        {"--dev", "--start", "nan"},
        {"--dev", "--start", "4beats"},
        {"--dev", "--fps", "30"},
        {"--dev", "--render", "out"},
        {"--start", "4"},
        {"--render", "out", "--start", "4"},
    };
    for (const auto& arguments : refused) {
        EXPECT_FALSE(Parse(arguments, line)) << Shown(arguments);
        EXPECT_FALSE(line.error.empty()) << Shown(arguments);
    }
}

TEST(LM1_CommandLineTest, AssetsAndVerboseGoWithEveryModeAndReachItsOptions)
{
    LM1_CommandLine line;
    ASSERT_TRUE(Parse({"--assets", "/data/x", "--verbose"}, line)) << line.error;
    EXPECT_EQ(line.mode, LM1_RunMode::Demo) << "neither names a mode";
    EXPECT_EQ(line.assetFolder, "/data/x");
    EXPECT_TRUE(line.verbose);

    ASSERT_TRUE(Parse({"--render", "out", "--assets", "mine", "--fps", "2"}, line)) << line.error;
    EXPECT_EQ(line.render.assetFolder, "mine");
    EXPECT_FALSE(line.render.verbose);
    EXPECT_EQ(line.render.framesPerSecond, 2) << "the value after --assets is not taken for an option";

    ASSERT_TRUE(Parse({"--verbose", "--dev", "--assets", "--dev-copy"}, line)) << line.error;
    EXPECT_EQ(line.mode, LM1_RunMode::Dev);
    EXPECT_EQ(line.dev.assetFolder, "--dev-copy") << "a value is a value even when it looks like an option";
    EXPECT_TRUE(line.dev.verbose);

    ASSERT_TRUE(Parse({"--render", "out"}, line));
    EXPECT_EQ(line.render.assetFolder, "") << "nothing named: the search decides";
    EXPECT_FALSE(line.render.verbose);

    for (const auto& arguments : std::vector<std::vector<const char*>>{
             {"--assets"}, {"--assets", ""}, {"--render", "out", "--assets"}, {"--verbose", "yes"}}) {
        EXPECT_FALSE(Parse(arguments, line)) << Shown(arguments);
        EXPECT_FALSE(line.error.empty()) << Shown(arguments);
    }
}

TEST(LM1_CommandLineTest, HelpAndVersionWinOverTheRestOfTheLine)
{
    LM1_CommandLine line;
    for (const auto& arguments : std::vector<std::vector<const char*>>{
             {"--help"}, {"-h"}, {"--render", "out", "--help"}, {"--dev", "--size", "1x1", "-h"}}) {
        ASSERT_TRUE(Parse(arguments, line)) << Shown(arguments);
        EXPECT_EQ(line.mode, LM1_RunMode::Help) << Shown(arguments);
    }
    ASSERT_TRUE(Parse({"--version"}, line));
    EXPECT_EQ(line.mode, LM1_RunMode::Version);
    const std::string usage = LM1_Usage();
    for (const char* mode :
         {"--render DIR", "--render FILE.mp4", "--dev", "--start BEAT", "--assets DIR", "--verbose", "--help", "--version"})
        EXPECT_NE(usage.find(mode), std::string::npos) << mode;
}

TEST(LM1_CommandLineTest, TheProgramAnswersHelpVersionAndWrongLinesLikeAConsoleTool)
{
    const CommandRun help = RunProgram("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.output, LM1_Usage()) << "the usage on standard output";
    EXPECT_EQ(help.errors, "");
    const CommandRun version = RunProgram("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, LM1_VersionText());
    EXPECT_EQ(version.output.rfind("velvet-cascade ", 0), 0u) << version.output;
    const CommandRun wrong = RunProgram("--dev --size 1x1");
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_EQ(wrong.output, "");
    EXPECT_NE(wrong.errors.find("velvet-cascade: --size"), std::string::npos) << wrong.errors;
    EXPECT_NE(wrong.errors.find(LM1_Usage()), std::string::npos) << wrong.errors;
    const CommandRun preset = RunProgram("--render x.mp4 --preset warp");
    EXPECT_EQ(preset.exitCode, 2);
    EXPECT_NE(preset.errors.find("velvet-cascade: --preset takes one of ultrafast,"), std::string::npos)
        << preset.errors;
}
