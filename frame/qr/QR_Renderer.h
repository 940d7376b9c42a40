#pragma once
// The renderer: the one object through which the system obtains graphics resources. It is a
// factory of counted resources and hands out the current render context, through which all
// drawing goes. Two backends implement it on the platform graphics layer (frame/qp):
// QR_Renderer_DX10, which the demo uses, and QR_Renderer_DX11, which offers no display modes and
// no swap chain for a mode (QR_Renderer_DX11.h lists every difference).
//
//   QR_RendererSettings settings;                 // backend DX10
//   QR_CreateRenderer(settings);
//   std::vector<QC_Ptr<QR_DisplayMode>> modes;  QR_GetRenderer()->GetDisplayModes(modes);
//   QC_Ptr<QR_SwapChain> swapChain = QR_GetRenderer()->CreateSwapChain(window, modes[0], true, true);
//   QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
//   context->SetSwapChain(swapChain.Get());  ...
//   QR_DestroyRenderer();
//
// Every Create operation returns a new object holding one reference for the caller (empty where
// noted). Out-of-range enumeration values and failed platform creations of states, constant
// buffers, textures and render targets are fatal; index and vertex buffers and shaders report
// at level 2 and the caller goes on. Main thread only: nothing here is locked.
//
// Nothing in frame/qr includes a GL, EGL or SDL header, and only the backends (frame/qr/dx10,
// frame/qr/dx11) reach the platform layer's device and shader compiler: users of this interface
// cannot include them (cmake/Rooms.cmake).

#include "QC_Ptr.h"
#include "QC_String.h"
#include "QR_BlendState.h"
#include "QR_ConstantBuffer.h"
#include "QR_DepthStencilState.h"
#include "QR_Descriptions.h"
#include "QR_DisplayMode.h"
#include "QR_GeometryState.h"
#include "QR_IndexBuffer.h"
#include "QR_PixelShader.h"
#include "QR_RasteriserState.h"
#include "QR_RenderContext.h"
#include "QR_RenderTarget.h"
#include "QR_SamplerState.h"
#include "QR_ShaderState.h"
#include "QR_SwapChain.h"
#include "QR_Texture2D.h"
#include "QR_VertexBuffer.h"
#include "QR_VertexShader.h"

#include <cstdint>
#include <vector>

// The platform layer is reached by the backends only: an include handler and an output window
// pass through this interface as opaque pointers.
class QP_Include;
struct QP_NativeWindow;

enum class QR_Backend : std::int32_t
{
    DX10 = 1,
    DX11 = 2,
    OpenGL = 3, // not supported: fatal
};

struct QR_RendererSettings
{
    QR_Backend backend = QR_Backend::DX10;
    // Render without a window system even where a display is present (tests, tools). Without a
    // display the renderer is headless anyway; it then offers the platform's fixed mode list
    // and only swap chains of a given size.
    bool headless = false;
    // Compile shaders in a helper process, so that a text that crashes the compiler costs only
    // that compile (the workbench, where any text may be saved as a shader). Once on, it stays
    // on for the process.
    bool isolatedShaderCompiles = false;
};

using QR_DisplayModeList = std::vector<QC_Ptr<QR_DisplayMode>>;

class QR_Renderer
{
public:
    explicit QR_Renderer(const QR_RendererSettings& settings) : backend(static_cast<std::int32_t>(settings.backend)) {}
    QR_Renderer(const QR_Renderer&) = delete;
    QR_Renderer& operator=(const QR_Renderer&) = delete;

