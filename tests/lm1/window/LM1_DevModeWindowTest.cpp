// velvet-cascade --dev under a private X server, on a copy of the demo's assets: the window
// comes without a launcher, the keys reach the transport, a composition shader saved broken puts
// its error on the screen and in the log at its file and line (and one that crashes the compile
// chain ends nothing), fixed it loads again, and Escape ends the session with exit code 0.

#include "support/ChildProcess.h"
#include "support/XwdImage.h"
#include "QC_Image.h"
#include "support/TempDir.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace
{
using namespace std::chrono_literals;

constexpr const char* kCaption = "LM: Velvet Cascade - dev";
constexpr int kWidth = 400;
constexpr int kHeight = 240;

std::string ReadText(const std::string& path)
{
    std::ifstream stream(path);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".new";
    std::ofstream(temporary, std::ios::binary) << text;
    std::filesystem::rename(temporary, path);
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

struct Place
{
    std::string id;
    int x = 0, y = 0;
};

bool FindWindow(const TempDir& folder, Place& place)
{
    const std::string out = folder.File("xdotool.txt");
    if (RunTool({"xdotool", "search", "--onlyvisible", "--name", kCaption}, out) != 0)
        return false;
    std::istringstream ids(ReadText(out));
    if (!(ids >> place.id) || RunTool({"xdotool", "getwindowgeometry", "--shell", place.id}, out) != 0)
        return false;
    std::istringstream fields(ReadText(out));
    for (std::string line; std::getline(fields, line);) {
        if (line.rfind("X=", 0) == 0)
            place.x = std::stoi(line.substr(2));
        if (line.rfind("Y=", 0) == 0)
            place.y = std::stoi(line.substr(2));
    }
    return true;
}

// The error area's colour over whatever the scene shows: red well above green and blue.
bool ErrorAreaShown(const TempDir& folder, const Place& window)
{
    const std::string dump = folder.File("screen.xwd");
    if (RunTool({"xwd", "-root", "-silent", "-out", dump}, folder.File("xwd.txt")) != 0)
        return false;
    std::string error;
    QC_Ptr<QC_Image> screen = ReadXwdFile(dump.c_str(), error);
    if (!screen)
        return false;
    const std::uint32_t pixel = screen->Pixels()[(window.y + kHeight - 11) * screen->Width() + window.x + kWidth / 2];
    const int r = pixel & 0xFF, g = (pixel >> 8) & 0xFF, b = (pixel >> 16) & 0xFF;
    return r > 100 && g < 70 && b < 70;
}

void Key(const TempDir& folder, const char* key)
{
    ASSERT_EQ(RunTool({"xdotool", "key", key}, folder.File("xdotool.txt")), 0) << key;
}

// A private X server and velvet-cascade --dev --start 64 at 400 x 240 on a copy of the demo's
// assets, its information lines (what the tests follow) in its output.
class LM1_DevModeWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Running()) << server.Error();
        std::filesystem::copy(VC_SOURCE_DIR "/assets", folder.Path() / "assets", std::filesystem::copy_options::recursive);
        dev = std::make_unique<ChildProcess>(
            std::vector<std::string>{VC_BINARY_DIR "/velvet-cascade", "--dev", "--size", "400x240", "--start", "64",
                                     "--assets", assets},
            std::vector<std::string>{"SDL_AUDIODRIVER=dummy", "VC_LOG=debug",
                                     "LSAN_OPTIONS=print_suppressions=0:suppressions=" VC_SOURCE_DIR
                                     "/tests/support/lsan-driver.supp"},
            folder.File("dev.log"));
        ASSERT_TRUE(dev->Started());
        ASSERT_TRUE(WaitUntil([&] { return dev->Exited() || FindWindow(folder, window); }, 60s)) << dev->Output();
        ASSERT_FALSE(dev->Exited()) << dev->Output();
    }

    bool Logged(const std::string& line, std::chrono::milliseconds limit = 20s)
    {
        return WaitUntil([&] { return dev->Output().find(line) != std::string::npos; }, limit);
    }

    // Space once the session has begun at beat 64; the beat it paused at.
    void PauseOnceStarted(float& pausedAt)
    {
        ASSERT_TRUE(Logged("Started at beat 64.00.", 60s)) << dev->Output();
        Key(folder, "space");
        ASSERT_TRUE(Logged("Paused at beat ")) << dev->Output();
        const std::string output = dev->Output();
        pausedAt = std::stof(output.substr(output.find("Paused at beat ") + 15));
    }

    void EscapeEnds()
    {
        Key(folder, "Escape");
        ASSERT_TRUE(dev->Wait(30s)) << dev->Output();
        EXPECT_EQ(dev->ExitCode(), 0) << dev->Output();
        EXPECT_EQ(dev->Output().find("[FATAL]"), std::string::npos) << dev->Output();
    }

    XvfbServer server;
    TempDir folder;
    const std::string assets = folder.File("assets");
    std::unique_ptr<ChildProcess> dev;
    Place window;
};
} // namespace

