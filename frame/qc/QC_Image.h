#pragma once
// A reference-counted RGBA8 picture in memory, and the PNG loader that makes one.
//
//   QC_Ptr<QC_Image> image;
//   if (!QC_LoadPng("assets/noise.png", image))
//       ...;                                  // image is null now
//   const std::uint32_t* pixels = image->Pixels();
//
// Pixels are 32-bit values whose bytes are R, G, B, A in memory order; row 0 is the top of the
// picture and every row follows the previous one with no padding.

#include "QC_Ptr.h"

#include <cstddef>
#include <cstdint>

class QC_Image : public QC_RefCounted
{
public:
    // All pixels 0 (transparent black).
    QC_Image(std::uint32_t width, std::uint32_t height);
    // Copies width * height * 4 bytes of RGBA data.
    QC_Image(std::uint32_t width, std::uint32_t height, const void* rgba);
    ~QC_Image() override;

    std::uint32_t Width() const { return width; }
    std::uint32_t Height() const { return height; }
    std::uint32_t* Pixels() { return pixels; }
    const std::uint32_t* Pixels() const { return pixels; }
    // Size of the pixel buffer in bytes.
    std::uint64_t ByteSize() const { return std::uint64_t(width) * height * 4; }

    // Sets every byte to 0.
    void Clear();
    // Sets every pixel to colour (bytes R, G, B, A in memory order).
    void Fill(std::uint32_t colour);

private:
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t* pixels = nullptr;
};

// The largest width and height a PNG may state. The size is read from the header before
// anything is decoded, so a small file that claims a huge picture is refused without
// allocating for it (the decoder would otherwise ask for width x height x 4 bytes).
constexpr std::uint32_t QC_PNG_MAX_SIDE = 16384;

// Decodes a PNG file into 8-bit RGBA. On success image holds a new picture (the old one is
// released) and the result is true; on any failure (a missing file, a broken file, or a picture
// wider or taller than QC_PNG_MAX_SIDE) image becomes null and the result is false. Reports
// nothing itself: the caller decides what a failure means.
bool QC_LoadPng(const char* path, QC_Ptr<QC_Image>& image);
// The same for a PNG file already in memory (size bytes); the decoding is shared.
bool QC_LoadPngFromMemory(const void* data, std::size_t size, QC_Ptr<QC_Image>& image);