    // One Create operation per kind of resource, then the render context and the display modes.
    virtual ~QR_Renderer() = default;
    virtual QC_Ptr<QR_BlendState> CreateBlendState(const QR_BlendDesc& desc) = 0;
    virtual QC_Ptr<QR_ConstantBuffer> CreateConstantBuffer(QR_Usage usage, std::uint32_t size,
                                                           const void* initialData) = 0;
    virtual QC_Ptr<QR_DepthStencilState> CreateDepthStencilState(const QR_DepthStencilDesc& desc) = 0;
    virtual QC_Ptr<QR_GeometryState> CreateGeometryState(QR_Primitive primitive, QR_VertexBuffer* vertexBuffer,
                                                         QR_IndexBuffer* indexBuffer) = 0;
    virtual QC_Ptr<QR_IndexBuffer> CreateIndexBuffer(QR_Usage usage, std::uint32_t bytesPerIndex,
                                                     std::uint32_t indexCount, const void* initialData) = 0;
    // Source text of the shading language; empty when translation or compilation failed. The
    // stage code's #include directives are answered by include (none: each is an error), and
    // sourceName names the file the text was read from: every message about the source names its
    // place there ("assets/o1.qcs(18): error: ..."; null: "0"), and included files are named
    // relative to it.
    virtual QC_Ptr<QR_PixelShader> CreatePixelShader(const QC_StringBase& source, QP_Include* include = nullptr,
                                                     const char* sourceName = nullptr) = 0;
    virtual QC_Ptr<QR_RasteriserState> CreateRasteriserState(const QR_RasteriserDesc& desc) = 0;
    virtual QC_Ptr<QR_RenderTarget> CreateRenderTarget(std::uint32_t width, std::uint32_t height) = 0;
    virtual QC_Ptr<QR_SamplerState> CreateSamplerState(const QR_SamplerDesc& desc) = 0;
    virtual QC_Ptr<QR_ShaderState> CreateShaderState(QR_VertexShader* vertexShader, QR_PixelShader* pixelShader) = 0;
    // For a chosen display mode: windowed (client size) or fullscreen at the mode's size; the
    // mode's exact refresh rate is asked for only together with vsync.
    virtual QC_Ptr<QR_SwapChain> CreateSwapChain(QP_NativeWindow* window, QR_DisplayMode* mode, bool windowed,
                                                 bool vsync) = 0;
    // For a window only: windowed, the window's client size, vsync on.
    virtual QC_Ptr<QR_SwapChain> CreateSwapChain(QP_NativeWindow* window) = 0;
    virtual QC_Ptr<QR_Texture2D> CreateTexture2D(std::uint32_t width, std::uint32_t height) = 0;
    // With its input layout; empty when translation or compilation failed. Includes and the
    // source's name as above.
    virtual QC_Ptr<QR_VertexShader> CreateVertexShader(const QC_StringBase& source, QP_Include* include = nullptr,
                                                       const char* sourceName = nullptr) = 0;
    virtual QC_Ptr<QR_VertexBuffer> CreateVertexBuffer(QR_Usage usage, std::uint32_t stride,
                                                       std::uint32_t vertexCount, const void* initialData) = 0;
    // The current render context with a reference for the caller.
    virtual QC_Ptr<QR_RenderContext> GetRenderContext() = 0;
    // Releases what modes held and fills it with the renderer's modes in the platform's order;
    // the renderer's own list is left as it is. Direct3D 11: does nothing.
    virtual void GetDisplayModes(QR_DisplayModeList& modes) = 0;
    virtual void SetRenderContext(QR_RenderContext* context) = 0;

    // For tests and rendering without a display: a swap chain without a window, of the given
    // size, vsync off. Present shows nothing; the picture is read with QR_SwapChain::ReadBackBuffer.
    virtual QC_Ptr<QR_SwapChain> CreateSwapChain(std::uint32_t width, std::uint32_t height) = 0;

    // Triangles submitted by indexed draws since the last reset (the demo resets it each frame).
    void AddTriangles(std::int32_t count) { triangleCount += count; }
    std::int32_t GetTriangleCount() const { return triangleCount; }
    void ResetTriangleCount() { triangleCount = 0; }
    std::int32_t Backend() const { return backend; }

protected:
    std::int32_t triangleCount = 0;
    std::int32_t backend;
};

// Creates the backend named by settings.backend (1 DX10, 2 DX11; 3 and anything else are fatal)
// and makes it the global renderer. Creating a second one while one exists is fatal.
void QR_CreateRenderer(const QR_RendererSettings& settings);
// The global renderer, or null before QR_CreateRenderer and after QR_DestroyRenderer.
QR_Renderer* QR_GetRenderer();
// Destroys the renderer if one exists. The current render context is let go with it.
void QR_DestroyRenderer();