TEST_F(LM1_DevModeWindowTest, KeysMoveTheClockAndAShaderErrorIsShownUntilFixedThenEscapeEnds)
{
    const std::string post = folder.File("assets/post.qcs");
    const std::string goodPost = ReadText(post);
    ASSERT_NE(goodPost.find("outColour = "), std::string::npos);
    // The session works on the copy --assets names.
    EXPECT_NE(dev->Output().find("Dev mode: 400 x 240, watching " + assets + "/, starting at beat 64.00."), std::string::npos)
        << dev->Output();
    Key(folder, "space");
    ASSERT_TRUE(Logged("Paused at beat", 60s)) << dev->Output();
    Key(folder, "Right");
    Key(folder, "F1");
    ASSERT_TRUE(Logged("Statistics hidden.")) << dev->Output();
    EXPECT_NE(dev->Output().find("Moved to beat"), std::string::npos) << dev->Output();

    // Broken: the error is drawn over the picture, and logged at its place in the file as the
    // session names it (in the folder --assets named).
    std::string broken = goodPost;
    broken.replace(broken.find("outColour = "), 12, "outColour = undeclaredThing + ");
    WriteText(post, broken);
    EXPECT_TRUE(WaitUntil([&] { return ErrorAreaShown(folder, window); }, 20s)) << dev->Output();
    const std::string line =
        std::to_string(1 + std::count(broken.begin(), broken.begin() + broken.find("undeclaredThing"), '\n'));
    EXPECT_NE(dev->Output().find(assets + "/post.qcs(" + line + "): error: 'undeclaredThing' : unknown variable"),
              std::string::npos)
        << dev->Output();
    // A text that crashes the compile chain costs that compile only.
    std::string crashing = goodPost;
    crashing.replace(crashing.find("outColour = "), 12,
                     "outColour = float4(inTexCoord.x == 1 ? 3.0 : -1.0, inTexCoord.y == 2 ? -3.0 : G1.0, 0.5, 1.0); outColour = ");
    WriteText(post, crashing);
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(dev->Exited()) << dev->Output();
    // Fixed: the error goes.
    WriteText(post, goodPost);
    EXPECT_TRUE(WaitUntil([&] { return !ErrorAreaShown(folder, window); }, 20s)) << dev->Output();

    EscapeEnds();
}

