// The offline renderer: velvet-cascade --render run as a process over the
// real assets (frame count, frames.tsv, the scene column against the timeline, byte-identical
// runs) and over a folder that lacks an asset.

#include "QC_Log.h"
#include "QD_Sequencer_QCS.h"
#include "QD_Sync.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <lodepng.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace
{
struct Process
{
    int exitCode = -1;
    std::string errors;
};

// Runs the demo with arguments in folder, standard error kept.
Process RunDemo(const std::string& folder, const std::string& arguments)
{
    TempDir scratch;
    const std::string errorFile = scratch.File("stderr.txt");
    const std::string command = "cd '" + folder + "' && '" VC_BINARY_DIR "/velvet-cascade' " + arguments + " 2>'" +
                                errorFile + "' >/dev/null";
    const int status = std::system(command.c_str());
    Process process;
    process.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errorFile);
    process.errors.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return process;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::vector<std::string>> ReadTable(const std::string& path)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream text(ReadAll(path));
    std::string line;
    while (std::getline(text, line)) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        std::string cell;
        while (std::getline(fields, cell, '\t'))
            cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

// The scene the timeline names at each beat, evaluated by the engine's own sequencer.
std::vector<int> TimelineScenes(const std::vector<float>& beats)
{
    QC_CreateLog(QC_LogConfig{});
    QD_CreateSync(QD_SyncSettings{.method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 0});
    std::vector<int> scenes;
    {
        QC_Ptr<QD_Sequencer> timeline;
        EXPECT_TRUE(QD_ParseSequencerScript(VC_SOURCE_DIR "/assets/scene.qcs", timeline));
        if (timeline) {
            timeline->SubscribeChannels();
            for (float beat : beats) {
                QD_GetSync()->DispatchBeat(beat);
                scenes.push_back(static_cast<int>(timeline->GetValue(static_cast<int>(timeline->GetValue(3)))));
            }
        }
    }
    QD_DestroySync();
    QC_DestroyLog();
    return scenes;
}
} // namespace

TEST(LM1_OfflineRenderTest, AWrongCommandLineGivesTheUsageAndExitCodeTwo)
{
    const Process process = RunDemo(VC_SOURCE_DIR, "--render");
    EXPECT_EQ(process.exitCode, 2);
    EXPECT_NE(process.errors.find("usage: velvet-cascade"), std::string::npos) << process.errors;
}

TEST(LM1_OfflineRenderTest, WritesTheFramesOfTheRangeTheSameWayTwice)
{
    // Beats 14 to 18 at 4 frames a second: 8 frames, across the timeline's cross-fade at 16.
    TempDir output;
    const std::string first = output.File("first");
    const std::string second = output.File("second");
    const std::string options = " --size 160x90 --fps 4 --from 14 --to 18";
    const Process run = RunDemo(VC_SOURCE_DIR, "--render '" + first + "'" + options);
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(run.errors.find("8 frames"), std::string::npos) << "the summary: " << run.errors;

    const auto table = ReadTable(first + "/frames.tsv");
    ASSERT_EQ(table.size(), 9u) << "a header and (18 - 14) x 4 / 2 frames";
    EXPECT_EQ(table[0], (std::vector<std::string>{"frame", "beat", "scene", "previous", "fade", "triangles", "cpu_ms"}));
    std::vector<float> beats;
    for (std::size_t row = 1; row < table.size(); ++row) {
        ASSERT_EQ(table[row].size(), 7u) << "row " << row;
        EXPECT_EQ(std::stoi(table[row][0]), int(row - 1));
        beats.push_back(std::stof(table[row][1]));
        EXPECT_FLOAT_EQ(beats.back(), 14.0f + float(row - 1) * 0.5f) << "frame k at from + k * 2 / fps";
        const float fade = std::stof(table[row][4]);
        EXPECT_GE(fade, 0.0f);
        EXPECT_LE(fade, 1.0f);
        EXPECT_GE(std::stoi(table[row][5]), 2) << "at least the composition's two triangles";
        EXPECT_GE(std::stod(table[row][6]), 0.0);
    }
    const std::vector<int> expectedScenes = TimelineScenes(beats);
    ASSERT_EQ(expectedScenes.size(), beats.size());
    for (std::size_t i = 0; i < beats.size(); ++i)
        EXPECT_EQ(std::stoi(table[i + 1][2]), expectedScenes[i]) << "scene at beat " << beats[i];
    EXPECT_NE(expectedScenes.front(), expectedScenes.back()) << "the range crosses a scene change";
    EXPECT_EQ(std::stoi(table[5][3]), expectedScenes.front()) << "the previous scene after the change";
    EXPECT_LT(std::stof(table[5][4]), 1.0f) << "the change at beat 16 fades";

    for (int frame = 0; frame < 8; ++frame) {
        char name[32];
        std::snprintf(name, sizeof(name), "/frame_%06d.png", frame);
        std::vector<unsigned char> pixels;
        unsigned width = 0;
        unsigned height = 0;
        ASSERT_EQ(lodepng::decode(pixels, width, height, first + name, LCT_RGB, 8), 0u) << name;
        EXPECT_EQ(width, 160u);
        EXPECT_EQ(height, 90u);
    }
    EXPECT_FALSE(std::filesystem::exists(first + "/frame_000008.png")) << "nothing beyond --to";

    const Process again = RunDemo(VC_SOURCE_DIR, "--render '" + second + "'" + options);
    ASSERT_EQ(again.exitCode, 0) << again.errors;
    for (int frame = 0; frame < 8; ++frame) {
        char name[32];
        std::snprintf(name, sizeof(name), "/frame_%06d.png", frame);
        const std::string bytes = ReadAll(first + name);
        EXPECT_FALSE(bytes.empty());
        EXPECT_TRUE(bytes == ReadAll(second + name)) << name << " differs between two runs";
    }
}

TEST(LM1_OfflineRenderTest, AnAssetThatDoesNotLoadIsNamedWithExitCodeOne)
{
    // An asset folder with the timeline and nothing else: the first load that fails ends the run.
    TempDir folder;
    std::filesystem::create_directories(folder.File("assets"));
    std::filesystem::copy_file(VC_SOURCE_DIR "/assets/scene.qcs", folder.File("assets/scene.qcs"));
    const std::string assets = folder.File("assets");
    const Process process = RunDemo(folder.Path().string(), "--render '" + folder.File("out") +
                                                                "' --size 64x36 --fps 4 --to 1 --assets '" + assets + "'");
    EXPECT_EQ(process.exitCode, 1) << process.errors;
    EXPECT_NE(process.errors.find("velvet-cascade: Unable to load " + assets + "/"), std::string::npos) << process.errors;
    EXPECT_EQ(process.errors.find("Unable to load " + assets + "/scene.qcs"), std::string::npos)
        << "the file that is there";
    EXPECT_FALSE(std::filesystem::exists(folder.File("out/frame_000000.png")));
}
