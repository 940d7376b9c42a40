// The demo executable under a private X server, driven with xdotool as a viewer would: the
// launcher's picture and controls, declining it, running the demo in a window and ending it,
// and the refusal to start without a display.

#include "support/ChildProcess.h"
#include "support/XwdImage.h"
#include "QC_Image.h"
#include "support/TempDir.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>
#include <lodepng.h>

#include <cmath>
#include <cstdint>
#include <sstream>

namespace
{
using namespace std::chrono_literals;

constexpr const char* kCaption = "LM: Velvet Cascade";
// Xvfb's only mode is its screen, so the launcher lists exactly this mode.
constexpr std::uint32_t kScreenWidth = 1024;
constexpr std::uint32_t kScreenHeight = 768;

struct WindowGeometry
{
    std::string id;
    int x = 0, y = 0;
    std::uint32_t width = 0, height = 0;
};

std::string ReadText(const std::string& path)
{
    std::ifstream stream(path);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

// The program under test: its output in the temporary folder, with the information and debug
// lines the tests follow (quiet by default), audio on SDL's silent driver (the test machines
// have no sound card), the GL driver's leak suppressions for sanitiser builds (without their
// summary, which would add lines to the output).
std::unique_ptr<ChildProcess> StartDemo(const TempDir& folder, const std::vector<std::string>& changes = {})
{
    std::vector<std::string> environment = {"SDL_AUDIODRIVER=dummy", "VC_LOG=debug",
                                            "LSAN_OPTIONS=print_suppressions=0:suppressions=" VC_SOURCE_DIR "/tests/support/lsan-driver.supp"};
    environment.insert(environment.end(), changes.begin(), changes.end());
    return std::make_unique<ChildProcess>(std::vector<std::string>{VC_BINARY_DIR "/velvet-cascade"}, environment,
                                          folder.File("demo.log"));
}

// Waits until a mapped window with the caption exists and reads its geometry; false after limit.
bool FindWindow(const TempDir& folder, ChildProcess& demo, WindowGeometry& geometry, std::chrono::milliseconds limit = 60s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    const std::string out = folder.File("xdotool.txt");
    while (std::chrono::steady_clock::now() < end && !demo.Exited()) {
        if (RunTool({"xdotool", "search", "--onlyvisible", "--name", kCaption}, out) == 0) {
            std::istringstream ids(ReadText(out));
            std::string id;
            if (ids >> id &&
                RunTool({"xdotool", "getwindowgeometry", "--shell", id}, out) == 0) {
                std::istringstream fields(ReadText(out));
                std::string line;
                geometry = WindowGeometry();
                geometry.id = id;
                while (std::getline(fields, line)) {
                    const std::string name = line.substr(0, line.find('='));
                    const std::string value = line.substr(line.find('=') + 1);
                    if (name == "X")
                        geometry.x = std::stoi(value);
                    else if (name == "Y")
                        geometry.y = std::stoi(value);
                    else if (name == "WIDTH")
                        geometry.width = static_cast<std::uint32_t>(std::stoul(value));
                    else if (name == "HEIGHT")
                        geometry.height = static_cast<std::uint32_t>(std::stoul(value));
                }
                if (geometry.width > 0)
                    return true;
            }
        }
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

QC_Ptr<QC_Image> Screenshot(const TempDir& folder)
{
    const std::string dump = folder.File("screen.xwd");
    if (RunTool({"xwd", "-root", "-silent", "-out", dump}, folder.File("xwd.txt")) != 0)
        return {};
    std::string error;
    QC_Ptr<QC_Image> image = ReadXwdFile(dump.c_str(), error);
    EXPECT_TRUE(image) << error;
    return image;
}

// Kept beside the build for a person to look at when a comparison fails.
void KeepScreenshot(const QC_Image& image, const char* name)
{
    lodepng::encode(std::string(VC_BINARY_DIR "/") + name, reinterpret_cast<const unsigned char*>(image.Pixels()),
                    image.Width(), image.Height());
}

std::uint32_t Channel(std::uint32_t pixel, int channel) { return (pixel >> (8 * channel)) & 0xFF; }

// Mean absolute difference per channel between a region of the screen and a picture.
double MeanDifference(const QC_Image& screen, int left, int top, const QC_Image& picture)
{
    double sum = 0;
    for (std::uint32_t y = 0; y < picture.Height(); ++y)
        for (std::uint32_t x = 0; x < picture.Width(); ++x) {
            const std::uint32_t a = screen.Pixels()[(top + y) * screen.Width() + left + x];
            const std::uint32_t b = picture.Pixels()[y * picture.Width() + x];
            for (int c = 0; c < 3; ++c)
                sum += std::abs(static_cast<int>(Channel(a, c)) - static_cast<int>(Channel(b, c)));
        }
    return sum / (3.0 * picture.Width() * picture.Height());
}

// Share of the pixels of a rectangle that are dark (text, check marks) or near white (ground).
double DarkShare(const QC_Image& screen, int left, int top, int width, int height)
{
    int dark = 0;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x) {
            const std::uint32_t p = screen.Pixels()[y * screen.Width() + x];
            dark += Channel(p, 0) + Channel(p, 1) + Channel(p, 2) < 3 * 100 ? 1 : 0;
        }
    return static_cast<double>(dark) / (width * height);
}

double WhiteShare(const QC_Image& screen, int left, int top, int width, int height)
{
    int white = 0;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x) {
            const std::uint32_t p = screen.Pixels()[y * screen.Width() + x];
            white += Channel(p, 0) > 245 && Channel(p, 1) > 245 && Channel(p, 2) > 245 ? 1 : 0;
        }
    return static_cast<double>(white) / (width * height);
}

// The check mark of a box whose control rectangle starts at (x, y) of the launcher's client area.
double CheckMarkShare(const QC_Image& screen, const WindowGeometry& launcher, int x, int y)
{
    return DarkShare(screen, launcher.x + x + 4, launcher.y + y + 4, 12, 12);
}

void Click(const WindowGeometry& window, int x, int y, const TempDir& folder)
{
    ASSERT_EQ(RunTool({"xdotool", "mousemove", "--sync", std::to_string(window.x + x), std::to_string(window.y + y)},
                      folder.File("xdotool.txt")),
              0);
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(RunTool({"xdotool", "click", "1"}, folder.File("xdotool.txt")), 0);
}

void Key(const char* key, const TempDir& folder)
{
    ASSERT_EQ(RunTool({"xdotool", "key", key}, folder.File("xdotool.txt")), 0);
}

// Waits until the launcher has drawn its controls: a screenshot whose check boxes show marks.
QC_Ptr<QC_Image> WaitForLauncherPicture(const TempDir& folder, const WindowGeometry& launcher)
{
    QC_Ptr<QC_Image> screen;
    for (int attempt = 0; attempt < 100; ++attempt) {
        screen = Screenshot(folder);
        if (screen && WhiteShare(*screen, launcher.x, launcher.y + 270, 400, 30) > 0.9)
            return screen;
        std::this_thread::sleep_for(200ms);
    }
    return screen;
}
} // namespace

TEST(LM1_LauncherWindowTest, ShowsPictureLastModeAndTickedBoxesAndEscapeDeclines)
{
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    TempDir folder;
    std::unique_ptr<ChildProcess> demo = StartDemo(folder);
    ASSERT_TRUE(demo->Started());

    WindowGeometry launcher;
    ASSERT_TRUE(FindWindow(folder, *demo, launcher)) << demo->Output();
    // 400 x 300, centred: halves of the screen minus halves of the window.
    EXPECT_EQ(launcher.width, 400u);
    EXPECT_EQ(launcher.height, 300u);
    EXPECT_EQ(launcher.x, static_cast<int>(kScreenWidth / 2 - 200));
    EXPECT_EQ(launcher.y, static_cast<int>(kScreenHeight / 2 - 150));

    QC_Ptr<QC_Image> screen = WaitForLauncherPicture(folder, launcher);
    ASSERT_TRUE(screen);
    KeepScreenshot(*screen, "window-test-launcher.png");

    // The picture at the top, as the executable carries it (scaled by nothing, filtered by the
    // GL sampler: only small differences).
    QC_Ptr<QC_Image> picture;
    ASSERT_TRUE(QC_LoadPng(VC_SOURCE_DIR "/source/resources/launcher.png", picture));
    ASSERT_EQ(picture->Width(), 400u);
    ASSERT_EQ(picture->Height(), 150u);
    EXPECT_LT(MeanDifference(*screen, launcher.x, launcher.y, *picture), 4.0);
    // White ground below the controls, and left of the list.
    EXPECT_GT(WhiteShare(*screen, launcher.x, launcher.y + 260, 400, 40), 0.99);
    EXPECT_GT(WhiteShare(*screen, launcher.x, launcher.y + 155, 55, 100), 0.99);
    // The list shows a text (the mode chosen at the start, named in the log).
    EXPECT_GT(DarkShare(*screen, launcher.x + 64, launcher.y + 163, 150, 14), 0.03);
    EXPECT_NE(demo->Output().find("Launcher: 1 display modes, \"1024 x 768 @ 60 Hz\" chosen."), std::string::npos)
        << demo->Output();
    // Both boxes ticked: "Fullscreen" at (115, 190), "Vsync" at (215, 190).
    EXPECT_GT(CheckMarkShare(*screen, launcher, 115, 190), 0.1);
    EXPECT_GT(CheckMarkShare(*screen, launcher, 215, 190), 0.1);
    // Two buttons with their texts: darker text on light grey in each.
    EXPECT_GT(DarkShare(*screen, launcher.x + 95, launcher.y + 225, 90, 15), 0.03);
    EXPECT_GT(DarkShare(*screen, launcher.x + 205, launcher.y + 225, 90, 15), 0.03);

    Key("Escape", folder);
    ASSERT_TRUE(demo->Wait(30s)) << demo->Output();
    EXPECT_EQ(demo->ExitCode(), 0) << demo->Output();
    const std::string log = demo->Output();
    EXPECT_NE(log.find("the launcher was closed without running the demo"), std::string::npos) << log;
    EXPECT_EQ(log.find("Running "), std::string::npos) << log;
    EXPECT_EQ(log.find("main window"), std::string::npos) << log;
}

TEST(LM1_LauncherWindowTest, ExitButtonDeclines)
{
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    TempDir folder;
    std::unique_ptr<ChildProcess> demo = StartDemo(folder);
    WindowGeometry launcher;
    ASSERT_TRUE(FindWindow(folder, *demo, launcher)) << demo->Output();
    ASSERT_TRUE(WaitForLauncherPicture(folder, launcher));
    Click(launcher, 250, 232, folder);
    ASSERT_TRUE(demo->Wait(30s)) << demo->Output();
    EXPECT_EQ(demo->ExitCode(), 0) << demo->Output();
    EXPECT_EQ(demo->Output().find("Running "), std::string::npos) << demo->Output();
}

TEST(LM1_LauncherWindowTest, UntickedFullscreenRunsInACentredWindowOfTheModeAndEscapeShutsDownInOrder)
{
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    TempDir folder;
    std::unique_ptr<ChildProcess> demo = StartDemo(folder);
    WindowGeometry launcher;
    ASSERT_TRUE(FindWindow(folder, *demo, launcher)) << demo->Output();
    ASSERT_TRUE(WaitForLauncherPicture(folder, launcher));

    Click(launcher, 115 + 9, 190 + 10, folder);
    // The box shows no mark any more, the other keeps its own.
    QC_Ptr<QC_Image> screen;
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::this_thread::sleep_for(100ms);
        screen = Screenshot(folder);
        if (screen && CheckMarkShare(*screen, launcher, 115, 190) < 0.02)
            break;
    }
    ASSERT_TRUE(screen);
    KeepScreenshot(*screen, "window-test-unticked.png");
    EXPECT_LT(CheckMarkShare(*screen, launcher, 115, 190), 0.02);
    EXPECT_GT(CheckMarkShare(*screen, launcher, 215, 190), 0.1);

