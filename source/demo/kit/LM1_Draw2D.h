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
//
// The layout functions at the end are what the draws fill their buffers with; they touch no
// renderer, so the geometry can be checked on its own.

#include "QC_Matrix.h"
#include "QR_Texture2D.h"

#include <cstdint>

// Capacity of the 2D vertex and index buffers (8096 of each, not 8192).
constexpr std::uint32_t LM1_DRAW2D_CAPACITY = 8096;
// Glyphs one batch holds: six indices each bound it (1349 x 6 = 8094).
constexpr std::uint32_t LM1_DRAW2D_GLYPHS_PER_BATCH = LM1_DRAW2D_CAPACITY / 6;

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

// --- layout ------------------------------------------------------------------------------------

// A 2D vertex as the buffers hold it: position (x, y, 0, 1) in pixels, texture coordinate.
struct LM1_Vertex2D
{
    float x, y, z, w;
    float u, v;
};
static_assert(sizeof(LM1_Vertex2D) == 24);

// Where a text's layout stands between batches: the next byte, the cursor and the line.
struct LM1_TextCursor
{
    const char* next;
    float cursorX;
    float lineY;
};

// The cursor at the start of a text drawn at offset y.
LM1_TextCursor LM1_StartText(const char* text, float y);

// Lays out glyphs from cursor.next on, at most maxGlyphs of them, into vertices (4 per glyph)
// and indices (6 per glyph, counted from vertex 0), for a font texture of the given size.
// Stops at the end of the text or when maxGlyphs are written, leaving the cursor on the next
// byte. Returns the glyphs written.
std::uint32_t LM1_LayoutText(LM1_TextCursor& cursor, float x, std::uint32_t textureWidth, std::uint32_t textureHeight,
                             LM1_Vertex2D* vertices, std::uint32_t* indices, std::uint32_t maxGlyphs);

struct LM1_Rectangle
{
    float x, y, width, height;
};

// The rectangle DrawImageCentred draws a w x h texture at on a W x H screen.
LM1_Rectangle LM1_CentredRectangle(std::int32_t textureWidth, std::int32_t textureHeight, std::int32_t screenWidth,
                                   std::int32_t screenHeight);
