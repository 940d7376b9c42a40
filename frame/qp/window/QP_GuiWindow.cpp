#include "QP_GuiWindow.h"

#include "QC_Image.h"
#include "QC_Log.h"
#include "QP_FontLibrary.h"
#include "QP_GuiContext.h"
#include "QP_GL.h"
#include "QP_OutputWindow.h"

#include <SDL.h>
#include <imgui.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>

#include <cstdint>

namespace
{
// Frames drawn after an event: one to take the input, one for the state it caused (a ticked
// box, an opened list), one spare for ImGui's own follow-ups (focus, navigation highlight).
constexpr std::uint32_t kFramesAfterEvent = 3;
// The face of the system's dialog font, mapped to an installed sans family.
constexpr const char* kDialogFont = "C:\\Windows\\Fonts\\micross.ttf";
constexpr float kDialogFontPixels = 13.0f;

SDL_Window* Sdl(QP_NativeWindow* window) { return reinterpret_cast<SDL_Window*>(window); }

// A plain light dialog: white ground (the system's window colour), grey controls.
void ApplyStyle()
{
    ImGui::StyleColorsLight();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowPadding = ImVec2(0, 0);
    style.WindowBorderSize = 0;
    style.FrameBorderSize = 1;
    style.FrameRounding = 2;
    style.PopupRounding = 2;
    style.ScrollbarRounding = 2;
    style.GrabRounding = 2;
    style.FramePadding = ImVec2(6, 3);
    ImVec4* colours = style.Colors;
    colours[ImGuiCol_WindowBg] = ImVec4(1, 1, 1, 1);
    colours[ImGuiCol_PopupBg] = ImVec4(1, 1, 1, 1);
    colours[ImGuiCol_Border] = ImVec4(0.55f, 0.55f, 0.58f, 1);
    colours[ImGuiCol_FrameBg] = ImVec4(0.96f, 0.96f, 0.97f, 1);
    colours[ImGuiCol_FrameBgHovered] = ImVec4(0.90f, 0.93f, 0.98f, 1);
    colours[ImGuiCol_FrameBgActive] = ImVec4(0.84f, 0.89f, 0.97f, 1);
    colours[ImGuiCol_Button] = ImVec4(0.90f, 0.90f, 0.91f, 1);
    colours[ImGuiCol_ButtonHovered] = ImVec4(0.85f, 0.90f, 0.98f, 1);
    colours[ImGuiCol_ButtonActive] = ImVec4(0.76f, 0.84f, 0.96f, 1);
    colours[ImGuiCol_CheckMark] = ImVec4(0.12f, 0.12f, 0.14f, 1);
    colours[ImGuiCol_Header] = ImVec4(0.80f, 0.87f, 0.98f, 1);
    colours[ImGuiCol_HeaderHovered] = ImVec4(0.75f, 0.84f, 0.98f, 1);
    colours[ImGuiCol_HeaderActive] = ImVec4(0.68f, 0.79f, 0.96f, 1);
    colours[ImGuiCol_NavHighlight] = ImVec4(0.20f, 0.40f, 0.80f, 1);
}
} // namespace

QP_GuiWindow* QP_GuiWindow::Create(const QP_GuiWindowDesc& desc)
{
    QP_GuiWindow* created = new QP_GuiWindow();
    if (!created->Initialise(desc)) {
        delete created;
        return nullptr;
    }
    return created;
}

bool QP_GuiWindow::Initialise(const QP_GuiWindowDesc& desc)
{
    previousWindow = SDL_GL_GetCurrentWindow();
    previousContext = SDL_GL_GetCurrentContext();
    window = QP_CreateOutputWindow(desc.caption, desc.width, desc.height, false);
    if (!window)
        return false;
    QP_CentreWindow(window, desc.width, desc.height);
    if (desc.icon)
        QP_SetWindowIcon(window, *desc.icon);
    SDL_GLContext context = SDL_GL_CreateContext(Sdl(window));
    if (!context) {
        QC_ERROR("Unable to create the GL context of the window \"%s\": %s", desc.caption, SDL_GetError());
        return false;
    }
    glContext = context;
    SDL_GL_MakeCurrent(Sdl(window), context);
    SDL_GL_SetSwapInterval(1);

    imguiContext = QP_CreateGuiContext();
    ImGuiIO& io = ImGui::GetIO();
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    char fontPath[1024];
    if (!QP_ResolveSystemFontPath(kDialogFont, fontPath, sizeof(fontPath)) ||
        !io.Fonts->AddFontFromFileTTF(fontPath, kDialogFontPixels))
        io.Fonts->AddFontDefault();
    ApplyStyle();
    sdlBackend = ImGui_ImplSDL2_InitForOpenGL(Sdl(window), context);
    glBackend = sdlBackend && ImGui_ImplOpenGL3_Init("#version 150");
    if (!glBackend) {
        QC_ERROR("Unable to start the GUI on the window \"%s\".", desc.caption);
        return false;
    }
    SDL_ShowWindow(Sdl(window));
    SDL_RaiseWindow(Sdl(window));
    SDL_SetWindowInputFocus(Sdl(window));
    framesToDraw = kFramesAfterEvent;
    return true;
}

QP_GuiWindow::~QP_GuiWindow()
{
    if (glContext)
        SDL_GL_MakeCurrent(Sdl(window), static_cast<SDL_GLContext>(glContext));
    if (!textures.empty())
        glDeleteTextures(static_cast<GLsizei>(textures.size()), textures.data());
    QP_DestroyGuiContext(imguiContext, sdlBackend, glBackend);
    // The device's context is current again before this window's context and window go.
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(previousWindow), static_cast<SDL_GLContext>(previousContext));
    if (glContext)
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(glContext));
    QP_DestroyOutputWindow(window);
}

QP_WindowEvent QP_GuiWindow::ProcessEvents()
{
    QP_WindowEvent result = QP_WindowEvent::None;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        const bool escape = event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE;
        const bool closed = event.type == SDL_QUIT ||
                            (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE);
        if (escape || closed)
            return QP_WindowEvent::Quit;
        ImGui_ImplSDL2_ProcessEvent(&event);
        framesToDraw = kFramesAfterEvent;
        result = QP_WindowEvent::Other;
        // ImGui reads a key's state once per frame: a press and its release handed over
        // together would never be seen. One key change per frame; the rest stays queued.
        if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP)
            break;
    }
    return result;
}

bool QP_GuiWindow::BeginFrame()
{
    if (framesToDraw == 0)
        return false;
    --framesToDraw;
    SDL_GL_MakeCurrent(Sdl(window), static_cast<SDL_GLContext>(glContext));
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    return true;
}

void QP_GuiWindow::EndFrame()
{
    ImGui::Render();
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(Sdl(window), &width, &height);
    glViewport(0, 0, width, height);
    const ImVec4 ground = ImGui::GetStyle().Colors[ImGuiCol_WindowBg];
    glClearColor(ground.x, ground.y, ground.z, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    SDL_GL_SwapWindow(Sdl(window));
}

void* QP_GuiWindow::CreateTexture(const QC_Image& image)
{
    SDL_GL_MakeCurrent(Sdl(window), static_cast<SDL_GLContext>(glContext));
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // Row 0 is the top of the picture, as ImGui's texture coordinates expect.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(image.Width()), static_cast<GLsizei>(image.Height()), 0,
                 GL_RGBA, GL_UNSIGNED_BYTE, image.Pixels());
    glBindTexture(GL_TEXTURE_2D, 0);
    textures.push_back(texture);
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(texture));
}