    Click(launcher, 90 + 50, 220 + 12, folder);
    // The launcher goes, the main window comes: same caption, the mode's size, centred.
    WindowGeometry main;
    const auto end = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < end && FindWindow(folder, *demo, main, 5s) && main.width == 400)
        std::this_thread::sleep_for(100ms);
    ASSERT_NE(main.width, 400u) << demo->Output();
    EXPECT_EQ(main.width, kScreenWidth);
    EXPECT_EQ(main.height, kScreenHeight);
    EXPECT_EQ(main.x, static_cast<int>(kScreenWidth / 2 - main.width / 2));
    EXPECT_EQ(main.y, static_cast<int>(kScreenHeight / 2 - main.height / 2));
    EXPECT_NE(demo->Output().find("Running 1024 x 768 @ 60 Hz, windowed, vsync on."), std::string::npos)
        << demo->Output();
    // The window manager is offered the icon the executable carries.
    ASSERT_EQ(RunTool({"xprop", "-id", main.id, "_NET_WM_ICON"}, folder.File("xprop.txt")), 0);
    EXPECT_NE(ReadText(folder.File("xprop.txt")).find("Icon (64 x 64)"), std::string::npos)
        << ReadText(folder.File("xprop.txt")).substr(0, 200);

    // Frames run: let a few go by, then end it as a viewer would.
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(demo->Exited()) << demo->Output();
    Key("Escape", folder);
    ASSERT_TRUE(demo->Wait(30s)) << demo->Output();
    EXPECT_EQ(demo->ExitCode(), 0) << demo->Output();

    const std::string log = demo->Output();
    const char* steps[] = {
        "[DEBUG] The main loop ended after",
        "[DEBUG] Shut-down: destroying the audio device.",
        "[DEBUG] Shut-down: destroying the asset manager.",
        "[DEBUG] Shut-down: destroying the synchronisation.",
        "[DEBUG] Shut-down: destroying the utility object.",
        "[DEBUG] Shut-down: shutting down the fonts.",
        "[DEBUG] Shut-down: destroying the renderer.",
        "[DEBUG] Shut-down: destroying the task pool.",
        "[DEBUG] Shut-down: destroying the log.",
        "[DEBUG] Shut-down: destroying the main window.",
    };
    std::size_t previous = 0;
    for (const char* step : steps) {
        const std::size_t at = log.find(step);
        ASSERT_NE(at, std::string::npos) << "missing: " << step << "\n" << log;
        EXPECT_GT(at, previous) << "out of order: " << step << "\n" << log;
        previous = at;
    }
    EXPECT_EQ(log.find("[ERROR]"), std::string::npos) << log;
}

