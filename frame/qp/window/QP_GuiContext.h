#pragma once
// Dear ImGui's context as the window room's two GUI surfaces (QP_GuiWindow, QP_GuiOverlay) make
// and end it: current once made, no settings or log file written; at the end the backends that
// were started shut down before the context goes. Inside frame/qp only.

// Makes a context, current from now on; returns it.
void* QP_CreateGuiContext();
// Shuts down the OpenGL3 and SDL2 backends where started, then destroys context (may be null).
void QP_DestroyGuiContext(void* context, bool sdlBackend, bool glBackend);
