#include "QP_GuiContext.h"

#include <imgui.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>

void* QP_CreateGuiContext()
{
    IMGUI_CHECKVERSION();
    ImGuiContext* context = ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    return context;
}

void QP_DestroyGuiContext(void* context, bool sdlBackend, bool glBackend)
{
    if (glBackend)
        ImGui_ImplOpenGL3_Shutdown();
    if (sdlBackend)
        ImGui_ImplSDL2_Shutdown();
    if (context)
        ImGui::DestroyContext(static_cast<ImGuiContext*>(context));
}
