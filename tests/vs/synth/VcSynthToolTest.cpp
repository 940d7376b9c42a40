// vc-synth as a process: its command line, its exit codes, and the files it writes.

#include "QA_Buffer_OGG.h"

#include "support/CommandOutput.h"
#include "support/TempDir.h"
#include "support/SynthTestSupport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace
{
struct ToolRun
{
    int status = -1;
    std::string output; // stdout and stderr
};

ToolRun RunSynth(const std::string& arguments)
{
    ToolRun run;
    const std::string tool = std::string(VC_BINARY_DIR) + "/vc-synth";
    if (!std::filesystem::exists(tool)) {
        ADD_FAILURE() << tool << " is not built";
        return run;
    }
    run.output = RunCommand("'" + tool + "' " + arguments + " 2>&1", &run.status);
    return run;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

const char* const kTinyScore = "song\n  bars 2\n  tail 0.5\nend\n"
                               "instrument kick\n  osc1 sine\n  pitch_env 24\n  decay 0.3\n  sustain 0\n  sidechain 1\nend\n"
                               "instrument keys\n  unison 3\n  filter lowpass\n  cutoff 2000\n  reverb 0.4\n  duck 0.5\nend\n"
                               "pattern four 16\n  0-12/4 A1 4 127\nend\n"
                               "pattern chord 32\n  0 D3+F3+A3 28 90\nend\n"
                               "play 0 2 kick four\nplay 0 2 keys chord\nsection all 0 2\n";
} // namespace

TEST(VcSynthToolTest, RendersAScoreToTheSameOggBytesEveryTime)
{
    SynthLog log; // the loader below logs through it
    TempDir dir;
    const std::string score = dir.Write("tiny.score", kTinyScore);
    const std::string first = dir.File("first.ogg"), again = dir.File("again.ogg");
    const ToolRun run = RunSynth("'" + score + "' '" + first + "' --wav '" + dir.File("tiny.wav") + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("integrated loudness -14.0"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("decoded "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("all           0-2"), std::string::npos) << "the section table\n" << run.output;

    QC_Ptr<QA_Buffer> pcm;
    ASSERT_TRUE(QA_Buffer_OGG::Load(first.c_str(), pcm));
    EXPECT_EQ(pcm->Size() / 4, 2u * 88200u + 22050u) << "two bars and the tail";
    const std::string wav = ReadFile(dir.File("tiny.wav"));
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.size(), 44u + (2u * 88200u + 22050u) * 4u);

    ASSERT_EQ(RunSynth("'" + score + "' '" + again + "'").status, 0);
    EXPECT_EQ(ReadFile(first), ReadFile(again)) << "the same score gives the same bytes";

    const ToolRun part = RunSynth("'" + score + "' '" + dir.File("part.ogg") + "' --from 1 --to 2");
    ASSERT_EQ(part.status, 0) << part.output;
    EXPECT_NE(part.output.find("bars 1-2: 2.500 s"), std::string::npos) << part.output;
}

TEST(VcSynthToolTest, BrokenScoresAndCommandLinesFailWithTheirExitCodes)
{
    TempDir dir;
    const std::string broken = dir.Write("broken.score", "song\n  bars 2\n  tempo fast\nend\n");
    const ToolRun run = RunSynth("'" + broken + "' '" + dir.File("out.ogg") + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("broken.score(3): 'tempo' needs beats a minute"), std::string::npos) << run.output;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.ogg"))) << "nothing is written for a broken score";

    EXPECT_EQ(RunSynth("'" + dir.File("missing.score") + "' '" + dir.File("out.ogg") + "'").status, 1);
    const std::string score = dir.Write("tiny.score", kTinyScore);
    EXPECT_EQ(RunSynth("").status, 2);
    EXPECT_EQ(RunSynth("'" + score + "'").status, 2) << "no output file";
    EXPECT_EQ(RunSynth("'" + score + "' a.ogg b.ogg").status, 2);
    EXPECT_EQ(RunSynth("'" + score + "' a.ogg --from").status, 2);
    EXPECT_EQ(RunSynth("'" + score + "' a.ogg --to -3").status, 2);
    EXPECT_EQ(RunSynth("'" + score + "' a.ogg --quality 2").status, 2);
    EXPECT_EQ(RunSynth("'" + score + "' a.ogg --loud").status, 2);
    EXPECT_EQ(RunSynth("'" + score + "' '" + dir.File("no/folder/out.ogg") + "'").status, 1);
}
