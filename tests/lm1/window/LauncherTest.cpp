// The launcher run in this process on a list of modes made up for the test, under a private X
// server, with xdotool as the viewer on a second thread: the last mode is the one chosen unless
// the viewer picks another, the boxes' states come back, and without a mode nothing can run.

#include "support/ChildProcess.h"
#include "LM1_Launcher.h"
#include "support/GpuTestSupport.h"
#include "support/TempDir.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <thread>

namespace
{
using namespace std::chrono_literals;

QC_Ptr<QR_DisplayMode> Mode(std::uint32_t width, std::uint32_t height, std::uint32_t rate)
{
    QC_Ptr<QR_DisplayMode> mode(new QR_DisplayMode);
    mode->width = width;
    mode->height = height;
    mode->refreshRate = rate;
    mode->refreshNumerator = rate;
    mode->refreshDenominator = 1;
    return mode;
}

// The launcher window's top-left corner once it is mapped; false after the limit.
bool WaitForLauncher(const TempDir& folder, int* x, int* y)
{
    const std::string out = folder.File("xdotool.txt");
    for (int attempt = 0; attempt < 300; ++attempt) {
        if (RunTool({"xdotool", "search", "--onlyvisible", "--name", "LM: Velvet Cascade"}, out) == 0) {
            std::ifstream ids(out);
            std::string id;
            if (ids >> id && RunTool({"xdotool", "getwindowgeometry", "--shell", id}, out) == 0) {
                std::ifstream fields(out);
                std::string line;
                while (std::getline(fields, line)) {
                    if (line.rfind("X=", 0) == 0)
                        *x = std::stoi(line.substr(2));
                    if (line.rfind("Y=", 0) == 0)
                        *y = std::stoi(line.substr(2));
                }
                // A moment for the first frames to be drawn and the focus to arrive.
                std::this_thread::sleep_for(500ms);
                return true;
            }
        }
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

// Runs the launcher on this thread while viewer acts on a second one.
struct LauncherRun
{
    bool result = true;
    QC_Ptr<QR_DisplayMode> mode;
    bool windowed = true;
    bool vsync = false;
};

LauncherRun RunWithViewer(const QR_DisplayModeList& modes, const std::function<void(const TempDir&, int, int)>& viewer)
{
    TempDir folder;
    std::thread actions([&] {
        int x = 0, y = 0;
        if (WaitForLauncher(folder, &x, &y)) {
            // The launcher's GL context has loaded the driver: keep it for the leak report.
            PinGraphicsDriver();
            viewer(folder, x, y);
        }
        // Whatever happened, the launcher ends: Escape reaches it if it is still up.
        RunTool({"xdotool", "key", "Escape"}, folder.File("xdotool.txt"));
    });
    LauncherRun run;
    run.result = LM1_RunLauncher(modes, &run.mode, &run.windowed, &run.vsync);
    actions.join();
    return run;
}

void Tool(const TempDir& folder, const std::vector<std::string>& arguments)
{
    EXPECT_EQ(RunTool(arguments, folder.File("xdotool.txt")), 0);
    std::this_thread::sleep_for(300ms);
}

void Click(const TempDir& folder, int x, int y)
{
    Tool(folder, {"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y)});
    Tool(folder, {"xdotool", "click", "1"});
}
} // namespace

TEST(LM1_LauncherTest, EnterRunsTheLastModeFullscreenWithVsync)
{
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    const QR_DisplayModeList modes = {Mode(640, 480, 60), Mode(800, 600, 75), Mode(1024, 768, 60)};
    const LauncherRun run = RunWithViewer(modes, [](const TempDir& folder, int, int) { Tool(folder, {"xdotool", "key", "Return"}); });
    EXPECT_TRUE(run.result);
    ASSERT_TRUE(run.mode);
    EXPECT_EQ(run.mode.Get(), modes[2].Get());
    EXPECT_FALSE(run.windowed);
    EXPECT_TRUE(run.vsync);
}

TEST(LM1_LauncherTest, ChoicesOfTheListAndBoxesComeBack)
{
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    const QR_DisplayModeList modes = {Mode(640, 480, 60), Mode(800, 600, 75), Mode(1024, 768, 60)};
    const LauncherRun run = RunWithViewer(modes, [](const TempDir& folder, int x, int y) {
        // Open the list and take its first entry, untick both boxes, then "Run demo!".
        Click(folder, x + 60 + 100, y + 160 + 9);
        Click(folder, x + 60 + 100, y + 160 + 19 + 6);
        Click(folder, x + 115 + 9, y + 190 + 10);
        Click(folder, x + 215 + 9, y + 190 + 10);
        Click(folder, x + 90 + 50, y + 220 + 12);
    });
    EXPECT_TRUE(run.result);
    ASSERT_TRUE(run.mode);
    EXPECT_EQ(run.mode.Get(), modes[0].Get());
    EXPECT_TRUE(run.windowed);
    EXPECT_FALSE(run.vsync);
}

TEST(LM1_LauncherTest, DecliningStillWritesTheOutputs)
{
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    const QR_DisplayModeList modes = {Mode(800, 600, 60), Mode(1280, 720, 60)};
    const LauncherRun run = RunWithViewer(modes, [](const TempDir& folder, int x, int y) {
        Click(folder, x + 215 + 9, y + 190 + 10); // untick "Vsync"
        Tool(folder, {"xdotool", "key", "Escape"});
    });
    EXPECT_FALSE(run.result);
    EXPECT_EQ(run.mode.Get(), modes[1].Get());
    EXPECT_FALSE(run.windowed);
    EXPECT_FALSE(run.vsync);
}

TEST(LM1_LauncherTest, WithoutAModeNothingRuns)
{
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    const LauncherRun run = RunWithViewer({}, [](const TempDir& folder, int x, int y) {
        // Enter, and a click on the disabled "Run demo!", both do nothing.
        Tool(folder, {"xdotool", "key", "Return"});
        Click(folder, x + 90 + 50, y + 220 + 12);
    });
    EXPECT_FALSE(run.result);
    EXPECT_FALSE(run.mode);
    EXPECT_FALSE(run.windowed);
    EXPECT_TRUE(run.vsync);
}
