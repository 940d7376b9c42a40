#pragma once
// The render context on the platform device's immediate context, for both backends;
// QR_RenderContext_DX11 overrides the operations in which Direct3D 11 differs (queries, depth
// clears, render target binding). See QR_RenderContext.h for the operations.
//
// Bound states, shaders and buffers are held by the platform context alone; this class keeps
// only what it reads itself: the swap chain and render target (clears, fallbacks, a resizing
// swap chain) and whether the bound geometry is a triangle list (indexed draws).

#include "QC_Ptr.h"
#include "QP_DeviceContext.h"
#include "QR_ConstantSet.h"
#include "QR_RenderContext.h"

class QR_Renderer;
class QR_SwapChain_DX10;

class QR_RenderContext_DX10 : public QR_RenderContext
{
public:
    // renderer receives the triangle counts; constants translate access values.
    QR_RenderContext_DX10(QR_Renderer* renderer, const QR_ConstantSet& constants, QP_DeviceContext* device,
                          QP_Query* query);
    ~QR_RenderContext_DX10() override;

    void BeginQuery() override;
    void Clear(QR_Colour colour) override;
    void ClearDepth(float depth, std::uint8_t stencil) override;
    void Draw(std::uint32_t vertexCount, std::uint32_t firstVertex) override;
    void DrawIndexed(std::uint32_t indexCount, std::uint32_t firstIndex) override;
    void DrawIndexedInstanced(std::uint32_t indexCount, std::uint32_t firstIndex, std::uint32_t instanceCount) override;
    void EndQuery() override;
    void Flush() override;
    void* MapConstantBuffer(QR_ConstantBuffer* buffer, QR_Access access) override;
    void* MapVertexBuffer(QR_VertexBuffer* buffer, QR_Access access) override;
    void* MapIndexBuffer(QR_IndexBuffer* buffer, QR_Access access) override;
    void SetBlendState(QR_BlendState* state, const float blendFactor[4]) override;
    void SetBlendState(QR_BlendState* state) override;
    void SetDepthStencilState(QR_DepthStencilState* state) override;
    void SetShaderAndGeometry(QR_GeometryState* geometry, QR_ShaderState* shaderState) override;
    void SetScissorRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) override;
    void SetSwapChain(QR_SwapChain* swapChain) override;
    void SetRasteriserState(QR_RasteriserState* state) override;
    void SetRenderTarget(QR_RenderTarget* target) override;
    void SetViewport(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) override;
    void UnmapConstantBuffer(QR_ConstantBuffer* buffer) override;
    void UnmapVertexBuffer(QR_VertexBuffer* buffer) override;
    void UnmapIndexBuffer(QR_IndexBuffer* buffer) override;
    void UpdateTexture(QR_Texture2D* texture, const QC_Image& image, std::uint32_t x, std::uint32_t y,
                       std::uint32_t width, std::uint32_t height) override;

    // Called by a resizing swap chain before it drops its views: if it is the bound one, it is
    // told that no context is bound, released, and no output is bound at all.
    void ReleaseSwapChain(QR_SwapChain_DX10* swapChain);

    // Called by a dying renderer: triangle counts then go nowhere.
    void ForgetRenderer() { renderer = nullptr; }

protected:
    void* MapBuffer(QP_Buffer* buffer, QP_Map mapType);
    void UnmapBuffer(QP_Buffer* buffer);
    // Fatal unless a triangle-list geometry state is bound.
    void RequireTriangleList() const;

    QR_Renderer* renderer;
    const QR_ConstantSet& constants;
    QC_Ptr<QP_DeviceContext> device;
    QC_Ptr<QP_Query> query;
    QC_Ptr<QR_SwapChain_DX10> swapChain;
    QC_Ptr<QR_RenderTarget> renderTarget;
    // Set by SetShaderAndGeometry from the topology the geometry state was made with.
    bool triangleListBound = false;
};
