#include "QP_GuiOverlay.h"

#include "QC_Log.h"
#include "QP_GuiContext.h"
#include "QP_GL.h"

#include <SDL.h>
#include <imgui.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>

namespace
{
// The one overlay QP_PollInputEvent feeds.
QP_GuiOverlay* currentOverlay = nullptr;

SDL_Window* Sdl(QP_NativeWindow* window) { return reinterpret_cast<SDL_Window*>(window); }

// ImGui's GL backend expects a framebuffer whose row 0 is the bottom of the picture; under an
// upper-left clip origin it turns its projection so that the picture still stands upright there.
// The device's framebuffers keep row 0 at the top (only Present flips), so that turn would put
// the GUI upside down, and the backend places scissor rectangles for a lower-left origin in any
// case. Mirroring the vertices and the clip rectangles about the middle of the picture before
// the backend draws puts both where ImGui meant them.
void MirrorForTopRowFirst(ImDrawData* data)
{
    GLint origin = GL_LOWER_LEFT;
    glGetIntegerv(GL_CLIP_ORIGIN, &origin);
    if (origin != GL_UPPER_LEFT)
        return;
    const float top = data->DisplayPos.y;
    const float bottom = top + data->DisplaySize.y;
    for (int list = 0; list < data->CmdListsCount; ++list) {
        ImDrawList* commands = data->CmdLists[list];
        for (ImDrawVert& vertex : commands->VtxBuffer)
            vertex.pos.y = top + bottom - vertex.pos.y;
        for (ImDrawCmd& command : commands->CmdBuffer) {
            const float clipTop = command.ClipRect.y;
            command.ClipRect.y = top + bottom - command.ClipRect.w;
            command.ClipRect.w = top + bottom - clipTop;
        }
    }
}
} // namespace

QP_GuiOverlay* QP_GuiOverlay::Create(QP_NativeWindow* window)
{
    if (currentOverlay) {
        QC_ERROR("Only one GUI overlay may exist at a time.");
        return nullptr;
    }
    QP_GuiOverlay* created = new QP_GuiOverlay();
    if (!created->Initialise(window)) {
        delete created;
        return nullptr;
    }
    currentOverlay = created;
    return created;
}

QP_GuiOverlay* QP_GuiOverlay::Current()
{
    return currentOverlay;
}

bool QP_GuiOverlay::Initialise(QP_NativeWindow* outputWindow)
{
    window = outputWindow;
    imguiContext = QP_CreateGuiContext();
    ImGui::GetIO().Fonts->AddFontDefault();
    ImGui::StyleColorsDark();
    // Plain edges: a panel of thin curves and hairlines over a picture needs no smoothing, and
    // anti-aliased edges would triple the vertices a frame hands to the device.
    ImGui::GetStyle().AntiAliasedLines = false;
    ImGui::GetStyle().AntiAliasedFill = false;
    if (window) {
        sdlBackend = ImGui_ImplSDL2_InitForOpenGL(Sdl(window), SDL_GL_GetCurrentContext());
        if (!sdlBackend) {
            QC_ERROR("Unable to start the GUI overlay's input on the window.");
            return false;
        }
    }
    glBackend = ImGui_ImplOpenGL3_Init("#version 150");
    if (!glBackend) {
        QC_ERROR("Unable to start the GUI overlay on the graphics device's GL context.");
        return false;
    }
    return true;
}

QP_GuiOverlay::~QP_GuiOverlay()
{
    if (currentOverlay == this)
        currentOverlay = nullptr;
    QP_DestroyGuiContext(imguiContext, sdlBackend, glBackend);
}

void QP_GuiOverlay::HandleEvent(const void* platformEvent)
{
    if (sdlBackend && platformEvent)
        ImGui_ImplSDL2_ProcessEvent(static_cast<const SDL_Event*>(platformEvent));
}

void QP_GuiOverlay::BeginFrame(std::uint32_t width, std::uint32_t height)
{
    ImGui_ImplOpenGL3_NewFrame();
    ImGuiIO& io = ImGui::GetIO();
    if (sdlBackend)
        ImGui_ImplSDL2_NewFrame();
    // The picture's size, not the window's: the back buffer may lag a resize by a frame.
    io.DisplaySize = ImVec2(static_cast<float>(width), static_cast<float>(height));
    io.DisplayFramebufferScale = ImVec2(1.0f, 1.0f);
    const std::uint64_t now = SDL_GetPerformanceCounter();
    const double frequency = static_cast<double>(SDL_GetPerformanceFrequency());
    const double seconds = lastFrameCounter ? static_cast<double>(now - lastFrameCounter) / frequency : 1.0 / 60.0;
    io.DeltaTime = seconds > 0.0 ? static_cast<float>(seconds) : 1.0f / 60.0f;
    lastFrameCounter = now;
    ImGui::NewFrame();
}

void QP_GuiOverlay::EndFrame()
{
    ImGui::Render();
    ImDrawData* data = ImGui::GetDrawData();
    MirrorForTopRowFirst(data);
    ImGui_ImplOpenGL3_RenderDrawData(data);
}

bool QP_GuiOverlay::WantsKeyboard() const
{
    return ImGui::GetIO().WantTextInput;
}

bool QP_GuiOverlay::WantsPointer() const
{
    return ImGui::GetIO().WantCaptureMouse;
}