TEST(LM1_LauncherWindowTest, EnterRunsTheDemoFullscreenInTheLastMode)
{
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    TempDir folder;
    std::unique_ptr<ChildProcess> demo = StartDemo(folder);
    WindowGeometry launcher;
    ASSERT_TRUE(FindWindow(folder, *demo, launcher)) << demo->Output();
    ASSERT_TRUE(WaitForLauncherPicture(folder, launcher));
    Key("Return", folder);
    WindowGeometry main;
    const auto end = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < end && FindWindow(folder, *demo, main, 5s) && main.width == 400)
        std::this_thread::sleep_for(100ms);
    EXPECT_EQ(main.width, kScreenWidth) << demo->Output();
    EXPECT_EQ(main.height, kScreenHeight);
    EXPECT_EQ(main.x, 0);
    EXPECT_EQ(main.y, 0);
    EXPECT_NE(demo->Output().find("Running 1024 x 768 @ 60 Hz, fullscreen, vsync on."), std::string::npos)
        << demo->Output();
    Key("Escape", folder);
    ASSERT_TRUE(demo->Wait(30s)) << demo->Output();
    EXPECT_EQ(demo->ExitCode(), 0) << demo->Output();
}

TEST(LM1_MainTest, WithoutADisplayLogsOneLineAndExitsWithCodeOne)
{
    TempDir folder;
    for (const char* display : {"DISPLAY", "DISPLAY=:239"}) {
        std::unique_ptr<ChildProcess> demo = StartDemo(folder, {display, "WAYLAND_DISPLAY"});
        ASSERT_TRUE(demo->Started());
        ASSERT_TRUE(demo->Wait(30s)) << demo->Output();
        EXPECT_EQ(demo->ExitCode(), 1) << display << ": " << demo->Output();
        const std::string log = demo->Output();
        EXPECT_NE(log.find("[ERROR] No display available.\n"), std::string::npos) << display << ": " << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << display << ": " << log;
    }
}