TEST_F(LM1_DevModeWindowTest, TabShowsTheTimelineAndAClickOnItsRulerSeeksThere)
{
    // Paused once the session has begun at beat 64, then the panel shown: following the
    // playhead, its first frame puts it a tenth of the way into the strip (1.1 beats at 0.05
    // beats a pixel over 220 pixels); the ruler starts 180 pixels in and 40 below the panel's
    // top (the lower 160 pixels of 240). The seek lands inside the page, which stays.
    float pausedAt = 0.0f;
    ASSERT_NO_FATAL_FAILURE(PauseOnceStarted(pausedAt));
    Key(folder, "Tab");
    ASSERT_TRUE(Logged("Timeline panel shown.")) << dev->Output();
    const int x = window.x + 180 + 100, y = window.y + (kHeight - 160) + 40 + 10;
    ASSERT_EQ(RunTool({"xdotool", "mousemove", std::to_string(x), std::to_string(y)}, folder.File("xdotool.txt")), 0);
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(RunTool({"xdotool", "click", "1"}, folder.File("xdotool.txt")), 0);
    ASSERT_TRUE(Logged(" (timeline).")) << dev->Output();
    const std::string moved = dev->Output();
    const std::size_t at = moved.rfind("Moved to beat ", moved.find(" (timeline)."));
    ASSERT_NE(at, std::string::npos) << moved;
    const float seekedTo = std::stof(moved.substr(at + 14));
    EXPECT_NEAR(seekedTo, pausedAt - 1.1f + 100.0f * 0.05f, 0.15f) << moved;

    EscapeEnds();
}

namespace
{
QC_Ptr<QC_Image> Screen(const TempDir& folder)
{
    const std::string dump = folder.File("screen.xwd");
    if (RunTool({"xwd", "-root", "-silent", "-out", dump}, folder.File("xwd.txt")) != 0)
        return QC_Ptr<QC_Image>();
    std::string error;
    return ReadXwdFile(dump.c_str(), error);
}

// The mean of each colour over 8 x 8 blocks of the window's rows from top to bottom: the
// composition's grain (new every frame, paused or not) averages out, the scene's shapes stay.
std::vector<float> BlockMeans(const QC_Image& screen, const Place& window, int top, int bottom)
{
    constexpr int kBlock = 8;
    std::vector<float> means;
    for (int blockY = top; blockY + kBlock <= bottom; blockY += kBlock)
        for (int blockX = 0; blockX + kBlock <= kWidth; blockX += kBlock)
            for (int shift : {0, 8, 16}) {
                float sum = 0.0f;
                for (int y = window.y + blockY; y < window.y + blockY + kBlock; ++y)
                    for (int x = window.x + blockX; x < window.x + blockX + kBlock; ++x)
                        sum += static_cast<float>((screen.Pixels()[y * screen.Width() + x] >> shift) & 0xFF);
                means.push_back(sum / (kBlock * kBlock));
            }
    return means;
}

float LargestChange(const std::vector<float>& before, const std::vector<float>& now)
{
    float largest = 0.0f;
    for (std::size_t i = 0; i < before.size() && i < now.size(); ++i)
        largest = std::max(largest, std::fabs(before[i] - now[i]));
    return largest;
}

// The centre of a key's mark (its pale yellow) in the window's rows top to bottom, near column x.
bool FindKeyMark(const QC_Image& screen, const Place& window, int x, int top, int bottom, int& foundX, int& foundY)
{
    for (int y = top; y < bottom; ++y)
        for (int dx = -6; dx <= 6; ++dx) {
            const std::uint32_t pixel = screen.Pixels()[(window.y + y) * screen.Width() + window.x + x + dx];
            const int r = pixel & 0xFF, g = (pixel >> 8) & 0xFF, b = (pixel >> 16) & 0xFF;
            if (r > 245 && g > 225 && g < 250 && b > 180 && b < 215) {
                foundX = x + dx;
                foundY = y;
                return true;
            }
        }
    return false;
}

void Pointer(const TempDir& folder, const std::vector<std::string>& action)
{
    std::vector<std::string> command{"xdotool"};
    command.insert(command.end(), action.begin(), action.end());
    ASSERT_EQ(RunTool(command, folder.File("xdotool.txt")), 0) << action.front();
    // A frame or more between events, so the panel sees each.
    std::this_thread::sleep_for(120ms);
}
} // namespace

