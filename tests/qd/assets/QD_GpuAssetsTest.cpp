// Texture and shader assets on the renderer's headless device: what they load is drawn over the
// whole 64x64 back buffer and read back.

#include "support/AssetsTestSupport.h"
#include "support/GpuTestSupport.h"
#include "support/QR_RendererTestSupport.h"

#include "QR_Renderer.h"

#include <gtest/gtest.h>
#include <lodepng.h>

#include <cstdlib>
#include <cstring>

using namespace std::chrono_literals;

namespace
{
constexpr std::uint32_t screen = 64;

// Both stages in one source: a full-screen pass that shows the texture in slot 0.
const char* const textureShader = R"(samplers
{
  QR_Sampler2D picture;
}
vertex
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,
            out QR_Position outPosition, out QR_TexCoord0 outTexCoord, out QR_Colour outColour)
  {
    outPosition = inPosition;
    outTexCoord = inTexCoord;
    outColour = inColour;
  }
}
pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour, out QR_Target outColour)
  {
    float4 c = QR_Sample(picture, inTexCoord)
    outColour = c;
  }
}
)";

// A flat colour pass; body is the pixel stage's statement.
std::string FlatShader(const std::string& body)
{
    return R"(vertex
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,
            out QR_Position outPosition, out QR_TexCoord0 outTexCoord, out QR_Colour outColour)
  {
    outPosition = inPosition;
    outTexCoord = inTexCoord;
    outColour = inColour;
  }
}
pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour, out QR_Target outColour)
  {
    )" + body + R"(
  }
}
)";
}

struct Rgba
{
    int r, g, b, a;
    bool operator==(const Rgba& other) const { return r == other.r && g == other.g && b == other.b && a == other.a; }
};

std::ostream& operator<<(std::ostream& out, const Rgba& c)
{
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

// A PNG whose texel (x, y) has the colour colourAt(x, y).
std::string Png(std::uint32_t width, std::uint32_t height, const std::function<Rgba(std::uint32_t, std::uint32_t)>& colourAt)
{
    std::vector<unsigned char> rgba(std::size_t(width) * height * 4);
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const Rgba c = colourAt(x, y);
            unsigned char* p = rgba.data() + (std::size_t(y) * width + x) * 4;
            p[0] = static_cast<unsigned char>(c.r);
            p[1] = static_cast<unsigned char>(c.g);
            p[2] = static_cast<unsigned char>(c.b);
            p[3] = static_cast<unsigned char>(c.a);
        }
    unsigned char* png = nullptr;
    std::size_t size = 0;
    EXPECT_EQ(lodepng_encode32(&png, &size, rgba.data(), width, height), 0u);
    std::string bytes(reinterpret_cast<const char*>(png), size);
    std::free(png);
    return bytes;
}

Rgba Quadrants(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height, int shade)
{
    const bool right = x >= width / 2;
    const bool bottom = y >= height / 2;
    return {right ? shade : 0, bottom ? shade : 0, right && bottom ? 0 : 200, 255};
}

struct Vertex
{
    float x, y, z, w;
    float u, v;
    float r, g, b, a;
};

class QD_GpuAssetsTest : public QD_AssetsTest
{
protected:
    void SetUp() override
    {
        QD_AssetsTest::SetUp();
        QR_RendererSettings settings;
        settings.backend = QR_Backend::DX10;
        settings.headless = true;
        QR_CreateRenderer(settings);
        // The driver's leftovers are matched by the GPU suite's leak suppressions only while its
        // modules stay mapped.
        PinGraphicsDriver();
        renderer = QR_GetRenderer();
        ASSERT_NE(renderer, nullptr);
        swapChain = renderer->CreateSwapChain(screen, screen);
        context = renderer->GetRenderContext();
        context->SetSwapChain(swapChain.Get());
        context->SetViewport(0, 0, screen, screen);
        rasteriser = QrNoCullRasteriser(renderer);
        context->SetRasteriserState(rasteriser.Get());
        depth = QrNoDepthState(renderer);
        context->SetDepthStencilState(depth.Get());
        QR_SamplerDesc point = {};
        point.filter = QR_Filter::Point;
        point.addressU = point.addressV = point.addressW = QR_TextureAddress::Clamp;
        point.comparisonFunc = QR_ComparisonFunc::Never;
        point.maxAnisotropy = 1;
        point.maxLod = 3.402823466e38f;
        sampler = renderer->CreateSamplerState(point);
        // The whole screen; texture coordinates (0, 0) at the top left.
        const Vertex corners[4] = {{-1, 1, 0.5f, 1, 0, 0, 1, 1, 1, 1},
                                   {1, 1, 0.5f, 1, 1, 0, 1, 1, 1, 1},
                                   {-1, -1, 0.5f, 1, 0, 1, 1, 1, 1, 1},
                                   {1, -1, 0.5f, 1, 1, 1, 1, 1, 1, 1}};
        const std::uint32_t indices[6] = {0, 1, 2, 1, 3, 2};
        QC_Ptr<QR_VertexBuffer> vertexBuffer = renderer->CreateVertexBuffer(QR_Usage::Default, 40, 4, corners);
        QC_Ptr<QR_IndexBuffer> indexBuffer = renderer->CreateIndexBuffer(QR_Usage::Default, 4, 6, indices);
        quad = renderer->CreateGeometryState(QR_Primitive::TriangleList, vertexBuffer.Get(), indexBuffer.Get());
    }

