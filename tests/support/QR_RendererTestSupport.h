#pragma once
// The renderer on the headless device for the GPU tests: a renderer of the backend under test,
// a 64x64 swap chain without a window bound to the current render context with a viewport over
// all of it, a log that keeps every report, the canvas shaders as test data, and helpers to draw
// quads and read pixels back (row 0 = top of the picture).

#include "QC_Image.h"
#include "QC_Log.h"
#include "QC_String.h"
#include "QR_Renderer.h"
#include "QU_Canvas.h"

#include "support/GpuTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// Creates the global renderer and keeps the GL driver's modules mapped from then on, so that
// what the driver leaves behind is matched by the suite's leak suppressions (GpuTestSupport.h).
inline void QrCreateRenderer(const QR_RendererSettings& settings)
{
    QR_CreateRenderer(settings);
    PinGraphicsDriver();
}

struct QrLogLine
{
    int level;
    std::string message;
    std::string file;
};

class QrLogCapture : public QC_LogBackend
{
public:
    explicit QrLogCapture(std::vector<QrLogLine>* target) : lines(target) {}
    void Write(int level, std::uint32_t, const char* message, const char* file, int) override
    {
        lines->push_back({level, message, file});
    }

private:
    std::vector<QrLogLine>* lines;
};

struct QrPixel
{
    int r, g, b, a;
};

inline std::ostream& operator<<(std::ostream& out, const QrPixel& pixel)
{
    return out << "(" << pixel.r << ", " << pixel.g << ", " << pixel.b << ", " << pixel.a << ")";
}

