#pragma once
// The Direct3D 10 backend of the renderer on the platform graphics layer, which the demo selects,
// and the implementation both backends share. QR_Renderer_DX11 derives from it and overrides
// only what Direct3D 11 does differently (device bring-up, display modes, blend descriptions,
// render targets); the translation tables and compiler profiles come from the backend's
// QR_ConstantSet, and each backend has a process-wide current render context of its own.
// Every object made here is of the shared classes (QR_BlendState_DX10 ...), whichever backend.

#include "QC_Ptr.h"
#include "QP_Device.h"
#include "QP_DeviceContext.h"
#include "QP_Factory.h"
#include "QR_ConstantSet.h"
#include "QR_RenderContext_DX10.h"
#include "QR_Renderer.h"

class QR_Renderer_DX10 : public QR_Renderer
{
public:
    // Fatal when the platform offers no adapter, output, description, device or mode list.
    explicit QR_Renderer_DX10(const QR_RendererSettings& settings);
    ~QR_Renderer_DX10() override;

    QC_Ptr<QR_BlendState> CreateBlendState(const QR_BlendDesc& desc) override;
    QC_Ptr<QR_ConstantBuffer> CreateConstantBuffer(QR_Usage usage, std::uint32_t size, const void* initialData) override;
    QC_Ptr<QR_DepthStencilState> CreateDepthStencilState(const QR_DepthStencilDesc& desc) override;
    QC_Ptr<QR_GeometryState> CreateGeometryState(QR_Primitive primitive, QR_VertexBuffer* vertexBuffer,
                                                 QR_IndexBuffer* indexBuffer) override;
    QC_Ptr<QR_IndexBuffer> CreateIndexBuffer(QR_Usage usage, std::uint32_t bytesPerIndex, std::uint32_t indexCount,
                                             const void* initialData) override;
    QC_Ptr<QR_PixelShader> CreatePixelShader(const QC_StringBase& source, QP_Include* include,
                                             const char* sourceName) override;
    QC_Ptr<QR_RasteriserState> CreateRasteriserState(const QR_RasteriserDesc& desc) override;
    QC_Ptr<QR_RenderTarget> CreateRenderTarget(std::uint32_t width, std::uint32_t height) override;
    QC_Ptr<QR_SamplerState> CreateSamplerState(const QR_SamplerDesc& desc) override;
    QC_Ptr<QR_ShaderState> CreateShaderState(QR_VertexShader* vertexShader, QR_PixelShader* pixelShader) override;
    QC_Ptr<QR_SwapChain> CreateSwapChain(QP_NativeWindow* window, QR_DisplayMode* mode, bool windowed,
                                         bool vsync) override;
    QC_Ptr<QR_SwapChain> CreateSwapChain(QP_NativeWindow* window) override;
    QC_Ptr<QR_Texture2D> CreateTexture2D(std::uint32_t width, std::uint32_t height) override;
    QC_Ptr<QR_VertexShader> CreateVertexShader(const QC_StringBase& source, QP_Include* include,
                                               const char* sourceName) override;
    QC_Ptr<QR_VertexBuffer> CreateVertexBuffer(QR_Usage usage, std::uint32_t stride, std::uint32_t vertexCount,
                                               const void* initialData) override;
    QC_Ptr<QR_RenderContext> GetRenderContext() override;
    void GetDisplayModes(QR_DisplayModeList& modes) override;
    void SetRenderContext(QR_RenderContext* context) override;
    QC_Ptr<QR_SwapChain> CreateSwapChain(std::uint32_t width, std::uint32_t height) override;

    QP_Device* Device() const { return device.Get(); }
    const QR_ConstantSet& Constants() const { return constants; }

protected:
    // Records the settings, the backend's constant set and its current-context reference, and
    // opens the platform factory; the constructor of the backend then makes the device and
    // calls StartRenderContext.
    QR_Renderer_DX10(const QR_RendererSettings& settings, const QR_ConstantSet& constants,
                     QC_Ptr<QR_RenderContext>& currentContext);

    // The timestamp query a render context is given (empty where the platform has none).
    QC_Ptr<QP_Query> CreateTimestampQuery();
    // Keeps context as the renderer's own and makes it the backend's current one.
    void StartRenderContext(QR_RenderContext_DX10* context);
    // A texture with a shader resource view: view describes it, or null for the whole texture.
    QC_Ptr<QR_Texture2D> CreateTexture(const QP_Texture2DDesc& desc, const QP_ShaderResourceViewDesc* view);
    // The colour texture of a render target: R32G32B32A32_FLOAT, shader resource and render target.
    QC_Ptr<QR_Texture2D> CreateTargetTexture(std::uint32_t width, std::uint32_t height);
    QC_Ptr<QP_RenderTargetView> CreateTargetView(QR_Texture2D* texture);

    const QR_ConstantSet& constants;
    // The backend's process-wide current render context.
    QC_Ptr<QR_RenderContext>& currentContext;
    QC_Ptr<QP_Factory> factory;
    QC_Ptr<QP_Device> device;
    QC_Ptr<QP_DeviceContext> deviceContext;
    QC_Ptr<QR_RenderContext_DX10> renderContext;
    QR_DisplayModeList displayModes;
};
