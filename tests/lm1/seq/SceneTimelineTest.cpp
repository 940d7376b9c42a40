// The demo's timeline as the music was composed to it: which scene shows from which beat and
// whether it cuts or cross-fades in. Runs the built vc-seq over assets/scene.qcs at every beat
// of the run and compares with the table below.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <utility>

namespace
{
constexpr int kEndBeat = 448;
constexpr int kLastBeatChecked = 450;
constexpr int kTransitionChannel = 1;
constexpr int kRunChannel = 2;
constexpr int kSceneChannelChannel = 3;
constexpr int kSceneChannel = 10;

enum Transition
{
    Cut = 0,
    CrossFade = 1,
};

struct SceneRow
{
    int beat;
    const char* scene; // o1-o24, p1-p5, t1
    Transition into;
};

// The run: a row holds from its beat to the next row's; the first row's transition is a cut.
const SceneRow kTimeline[] = {
    {0, "o13", Cut},         {16, "o19", CrossFade},  {32, "o17", CrossFade},  {48, "o14", CrossFade},
    {64, "o1", Cut},         {80, "o21", CrossFade},  {96, "o2", CrossFade},   {112, "o4", CrossFade},
    {128, "o5", Cut},        {144, "o6", CrossFade},  {160, "o10", CrossFade}, {176, "o15", CrossFade},
    {192, "o12", Cut},       {208, "o3", CrossFade},  {224, "o7", Cut},        {232, "o8", Cut},
    {240, "o23", Cut},       {248, "o22", Cut},       {256, "p1", Cut},        {272, "p4", CrossFade},
    {288, "p5", CrossFade},  {304, "o9", CrossFade},  {320, "o11", Cut},       {336, "o18", CrossFade},
    {352, "o20", CrossFade}, {368, "o24", CrossFade}, {384, "p2", Cut},        {400, "p3", CrossFade},
    {416, "o16", CrossFade}, {432, "t1", CrossFade},
};

// o1-o24 are 101-124, p1-p5 are 201-205, t1 is 301.
int SceneNumber(const std::string& name)
{
    const int index = std::stoi(name.substr(1));
    switch (name[0]) {
    case 'o': return 100 + index;
    case 'p': return 200 + index;
    case 't': return 300 + index;
    default: ADD_FAILURE() << "unknown scene " << name; return -1;
    }
}

const SceneRow& RowAt(int beat)
{
    const SceneRow* row = &kTimeline[0];
    for (const SceneRow& candidate : kTimeline)
        if (candidate.beat <= beat)
            row = &candidate;
    return *row;
}

// (beat, channel) -> value, from vc-seq's "BEAT CHANNEL VALUE" lines.
std::map<std::pair<int, int>, double> EvaluateTimeline(int& status)
{
    std::map<std::pair<int, int>, double> values;
    const std::string tool = std::string(VC_BINARY_DIR) + "/vc-seq";
    if (!std::filesystem::exists(tool)) {
        ADD_FAILURE() << tool << " is not built";
        return values;
    }
    std::string command = "'" + tool + "' '" + std::string(VC_SOURCE_DIR) + "/assets/scene.qcs'";
    for (int beat = 0; beat <= kLastBeatChecked; ++beat)
        command += " --at " + std::to_string(beat);
    for (int channel : {kTransitionChannel, kRunChannel, kSceneChannelChannel, kSceneChannel})
        command += " --channel " + std::to_string(channel);
    command += " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "popen failed";
        return values;
    }
    std::string output;
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        output.append(buffer, count);
    const int result = pclose(pipe);
    status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;

    std::istringstream lines(output);
    double beat = 0.0, value = 0.0;
    int channel = 0;
    while (lines >> beat >> channel >> value)
        values[{int(beat), channel}] = value;
    if (!lines.eof())
        ADD_FAILURE() << "vc-seq printed something else:\n" << output;
    return values;
}
} // namespace

TEST(SceneTimelineTest, EveryBeatShowsTheComposedSceneWithItsTransition)
{
    int status = -1;
    const std::map<std::pair<int, int>, double> values = EvaluateTimeline(status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(values.size(), std::size_t(kLastBeatChecked + 1) * 4) << "four channels at every beat";

    for (int beat = 0; beat <= kLastBeatChecked; ++beat) {
        const bool running = beat < kEndBeat;
        EXPECT_EQ(values.at({beat, kRunChannel}), running ? 1.0 : 0.0) << "run at beat " << beat;
        EXPECT_EQ(values.at({beat, kSceneChannelChannel}), double(kSceneChannel)) << "beat " << beat;
        if (!running) {
            EXPECT_EQ(values.at({beat, kTransitionChannel}), 0.0) << "no transition after the end, beat " << beat;
            continue;
        }
        const SceneRow& row = RowAt(beat);
        EXPECT_EQ(values.at({beat, kSceneChannel}), double(SceneNumber(row.scene)))
            << "beat " << beat << " should show " << row.scene;
        EXPECT_EQ(values.at({beat, kTransitionChannel}), double(row.into))
            << "beat " << beat << " in the row of " << row.scene << " from beat " << row.beat;
    }
}