inline ::testing::AssertionResult PixelNear(const QrPixel& actual, const QrPixel& expected, int tolerance = 2)
{
    if (std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
        std::abs(actual.b - expected.b) <= tolerance && std::abs(actual.a - expected.a) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel " << actual << ", expected " << expected;
}

// The canvas shaders: one vertex text and three pixel texts (greyscale coverage, LCD coverage,
// flat colour), all reading vertices of position, texture coordinate and colour (40 bytes). The
// texts are the canvas's own, so the renderer is tested on what the demo draws with.
namespace QrCanvasShaders {
inline const char* const vertex = QU_CANVAS_VERTEX_SHADER;
inline const char* const greyscaleText = QU_CANVAS_GREYSCALE_TEXT_SHADER;
inline const char* const lcdText = QU_CANVAS_LCD_TEXT_SHADER;
inline const char* const flat = QU_CANVAS_FLAT_SHADER;
} // namespace QrCanvasShaders

// A canvas vertex: position, texture coordinate, colour.
struct QrCanvasVertex
{
    float x, y, z, w;
    float u, v;
    float r, g, b, a;
};
static_assert(sizeof(QrCanvasVertex) == 40);

// States for flat test pictures drawn in drawing order: both windings drawn, depth test off.
inline QC_Ptr<QR_RasteriserState> QrNoCullRasteriser(QR_Renderer* renderer)
{
    QR_RasteriserDesc noCull = {};
    noCull.cullMode = QR_CullMode::None;
    noCull.fillMode = QR_FillMode::Solid;
    noCull.depthClip = 1;
    return renderer->CreateRasteriserState(noCull);
}

inline QC_Ptr<QR_DepthStencilState> QrNoDepthState(QR_Renderer* renderer)
{
    QR_DepthStencilDesc noDepth = {};
    noDepth.depthFunc = QR_ComparisonFunc::Always;
    noDepth.stencilReadMask = noDepth.stencilWriteMask = 0xFF;
    noDepth.frontStencilFunc = noDepth.backStencilFunc = QR_ComparisonFunc::Always;
    return renderer->CreateDepthStencilState(noDepth);
}

class QR_RendererTest : public ::testing::Test
{
protected:
    static constexpr std::uint32_t size = 64;

    void SetUp() override { StartRenderer(QR_Backend::DX10); }

    void StartRenderer(QR_Backend backend)
    {
        QC_CreateLog(QC_LogConfig{})->AddBackend(new QrLogCapture(&logLines));
        QR_RendererSettings settings;
        settings.backend = backend;
        settings.headless = true;
        QrCreateRenderer(settings);
        renderer = QR_GetRenderer();
        ASSERT_NE(renderer, nullptr);
        swapChain = renderer->CreateSwapChain(size, size);
        context = renderer->GetRenderContext();
        ASSERT_TRUE(context);
        context->SetSwapChain(swapChain.Get());
        context->SetViewport(0, 0, size, size);
        rasteriser = QrNoCullRasteriser(renderer);
        context->SetRasteriserState(rasteriser.Get());
        depth = QrNoDepthState(renderer);
        context->SetDepthStencilState(depth.Get());
    }

    void TearDown() override
    {
        geometry = nullptr;
        shaderState = nullptr;
        rasteriser = nullptr;
        depth = nullptr;
        context = nullptr;
        swapChain = nullptr;
        QR_DestroyRenderer();
        QC_DestroyLog();
    }

    // The messages of level 2 and above so far, and forgets all lines.
    std::vector<std::string> TakeErrors()
    {
        std::vector<std::string> errors;
        for (const QrLogLine& line : logLines)
            if (line.level >= QC_LOG_ERROR)
                errors.push_back(line.message);
        logLines.clear();
        return errors;
    }

    QC_Ptr<QR_VertexShader> VertexShader(const char* source)
    {
        return renderer->CreateVertexShader(QC_StaticString<4096>(source));
    }
    QC_Ptr<QR_PixelShader> PixelShader(const char* source)
    {
        return renderer->CreatePixelShader(QC_StaticString<4096>(source));
    }

    // A canvas shader state with an identity projection in its constant buffer.
    QC_Ptr<QR_ShaderState> CanvasState(const char* pixelText, const float projection[16] = nullptr)
    {
        static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        QC_Ptr<QR_VertexShader> vertexShader = VertexShader(QrCanvasShaders::vertex);
        QC_Ptr<QR_PixelShader> pixelShader = PixelShader(pixelText);
        EXPECT_TRUE(vertexShader);
        EXPECT_TRUE(pixelShader);
        QC_Ptr<QR_ShaderState> state = renderer->CreateShaderState(vertexShader.Get(), pixelShader.Get());
        QC_Ptr<QR_ConstantBuffer> constants = renderer->CreateConstantBuffer(QR_Usage::Dynamic, 64, nullptr);
        void* memory = context->MapConstantBuffer(constants.Get(), QR_Access::Write);
        EXPECT_NE(memory, nullptr);
        if (memory)
            std::memcpy(memory, projection ? projection : identity, 64);
        context->UnmapConstantBuffer(constants.Get());
        state->SetConstantBuffer(constants.Get());
        return state;
    }

    // An indexed rectangle in clip coordinates (y up) of one colour; texture coordinates (0, 0)
    // at its top left and (1, 1) at its bottom right.
    QC_Ptr<QR_GeometryState> Rectangle(float left, float bottom, float right, float top, const float colour[4],
                                       QR_Primitive primitive = QR_Primitive::TriangleList)
    {
        const QrCanvasVertex vertices[4] = {
            {left, top, 0.5f, 1, 0, 0, colour[0], colour[1], colour[2], colour[3]},
            {right, top, 0.5f, 1, 1, 0, colour[0], colour[1], colour[2], colour[3]},
            {left, bottom, 0.5f, 1, 0, 1, colour[0], colour[1], colour[2], colour[3]},
            {right, bottom, 0.5f, 1, 1, 1, colour[0], colour[1], colour[2], colour[3]},
        };
        // A list of two triangles, or a strip over the same four corners.
        const std::uint32_t listIndices[6] = {0, 1, 2, 1, 3, 2};
        const std::uint32_t stripIndices[4] = {0, 1, 2, 3};
        const bool list = primitive == QR_Primitive::TriangleList;
        QC_Ptr<QR_VertexBuffer> vertexBuffer = renderer->CreateVertexBuffer(QR_Usage::Default, 40, 4, vertices);
        QC_Ptr<QR_IndexBuffer> indexBuffer =
            renderer->CreateIndexBuffer(QR_Usage::Default, 4, list ? 6 : 4, list ? listIndices : stripIndices);
        return renderer->CreateGeometryState(primitive, vertexBuffer.Get(), indexBuffer.Get());
    }

    void ReadBack()
    {
        image = QC_Ptr<QC_Image>(new QC_Image(size, size));
        ASSERT_TRUE(swapChain->ReadBackBuffer(*image));
    }

    QrPixel Pixel(std::uint32_t x, std::uint32_t y) const
    {
        const std::uint8_t* p = reinterpret_cast<const std::uint8_t*>(image->Pixels()) + (std::size_t(y) * size + x) * 4;
        return {p[0], p[1], p[2], p[3]};
    }

    std::vector<QrLogLine> logLines;
    QR_Renderer* renderer = nullptr;
    QC_Ptr<QR_SwapChain> swapChain;
    QC_Ptr<QR_RenderContext> context;
    QC_Ptr<QR_RasteriserState> rasteriser;
    QC_Ptr<QR_DepthStencilState> depth;
    QC_Ptr<QR_ShaderState> shaderState;
    QC_Ptr<QR_GeometryState> geometry;
    QC_Ptr<QC_Image> image;
};
