#include "QC_Image.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <lodepng.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

TEST(QC_ImageTest, NewImageIsZeroAndFillSetsEveryPixel)
{
    QC_Ptr<QC_Image> image(new QC_Image(2, 2));
    EXPECT_EQ(image->Width(), 2u);
    EXPECT_EQ(image->Height(), 2u);
    EXPECT_EQ(image->ByteSize(), 16u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(image->Pixels()[i], 0u);

    image->Fill(0xFF336699u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(image->Pixels()[i], 0xFF336699u) << "pixel " << i;

    image->Clear();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(image->Pixels());
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(QC_ImageTest, ConstructionCopiesTheData)
{
    std::vector<unsigned char> rgba(3 * 2 * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i)
        rgba[i] = static_cast<unsigned char>(i * 7 + 1);
    QC_Ptr<QC_Image> image(new QC_Image(3, 2, rgba.data()));
    rgba[0] = 0;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(image->Pixels());
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(std::memcmp(bytes + 1, rgba.data() + 1, rgba.size() - 1), 0);
}

TEST(QC_ImageTest, EmptyImageHasAUsableBuffer)
{
    QC_Ptr<QC_Image> image(new QC_Image(0, 5));
    EXPECT_EQ(image->ByteSize(), 0u);
    EXPECT_NE(image->Pixels(), nullptr);
    image->Fill(1);
    image->Clear();
}

TEST(QC_LoadPngTest, RoundTripKeepsSizeAndRgbaBytesInRowOrder)
{
    TempDir dir;
    const unsigned width = 3;
    const unsigned height = 2;
    std::vector<unsigned char> rgba(width * height * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i)
        rgba[i] = static_cast<unsigned char>(i * 13 + 5);
    unsigned char* png = nullptr;
    std::size_t pngSize = 0;
    ASSERT_EQ(lodepng_encode32(&png, &pngSize, rgba.data(), width, height), 0u);
    const std::string path = dir.Write("small.png", std::string(reinterpret_cast<char*>(png), pngSize));
    std::free(png);

    QC_Ptr<QC_Image> previous(new QC_Image(1, 1));
    QC_Ptr<QC_Image> image = previous;
    EXPECT_EQ(previous->RefCount(), 2);
    ASSERT_TRUE(QC_LoadPng(path.c_str(), image));
    ASSERT_TRUE(image);
    EXPECT_NE(image.Get(), previous.Get());
    EXPECT_EQ(previous->RefCount(), 1) << "the old image is released";
    EXPECT_EQ(image->Width(), width);
    EXPECT_EQ(image->Height(), height);
    EXPECT_EQ(std::memcmp(image->Pixels(), rgba.data(), rgba.size()), 0);
}

TEST(QC_LoadPngTest, GreyPngIsExpandedToRgba)
{
    TempDir dir;
    const unsigned char grey[4] = {0, 85, 170, 255};
    unsigned char* png = nullptr;
    std::size_t pngSize = 0;
    ASSERT_EQ(lodepng_encode_memory(&png, &pngSize, grey, 2, 2, LCT_GREY, 8), 0u);
    const std::string path = dir.Write("grey.png", std::string(reinterpret_cast<char*>(png), pngSize));
    std::free(png);

    QC_Ptr<QC_Image> image;
    ASSERT_TRUE(QC_LoadPng(path.c_str(), image));
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(image->Pixels());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(bytes[i * 4 + 0], grey[i]);
        EXPECT_EQ(bytes[i * 4 + 1], grey[i]);
        EXPECT_EQ(bytes[i * 4 + 2], grey[i]);
        EXPECT_EQ(bytes[i * 4 + 3], 255);
    }
}

TEST(QC_LoadPngTest, MissingOrBrokenFileGivesFalseAndNullImage)
{
    TempDir dir;
    QC_Ptr<QC_Image> image(new QC_Image(1, 1));
    EXPECT_FALSE(QC_LoadPng(dir.File("missing.png").c_str(), image));
    EXPECT_FALSE(image);

    image = new QC_Image(1, 1);
    const std::string broken = dir.Write("broken.png", "\x89PNG\r\n\x1a\n not really");
    EXPECT_FALSE(QC_LoadPng(broken.c_str(), image));
    EXPECT_FALSE(image);
}

namespace
{
std::vector<unsigned char> EncodePng(unsigned width, unsigned height)
{
    std::vector<unsigned char> rgba(std::size_t(width) * height * 4, 0x80);
    unsigned char* png = nullptr;
    std::size_t size = 0;
    EXPECT_EQ(lodepng_encode32(&png, &size, rgba.data(), width, height), 0u);
    std::vector<unsigned char> bytes(png, png + size);
    std::free(png);
    return bytes;
}

// Rewrites the size in the IHDR chunk (always the first, at byte 8) and its CRC.
void StateSize(std::vector<unsigned char>& png, std::uint32_t width, std::uint32_t height)
{
    unsigned char* chunk = png.data() + 8;
    const std::uint32_t values[2] = {width, height};
    for (int v = 0; v < 2; ++v)
        for (int b = 0; b < 4; ++b)
            chunk[8 + v * 4 + b] = static_cast<unsigned char>(values[v] >> (24 - 8 * b));
    lodepng_chunk_generate_crc(chunk);
}
} // namespace

TEST(QC_LoadPngTest, PicturesOverTheSideLimitAreRefusedBeforeDecoding)
{
    TempDir dir;
    QC_Ptr<QC_Image> image;

    // The largest side allowed loads, from a file and from memory alike.
    const std::vector<unsigned char> widest = EncodePng(QC_PNG_MAX_SIDE, 1);
    ASSERT_TRUE(QC_LoadPngFromMemory(widest.data(), widest.size(), image));
    EXPECT_EQ(image->Width(), QC_PNG_MAX_SIDE);
    const std::string widestFile =
        dir.Write("widest.png", std::string(reinterpret_cast<const char*>(widest.data()), widest.size()));
    ASSERT_TRUE(QC_LoadPng(widestFile.c_str(), image));
    EXPECT_EQ(image->Width(), QC_PNG_MAX_SIDE);

    // One more in either direction is a failed decode.
    const std::vector<unsigned char> wide = EncodePng(QC_PNG_MAX_SIDE + 1, 1);
    EXPECT_FALSE(QC_LoadPngFromMemory(wide.data(), wide.size(), image));
    EXPECT_FALSE(image);
    const std::vector<unsigned char> tall = EncodePng(1, QC_PNG_MAX_SIDE + 1);
    const std::string tallFile =
        dir.Write("tall.png", std::string(reinterpret_cast<const char*>(tall.data()), tall.size()));
    image = new QC_Image(1, 1);
    EXPECT_FALSE(QC_LoadPng(tallFile.c_str(), image));
    EXPECT_FALSE(image);

    // A tiny file whose header claims 100000 x 100000 (40 GB of pixels) is refused at once.
    std::vector<unsigned char> liar = EncodePng(2, 2);
    StateSize(liar, 100000, 100000);
    EXPECT_FALSE(QC_LoadPngFromMemory(liar.data(), liar.size(), image));
    // The same header rewrite with an honest size still decodes: the test's surgery is sound.
    std::vector<unsigned char> honest = EncodePng(2, 2);
    StateSize(honest, 2, 2);
    EXPECT_TRUE(QC_LoadPngFromMemory(honest.data(), honest.size(), image));
}
