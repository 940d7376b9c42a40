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
    ASSERT_TRUE(Logged("Started at beat 64.00.", 60s)) << dev->Output();
    Key(folder, "space");
    ASSERT_TRUE(Logged("Paused at beat ")) << dev->Output();
    const std::string output = dev->Output();
    const float pausedAt = std::stof(output.substr(output.find("Paused at beat ") + 15));
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
