#pragma once
// The demo's 2D drawing kit: bitmap-font text and textured rectangles, drawn into whatever
// render target is current. The scene parts use it for their text screens and pictures.
//
//   LM1_InitDraw2D();                                   // once, from the demo's Init
//   LM1_DrawText("HELLO", colour, glow, 0.0f, 0.0f);    // 384 x 272 text space, 40 columns
//   LM1_DrawImage(picture, 10, 20, 64, 64, 1280, 720);  // a rectangle in pixels
//   LM1_DrawImageCentred(picture, 1280, 720);           // centred, fitted as the rule says
//
// Nothing here sets a blend state: the caller's blend applies. A call whose font texture or
// shader has not loaded yet draws nothing. The kit's objects live until the process ends;
// LM1_ReleaseDraw2D drops them for a test that tears its renderer down.

#include "qc/QC_Matrix.h"
#include "qr/QR_Texture2D.h"

#include <cstdint>

// Requests "font.png", "font.qcs" and "texture.qcs" and creates the buffers (8096 vertices of
// 24 bytes, 8096 32-bit indices), the 96-byte constants and the states.
void LM1_InitDraw2D();
void LM1_ReleaseDraw2D();

// Bitmap-font text: 8 x 8 glyphs in a 384 x 272 pixel space, wrapping after 40 characters, a
// line feed emitting nothing. parameterA and parameterB reach "font.qcs" (A is the colour).
// Texts longer than the buffers hold are drawn in several batches.
void LM1_DrawText(const char* text, const QC_Float4& parameterA, const QC_Float4& parameterB, float x, float y);

// One textured rectangle at (x, y), width by height pixels, on a screen of the given size.
void LM1_DrawImage(QR_Texture2D* texture, float x, float y, float width, float height, float screenWidth,
                   float screenHeight);

// One texture in the middle of the screen: kept at its own size where it fits, cut to the
// screen's width when wider, scaled to the screen's height when taller.
void LM1_DrawImageCentred(QR_Texture2D* texture, std::int32_t screenWidth, std::int32_t screenHeight);
