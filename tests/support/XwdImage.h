#pragma once
// Reads an X window dump (the output of xwd) into an RGBA picture, for tests that look at what
// a window shows. Only what xwd writes for TrueColor screens is understood: Z pixmaps of 24 or
// 32 bits per pixel with colour masks.

#include "QC_Image.h"
#include "QC_Ptr.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline std::uint32_t XwdCard32(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    // The header is written in the server's byte order, which xwd makes big-endian.
    return (std::uint32_t(bytes[offset]) << 24) | (std::uint32_t(bytes[offset + 1]) << 16) |
           (std::uint32_t(bytes[offset + 2]) << 8) | std::uint32_t(bytes[offset + 3]);
}

inline int XwdShift(std::uint32_t mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// Null (with the reason in error) when the dump is not of the understood kind.
inline QC_Ptr<QC_Image> ReadXwd(const std::vector<std::uint8_t>& bytes, std::string& error)
{
    constexpr std::size_t kHeaderFields = 25;
    if (bytes.size() < kHeaderFields * 4) {
        error = "shorter than an xwd header";
        return {};
    }
    const std::uint32_t headerSize = XwdCard32(bytes, 0);
    const std::uint32_t version = XwdCard32(bytes, 4);
    const std::uint32_t format = XwdCard32(bytes, 8);
    const std::uint32_t width = XwdCard32(bytes, 16);
    const std::uint32_t height = XwdCard32(bytes, 20);
    const std::uint32_t byteOrder = XwdCard32(bytes, 28);
    const std::uint32_t bitsPerPixel = XwdCard32(bytes, 44);
    const std::uint32_t bytesPerLine = XwdCard32(bytes, 48);
    const std::uint32_t redMask = XwdCard32(bytes, 56);
    const std::uint32_t greenMask = XwdCard32(bytes, 60);
    const std::uint32_t blueMask = XwdCard32(bytes, 64);
    const std::uint32_t colourCount = XwdCard32(bytes, 76);
    if (version != 7 || format != 2 || (bitsPerPixel != 32 && bitsPerPixel != 24) || width == 0 || height == 0 ||
        width > 16384 || height > 16384) {
        error = "not a 24/32-bit Z pixmap dump";
        return {};
    }
    const std::size_t pixelsAt = std::size_t(headerSize) + std::size_t(colourCount) * 12;
    if (bytesPerLine < width * (bitsPerPixel / 8) || bytes.size() < pixelsAt + std::size_t(bytesPerLine) * height) {
        error = "the dump is truncated";
        return {};
    }
    QC_Ptr<QC_Image> image(new QC_Image(width, height));
    const int bytesPerPixel = static_cast<int>(bitsPerPixel / 8);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = &bytes[pixelsAt + std::size_t(y) * bytesPerLine];
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t* p = row + std::size_t(x) * bytesPerPixel;
            std::uint32_t value = 0;
            for (int i = 0; i < bytesPerPixel; ++i)
                value |= std::uint32_t(p[byteOrder == 0 ? i : bytesPerPixel - 1 - i]) << (8 * i);
            const std::uint32_t r = (value & redMask) >> XwdShift(redMask);
            const std::uint32_t g = (value & greenMask) >> XwdShift(greenMask);
            const std::uint32_t b = (value & blueMask) >> XwdShift(blueMask);
            image->Pixels()[std::size_t(y) * width + x] = r | (g << 8) | (b << 16) | 0xFF000000u;
        }
    }
    return image;
}

inline QC_Ptr<QC_Image> ReadXwdFile(const char* path, std::string& error)
{
    std::vector<std::uint8_t> bytes;
    if (FILE* file = std::fopen(path, "rb")) {
        std::uint8_t buffer[65536];
        std::size_t count = 0;
        while ((count = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + count);
        std::fclose(file);
    } else {
        error = std::string("cannot open ") + path;
        return {};
    }
    return ReadXwd(bytes, error);
}
