#pragma once
// The utility object of the process: one canvas and one default font (the system's UI face at
// 11 points with LCD coverage), made at start-up after the fonts and destroyed before them.
//
//   QU_InitFonts();
//   QU_CreateApp();
//   QU_GetApp()->Canvas().Begin(width, height);  ...
//   QU_DestroyApp();
//   QU_ShutdownFonts();
//
// On this platform no hidden window is needed: the handle it would have offered is empty.
// Main thread only.

#include "QC_Ptr.h"
#include "QU_Canvas.h"
#include "QU_Font.h"

struct QP_NativeWindow;

// The default font's file and size.
constexpr const char* QU_APP_FONT_PATH = "C:\\Windows\\Fonts\\micross.ttf";
constexpr std::int32_t QU_APP_FONT_SIZE = 11;

class QU_App
{
public:
    QU_Canvas& Canvas() { return canvas; }
    // Loaded, unless its load failed (reported); never null.
    QU_Font* Font() const { return font.Get(); }
    // Empty: there is no utility window on this platform.
    QP_NativeWindow* WindowHandle() const { return windowHandle; }

private:
    friend QU_App* QU_CreateApp();
    friend void QU_DestroyApp();

    QU_App();
    ~QU_App();
    QU_App(const QU_App&) = delete;
    QU_App& operator=(const QU_App&) = delete;

    QU_Canvas canvas;
    QP_NativeWindow* windowHandle = nullptr;
    QC_Ptr<QU_Font> font;
};

// Creates the single QU_App (needs the renderer; creating a second one is fatal) and returns it.
QU_App* QU_CreateApp();
// The QU_App, or null before QU_CreateApp and after QU_DestroyApp.
QU_App* QU_GetApp();
// Releases its font and deletes it; nothing when none exists.
void QU_DestroyApp();