    void TearDown() override
    {
        QD_AssetsTest::TearDown(); // assets (and their GPU objects) before the renderer
        quad = nullptr;
        sampler = nullptr;
        depth = nullptr;
        rasteriser = nullptr;
        context = nullptr;
        swapChain = nullptr;
        QR_DestroyRenderer();
    }

    // Draws the state over the whole screen and reads the picture back.
    void Draw(QR_ShaderState* state)
    {
        context->Clear({0, 0, 0, 0});
        context->SetShaderAndGeometry(quad.Get(), state);
        context->DrawIndexed(6, 0);
        picture = QC_Ptr<QC_Image>(new QC_Image(screen, screen));
        ASSERT_TRUE(swapChain->ReadBackBuffer(*picture));
    }

    // Draws the texture through the texture shader asset's program.
    void DrawTexture(QR_Texture2D* texture)
    {
        ASSERT_TRUE(textureProgram);
        textureProgram->SetTexture(texture, 0);
        textureProgram->SetSamplerState(sampler.Get(), 0);
        Draw(textureProgram.Get());
    }

    Rgba Pixel(std::uint32_t x, std::uint32_t y) const
    {
        const std::uint8_t* p = reinterpret_cast<const std::uint8_t*>(picture->Pixels()) + (std::size_t(y) * screen + x) * 4;
        return {p[0], p[1], p[2], p[3]};
    }

    // Every screen pixel shows texel (x * width / 64, y * height / 64) of the pattern.
    void ExpectPicture(std::uint32_t width, std::uint32_t height, int shade)
    {
        for (std::uint32_t y = 0; y < screen; y += 4)
            for (std::uint32_t x = 0; x < screen; x += 4) {
                const std::uint32_t tx = x * width / screen;
                const std::uint32_t ty = y * height / screen;
                ASSERT_EQ(Pixel(x + 1, y + 1), Quadrants(tx, ty, width, height, shade)) << "at " << x << ", " << y;
            }
    }

    QR_Renderer* renderer = nullptr;
    QC_Ptr<QR_SwapChain> swapChain;
    QC_Ptr<QR_RenderContext> context;
    QC_Ptr<QR_RasteriserState> rasteriser;
    QC_Ptr<QR_DepthStencilState> depth;
    QC_Ptr<QR_SamplerState> sampler;
    QC_Ptr<QR_GeometryState> quad;
    QC_Ptr<QR_ShaderState> textureProgram;
    QC_Ptr<QC_Image> picture;
};
} // namespace

