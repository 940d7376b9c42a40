#include "QC_Image.h"

#include <lodepng.h>

#include <cstdlib>
#include <cstring>

namespace
{
std::uint32_t* AllocatePixels(std::uint32_t width, std::uint32_t height)
{
    // 64-bit arithmetic: width * height * 4 cannot wrap before the allocation sees it.
    const std::uint64_t bytes = std::uint64_t(width) * height * 4;
    QC_ASSERT(bytes <= SIZE_MAX, "Out of memory.");
    // calloc gives the all-zero picture and one byte for an empty one, so Pixels() is never null.
    void* buffer = std::calloc(bytes ? static_cast<std::size_t>(bytes) : 1, 1);
    QC_ASSERT(buffer != nullptr, "Out of memory.");
    return static_cast<std::uint32_t*>(buffer);
}
} // namespace

QC_Image::QC_Image(std::uint32_t imageWidth, std::uint32_t imageHeight)
    : width(imageWidth), height(imageHeight), pixels(AllocatePixels(imageWidth, imageHeight))
{
}

QC_Image::QC_Image(std::uint32_t imageWidth, std::uint32_t imageHeight, const void* rgba)
    : QC_Image(imageWidth, imageHeight)
{
    if (ByteSize())
        std::memcpy(pixels, rgba, static_cast<std::size_t>(ByteSize()));
}

QC_Image::~QC_Image()
{
    std::free(pixels);
}

void QC_Image::Clear()
{
    std::memset(pixels, 0, static_cast<std::size_t>(ByteSize()));
}

void QC_Image::Fill(std::uint32_t colour)
{
    const std::uint64_t count = std::uint64_t(width) * height;
    for (std::uint64_t i = 0; i < count; ++i)
        pixels[i] = colour;
}

bool QC_LoadPngFromMemory(const void* data, std::size_t size, QC_Ptr<QC_Image>& image)
{
    image.Reset();
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    unsigned width = 0;
    unsigned height = 0;
    // The header first: a stated size over the limit is refused before any allocation.
    LodePNGState state;
    lodepng_state_init(&state);
    const unsigned inspectError = lodepng_inspect(&width, &height, &state, bytes, size);
    lodepng_state_cleanup(&state);
    if (inspectError != 0 || width > QC_PNG_MAX_SIDE || height > QC_PNG_MAX_SIDE)
        return false;

    unsigned char* decoded = nullptr;
    // Colour type 6 (RGBA), 8 bits per channel, whatever the file stores.
    const unsigned error = lodepng_decode32(&decoded, &width, &height, bytes, size);
    if (error != 0) {
        std::free(decoded);
        return false;
    }
    QC_Ptr<QC_Image> loaded(new QC_Image(width, height, decoded));
    std::free(decoded);
    image = loaded;
    return true;
}

bool QC_LoadPng(const char* path, QC_Ptr<QC_Image>& image)
{
    unsigned char* file = nullptr;
    std::size_t size = 0;
    if (lodepng_load_file(&file, &size, path) != 0) {
        std::free(file);
        image.Reset();
        return false;
    }
    const bool loaded = QC_LoadPngFromMemory(file, size, image);
    std::free(file);
    return loaded;
}
