#pragma once
// Everything is drawn through a render context: it binds states, shaders, buffers, textures and
// the output, clears, draws, maps buffers for CPU writes and uploads images into textures.
//
//   QC_Ptr<QR_RenderContext> context = QR_GetRenderer()->GetRenderContext();
//   context->SetRenderTarget(nullptr);            // the bound swap chain
//   context->SetViewport(0, 0, 1280, 720);
//   context->Clear({0, 0, 0, 255});
//   context->SetShaderAndGeometry(geometry, shaderState);
//   context->DrawIndexed(indexCount, 0);
//
// What is bound stays on the device while it is bound, even when the caller lets the object go:
// the platform context holds the device objects. The render context itself holds the bound swap
// chain and render target: SetRenderTarget(nullptr) falls back to the swap chain, and a resizing
// swap chain unbinds and rebinds itself. Main thread only.

#include "QC_Image.h"
#include "QC_Ptr.h"
#include "QR_BlendState.h"
#include "QR_ConstantBuffer.h"
#include "QR_DepthStencilState.h"
#include "QR_Descriptions.h"
#include "QR_GeometryState.h"
#include "QR_IndexBuffer.h"
#include "QR_RasteriserState.h"
#include "QR_RenderTarget.h"
#include "QR_ShaderState.h"
#include "QR_SwapChain.h"
#include "QR_Texture2D.h"
#include "QR_VertexBuffer.h"

#include <cstdint>

// A colour of a render call: four bytes in memory order red, green, blue, alpha.
struct QR_Colour
{
    std::uint8_t r, g, b, a;
};

class QR_RenderContext : public QC_RefCounted
{
public:
    ~QR_RenderContext() override = default;

    // Direct3D 11: Begin / End on the context's timestamp query. Direct3D 10: nothing.
    virtual void BeginQuery() = 0;
    // Each byte / 255, on the bound render target or, when none is bound, the swap chain.
    virtual void Clear(QR_Colour colour) = 0;
    // Depth and stencil of the bound target (Direct3D 11: always the swap chain's).
    virtual void ClearDepth(float depth, std::uint8_t stencil) = 0;
    virtual void Draw(std::uint32_t vertexCount, std::uint32_t firstVertex) = 0;
    // Triangle lists only (anything else is fatal, "Unknown topology."); each adds
    // instances x (indexCount / 3) to the renderer's triangle count.
    virtual void DrawIndexed(std::uint32_t indexCount, std::uint32_t firstIndex) = 0;
    virtual void DrawIndexedInstanced(std::uint32_t indexCount, std::uint32_t firstIndex,
                                      std::uint32_t instanceCount) = 0;
    virtual void EndQuery() = 0;
    virtual void Flush() = 0;
    // Maps for CPU writes and returns the memory, or null after "Failed to map buffer.".
    // Constant buffers are always mapped for discard-write, whatever the access. Every map is
    // paired with its unmap before the buffer is drawn with.
    virtual void* MapConstantBuffer(QR_ConstantBuffer* buffer, QR_Access access) = 0;
    virtual void* MapVertexBuffer(QR_VertexBuffer* buffer, QR_Access access) = 0;
    virtual void* MapIndexBuffer(QR_IndexBuffer* buffer, QR_Access access) = 0;
    virtual void SetBlendState(QR_BlendState* state, const float blendFactor[4]) = 0;
    // Without a factor the platform blends with a factor of all ones.
    virtual void SetBlendState(QR_BlendState* state) = 0;
    // Stencil reference 1.
    virtual void SetDepthStencilState(QR_DepthStencilState* state) = 0;
    // Binds the shader state (shaders, input layout, set textures and samplers, constants) and
    // the geometry (32-bit indices, vertex buffer at slot 0, topology).
    virtual void SetShaderAndGeometry(QR_GeometryState* geometry, QR_ShaderState* shaderState) = 0;
    virtual void SetScissorRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) = 0;
    // Makes the swap chain the window output and binds its views; the one already bound: nothing.
    virtual void SetSwapChain(QR_SwapChain* swapChain) = 0;
    virtual void SetRasteriserState(QR_RasteriserState* state) = 0;
    // A target: draw into it. None: back to the bound swap chain, dropping the kept target.
    virtual void SetRenderTarget(QR_RenderTarget* target) = 0;
    // Depth range 0 to 1.
    virtual void SetViewport(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) = 0;
    virtual void UnmapConstantBuffer(QR_ConstantBuffer* buffer) = 0;
    virtual void UnmapVertexBuffer(QR_VertexBuffer* buffer) = 0;
    virtual void UnmapIndexBuffer(QR_IndexBuffer* buffer) = 0;
    // Copies the rectangle (x, y, width, height) of the image into the same rectangle of the
    // texture. A rectangle outside the image or the texture is refused with a level-2 report.
    virtual void UpdateTexture(QR_Texture2D* texture, const QC_Image& image, std::uint32_t x, std::uint32_t y,
                               std::uint32_t width, std::uint32_t height) = 0;
};
