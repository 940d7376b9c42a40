// Fuzzes the PNG loader through QC_LoadPngFromMemory, which shares the whole decode with
// QC_LoadPng (header inspection, the side limit, RGBA conversion, the picture's allocation).
//   build-fuzz-assets/fuzz_png_loader -max_len=65536 -dict=tests/fuzz/png_loader.dict CORPUS tests/fuzz/seeds/png_loader
//
// The decoder rejects a chunk whose CRC does not match, which is what almost every mutation
// produces; the harness recomputes each chunk's CRC first so that mutated chunks reach the
// parsing behind the check. (The decoder is the system's shared library, built without
// coverage instrumentation: the fuzzer is guided by this harness and the loader only.)

#include "QC_Image.h"

#include <lodepng.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
std::uint32_t ReadBigEndian(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

void FixChunkCrcs(std::vector<std::uint8_t>& png)
{
    std::size_t position = 8; // after the signature
    while (position + 12 <= png.size()) {
        const std::uint64_t length = ReadBigEndian(png.data() + position);
        if (position + 12 + length > png.size())
            return;
        const std::uint32_t crc = lodepng_crc32(png.data() + position + 4, static_cast<std::size_t>(length) + 4);
        std::uint8_t* out = png.data() + position + 8 + length;
        out[0] = std::uint8_t(crc >> 24);
        out[1] = std::uint8_t(crc >> 16);
        out[2] = std::uint8_t(crc >> 8);
        out[3] = std::uint8_t(crc);
        position += 12 + static_cast<std::size_t>(length);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> png(data, data + size);
    FixChunkCrcs(png);
    QC_Ptr<QC_Image> image;
    const bool loaded = QC_LoadPngFromMemory(png.data(), png.size(), image);
    if (loaded != static_cast<bool>(image))
        __builtin_trap();
    if (loaded) {
        // A loaded picture is within the limit and all of its pixels are readable.
        if (image->Width() > QC_PNG_MAX_SIDE || image->Height() > QC_PNG_MAX_SIDE)
            __builtin_trap();
        if (image->ByteSize() != 0) {
            volatile std::uint32_t edges = image->Pixels()[0] ^ image->Pixels()[image->ByteSize() / 4 - 1];
            (void)edges;
        }
    }
    return 0;
}