TEST_F(LM1_DevModeWindowTest, AKeyDraggedInItsLaneIsWrittenToTheScriptAndShownThenUndone)
{
    // Paused at beat 64, where scene o1 reads channels 100 to 199 of o.qcs: the first lane is
    // channel 100 (layers), "linear(0:2, 64:3, 72:6, ...)", its key at 64 a pixel or two right
    // of the playhead. Without the statistics the picture above the panel stands still.
    const std::string script = folder.File("assets/o.qcs");
    const std::string original = ReadText(script);
    ASSERT_NE(original.find("100 = linear(0:2, 64:3, 72:6,"), std::string::npos);
    float pausedAt = 0.0f;
    ASSERT_NO_FATAL_FAILURE(PauseOnceStarted(pausedAt));
    Key(folder, "F1");
    Key(folder, "Tab");
    ASSERT_TRUE(Logged("Timeline panel shown.")) << dev->Output();
    std::this_thread::sleep_for(500ms);

    // The panel: the lower 160 rows; the lanes start 124 rows into it, 28 rows each, the strip
    // at column 180 with 0.05 beats a pixel, the playhead 1.1 beats in.
    constexpr int kPictureRows = kHeight - 160;
    constexpr int kLaneTop = kPictureRows + 124;
    QC_Ptr<QC_Image> screen = Screen(folder);
    ASSERT_TRUE(screen);
    const std::vector<float> before = BlockMeans(*screen, window, 0, kPictureRows);
    int keyX = 0, keyY = 0;
    const int expectedX = 180 + static_cast<int>(std::lround((64.0f - (pausedAt - 1.1f)) / 0.05f));
    ASSERT_TRUE(FindKeyMark(*screen, window, expectedX, kLaneTop, kLaneTop + 28, keyX, keyY)) << "x " << expectedX;

    // Two beats on (40 pixels) and up (about three values at this lane's scale), in steps. The
    // moves are relative ones: the server reports those as a mouse's own, which the GUI reads
    // while a button is held, where it misses a pointer warped to a place.
    const int x = window.x + keyX, y = window.y + keyY;
    Pointer(folder, {"mousemove", std::to_string(x), std::to_string(y)});
    Pointer(folder, {"mousedown", "1"});
    for (int step = 1; step <= 4; ++step)
        Pointer(folder, {"mousemove_relative", "--", "10", "-5"});
    Pointer(folder, {"mouseup", "1"});

    // The file: that one key's tokens changed, every other byte as it was.
    ASSERT_TRUE(WaitUntil([&] { return ReadText(script) != original; }, 10s)) << dev->Output();
    const std::string edited = ReadText(script);
    const std::size_t at = original.find("64:3");
    ASSERT_EQ(edited.compare(0, at, original, 0, at), 0);
    ASSERT_EQ(edited.compare(at, 3, "66:"), 0) << edited.substr(at, 20);
    const std::size_t valueEnd = edited.find(',', at);
    const float value = std::stof(edited.substr(at + 3, valueEnd - at - 3));
    EXPECT_GT(value, 5.0f);
    EXPECT_EQ(edited.substr(valueEnd), original.substr(at + 4));
    // The picture: more layers of cubes (far away, small) from the next frame on; the grain
    // alone moves a block's mean by a level or two.
    const auto pictureChange = [&] {
        QC_Ptr<QC_Image> now = Screen(folder);
        return now ? LargestChange(before, BlockMeans(*now, window, 0, kPictureRows)) : -1.0f;
    };
    EXPECT_TRUE(WaitUntil([&] { return pictureChange() > 10.0f; }, 10s));

    // Ctrl+Z: the file's original bytes and the picture as it was.
    Key(folder, "ctrl+z");
    EXPECT_TRUE(WaitUntil([&] { return ReadText(script) == original; }, 10s)) << ReadText(script);
    EXPECT_TRUE(WaitUntil([&] { const float change = pictureChange(); return change >= 0.0f && change < 4.0f; }, 10s));

    EscapeEnds();
}
