#pragma once
// Windows that a swap chain can present into: SDL windows made with OpenGL support and the GL
// attributes of the device's context. Any window handed to a swap chain as its output window
// must be made this way (or with the same SDL flags); a swap chain then makes the device's
// context current on it.
//
//   QP_NativeWindow* window = QP_CreateOutputWindow("Velvet Cascade", 1280, 720, true);
//   desc.outputWindow = window;  factory->CreateSwapChain(device, &desc, &swapChain);
//   ...  swapChain = nullptr;  QP_DestroyOutputWindow(window);

#include "QP_Result.h"

#include <cstdint>

// Null with a log line when SDL cannot make the window. Starts SDL video for as long as the
// window lives.
QP_NativeWindow* QP_CreateOutputWindow(const char* title, std::uint32_t width, std::uint32_t height, bool visible);
void QP_DestroyOutputWindow(QP_NativeWindow* window);