TEST_F(QD_GpuAssetsTest, TextureReloadsIntoTheSameObjectAndAnotherSizeGetsANewTexture)
{
    const auto pattern = [](std::uint32_t width, std::uint32_t height, int shade) {
        return Png(width, height, [=](std::uint32_t x, std::uint32_t y) { return Quadrants(x, y, width, height, shade); });
    };
    const std::string path = Write("picture.png", pattern(8, 8, 255));
    Write("show.qcs", textureShader);
    CreateAssets(true);
    QC_Ptr<QD_TextureAsset> asset = QD_GetAssets()->LoadTexture("picture.png");
    QC_Ptr<QD_ShaderAsset> shader = QD_GetAssets()->LoadShader("show.qcs");
    ASSERT_TRUE(PumpUntil([&] { return QD_GetAssets()->AllLoaded() && Idle(*asset) && Idle(*shader); }));
    textureProgram = shader->GetCurrent();
    QC_Ptr<QR_Texture2D> texture = asset->GetCurrent();
    EXPECT_EQ(texture->Width(), 8u);
    EXPECT_EQ(texture->Height(), 8u);
    DrawTexture(texture.Get());
    ExpectPicture(8, 8, 255);

    // Edited, same size: new pixels in the same texture object.
    SaveInPlace(path, pattern(8, 8, 100));
    ASSERT_TRUE(PumpUntil([&] { return asset->GetLoadsRun() - asset->GetLoadsUnchanged() == 2 && Idle(*asset); }));
    EXPECT_EQ(asset->GetCurrent(), texture);
    DrawTexture(texture.Get());
    ExpectPicture(8, 8, 100);

    // A broken file keeps the texture and its pixels.
    SaveInPlace(path, "\x89PNG\r\n\x1a\n broken");
    ASSERT_TRUE(PumpUntil([&] { return asset->GetLoadsRun() - asset->GetLoadsUnchanged() == 3 && Idle(*asset); }));
    EXPECT_EQ(asset->GetCurrent(), texture);
    DrawTexture(texture.Get());
    ExpectPicture(8, 8, 100);

    // Another size: a new texture of that size, the old one untouched.
    SaveAtomically(path, pattern(4, 2, 180));
    ASSERT_TRUE(PumpUntil([&] { return asset->GetCurrent() != texture && Idle(*asset); }));
    QC_Ptr<QR_Texture2D> resized = asset->GetCurrent();
    EXPECT_EQ(resized->Width(), 4u);
    EXPECT_EQ(resized->Height(), 2u);
    DrawTexture(resized.Get());
    ExpectPicture(4, 2, 180);
    DrawTexture(texture.Get());
    ExpectPicture(8, 8, 100);
    for (const std::string& message : log.Messages(QC_LOG_ERROR))
        ADD_FAILURE() << "unexpected report: " << message;
}

TEST_F(QD_GpuAssetsTest, ShaderWithACompileErrorKeepsThePreviousProgramUntilFixed)
{
    const std::string path = Write("flat.qcs", FlatShader("outColour = float4(1, 0, 0, 1);"));
    Write("bad.qcs", FlatShader("outColour = float4(1, 0, 0, 1) +;"));
    CreateAssets(true);
    QC_Ptr<QD_ShaderAsset> flat = QD_GetAssets()->LoadShader("flat.qcs");
    QC_Ptr<QD_ShaderAsset> bad = QD_GetAssets()->LoadShader("bad.qcs");
    ASSERT_TRUE(PumpUntil([&] { return Idle(*flat) && Idle(*bad); }));
    ASSERT_TRUE(flat->IsLoaded());
    // A first load that does not compile leaves the asset not loaded; the renderer reported it.
    EXPECT_FALSE(bad->IsLoaded());
    EXPECT_FALSE(QD_GetAssets()->AllLoaded());
    EXPECT_FALSE(log.Messages(QC_LOG_ERROR).empty());
    log.Clear();
    QC_Ptr<QR_ShaderState> red = flat->GetCurrent();
    Draw(red.Get());
    EXPECT_EQ(Pixel(10, 50), (Rgba{255, 0, 0, 255}));

    SaveInPlace(path, FlatShader("outColour = float4(0, 1, 0, 1) +;"));
    ASSERT_TRUE(PumpUntil([&] { return flat->GetLoadsRun() - flat->GetLoadsUnchanged() == 2 && Idle(*flat); }));
    EXPECT_FALSE(log.Messages(QC_LOG_ERROR).empty());
    EXPECT_EQ(flat->GetCurrent(), red);
    Draw(flat->GetCurrent().Get());
    EXPECT_EQ(Pixel(10, 50), (Rgba{255, 0, 0, 255}));

    SaveInPlace(path, FlatShader("outColour = float4(0, 1, 0, 1);"));
    ASSERT_TRUE(PumpUntil([&] { return flat->GetCurrent() != red && Idle(*flat); }));
    Draw(flat->GetCurrent().Get());
    EXPECT_EQ(Pixel(10, 50), (Rgba{0, 255, 0, 255}));
}

TEST_F(QD_GpuAssetsTest, MissingTextureWithFatalFailuresEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child runs the test afresh, in a temporary folder of its own.
    const std::string expected = "\\[FATAL\\] Unable to load /.*/missing\\.png\\.";
    EXPECT_EXIT(
        {
            CreateAssets(false, true);
            QD_GetAssets()->LoadTexture("missing.png");
            PumpUntil([] { return false; }, 30s);
            std::exit(0);
        },
        testing::ExitedWithCode(QC_FATAL_EXIT_CODE), expected);
}
