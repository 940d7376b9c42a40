// Sections: the launcher's state, the controls, the launcher.

#include "LM1_Launcher.h"

#include "LM1_Resources.h"
#include "QC_Log.h"
#include "QC_Thread.h"
#include "QP_GuiWindow.h"

#include <imgui/imgui.h>

#include <cfloat>
#include <cstdio>
#include <vector>

namespace
{
// --- the launcher's state ------------------------------------------------------------------------
constexpr const char* kCaption = "LM: Velvet Cascade";
constexpr std::uint32_t kWindowWidth = 400;
constexpr std::uint32_t kWindowHeight = 300;
constexpr float kPictureWidth = 400;
constexpr float kPictureHeight = 150;

// Kept at module level, as the controls' handlers reach it while the window is up.
struct LauncherState
{
    bool launcherRunning = true;
    bool runChosen = false;
    int selectedIndex = -1;
    bool windowed = false;
    bool vsync = true;
};
LauncherState g_launcher;

// --- the controls --------------------------------------------------------------------------------
// Positions and sizes of the controls in the window's client area, in pixels.
struct ControlRect
{
    float x, y, width, height;
};
constexpr ControlRect kExitRect = {200, 220, 100, 25};
constexpr ControlRect kRunRect = {90, 220, 100, 25};
constexpr ControlRect kVsyncRect = {215, 190, 100, 20};
constexpr ControlRect kFullscreenRect = {115, 190, 100, 20};
// The list's height includes its opened list.
constexpr ControlRect kResolutionRect = {60, 160, 270, 100};

bool EnterPressed()
{
    return ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false) ||
           ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_KeyPadEnter), false);
}

// A check box in its rectangle, its box and text centred on the rectangle's height.
void CheckBox(const char* text, const ControlRect& rect, bool* checked)
{
    const float boxHeight = ImGui::GetFrameHeight();
    ImGui::SetCursorPos(ImVec2(rect.x, rect.y + (rect.height - boxHeight) / 2));
    ImGui::Checkbox(text, checked);
}

void DrawControls(void* picture, const std::vector<LM1_ModeText>& modeTexts)
{
    const ImVec2 client = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(client);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus;
    ImGui::Begin("LM1_InitWindow", nullptr, flags);

    if (picture) {
        ImGui::SetCursorPos(ImVec2(static_cast<float>(static_cast<int>(client.x) / 2) - kPictureWidth / 2, 0));
        ImGui::Image(picture, ImVec2(kPictureWidth, kPictureHeight));
    }

    // "Resolution": a drop-down list of the modes, its opened list within the control's height.
    const int modeCount = static_cast<int>(modeTexts.size());
    ImGui::SetCursorPos(ImVec2(kResolutionRect.x, kResolutionRect.y));
    ImGui::SetNextItemWidth(kResolutionRect.width);
    ImGui::SetNextWindowSizeConstraints(ImVec2(0, 0), ImVec2(FLT_MAX, kResolutionRect.height - ImGui::GetFrameHeight()));
    const char* shown = g_launcher.selectedIndex >= 0 && g_launcher.selectedIndex < modeCount ? modeTexts[g_launcher.selectedIndex].CStr() : "";
    if (ImGui::BeginCombo("##Resolution", shown, ImGuiComboFlags_HeightLarge)) {
        for (int i = 0; i < modeCount; ++i) {
            ImGui::PushID(i);
            const bool selected = i == g_launcher.selectedIndex;
            if (ImGui::Selectable(modeTexts[i].CStr(), selected))
                g_launcher.selectedIndex = i;
            if (selected)
                ImGui::SetItemDefaultFocus();
            ImGui::PopID();
        }
        ImGui::EndCombo();
    }

    bool fullscreen = !g_launcher.windowed;
    CheckBox("Fullscreen", kFullscreenRect, &fullscreen);
    g_launcher.windowed = !fullscreen;
    CheckBox("Vsync", kVsyncRect, &g_launcher.vsync);

    // "Run demo!" holds the keyboard focus until another control takes it: Enter runs the demo
    // then too. Without a mode there is nothing to run.
    ImGui::BeginDisabled(modeCount == 0);
    ImGui::SetCursorPos(ImVec2(kRunRect.x, kRunRect.y));
    bool run = ImGui::Button("Run demo!", ImVec2(kRunRect.width, kRunRect.height));
    ImGui::SetItemDefaultFocus();
    run = run || ((ImGui::IsItemFocused() || !ImGui::IsAnyItemFocused()) && !ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId) &&
                  EnterPressed());
    ImGui::EndDisabled();
    if (run && modeCount > 0) {
        g_launcher.launcherRunning = false;
        g_launcher.runChosen = true;
    }

    ImGui::SetCursorPos(ImVec2(kExitRect.x, kExitRect.y));
    if (ImGui::Button("Exit", ImVec2(kExitRect.width, kExitRect.height)))
        g_launcher.launcherRunning = false;

    ImGui::End();
}
} // namespace

// --- the launcher --------------------------------------------------------------------------------
LM1_ModeText LM1_FormatDisplayMode(const QR_DisplayMode& mode)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%u x %u @ %u Hz", mode.width, mode.height, mode.refreshRate);
    return LM1_ModeText(text);
}

bool LM1_RunLauncher(QR_DisplayModeList modes, QC_Ptr<QR_DisplayMode>* mode, bool* windowed, bool* vsync)
{
    g_launcher = LauncherState();
    g_launcher.selectedIndex = static_cast<int>(modes.size()) - 1;

    std::vector<LM1_ModeText> modeTexts;
    modeTexts.reserve(modes.size());
    for (const QC_Ptr<QR_DisplayMode>& entry : modes)
        modeTexts.push_back(LM1_FormatDisplayMode(*entry));
    if (modes.empty())
        QC_ERROR("The display offers no mode: the demo cannot run.");
    else
        QC_DEBUG("Launcher: %u display modes, \"%s\" chosen.", static_cast<unsigned>(modes.size()),
                 modeTexts.back().CStr());

    const QC_Ptr<QC_Image> icon = LM1_LoadResourceImage("icon.png");
    const QC_Ptr<QC_Image> picture = LM1_LoadResourceImage("launcher.png");
    QP_GuiWindowDesc desc;
    desc.caption = kCaption;
    desc.width = kWindowWidth;
    desc.height = kWindowHeight;
    desc.icon = icon.Get();
    QP_GuiWindow* window = QP_GuiWindow::Create(desc);
    if (!window)
        QC_FATAL("Unable to create the launcher window.");
    void* pictureTexture = picture ? window->CreateTexture(*picture) : nullptr;

    while (g_launcher.launcherRunning) {
        // Escape and the close box end the launcher with "Run demo!" not chosen.
        if (window->ProcessEvents() == QP_WindowEvent::Quit)
            break;
        if (window->BeginFrame()) {
            DrawControls(pictureTexture, modeTexts);
            window->EndFrame();
        }
        QC_Sleep(1);
    }
    delete window;

    const bool validIndex = g_launcher.selectedIndex >= 0 && g_launcher.selectedIndex < static_cast<int>(modes.size());
    *mode = validIndex ? modes[static_cast<std::size_t>(g_launcher.selectedIndex)] : QC_Ptr<QR_DisplayMode>();
    *windowed = g_launcher.windowed;
    *vsync = g_launcher.vsync;
    modes.clear();
    return g_launcher.runChosen && validIndex;
}
