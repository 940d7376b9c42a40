// Sections: lifetime, queries and clears, drawing, mapping, states, pipeline input, output,
// texture updates.

#include "QR_RenderContext_DX10.h"

#include "QC_Log.h"
#include "QR_BlendState_DX10.h"
#include "QR_ConstantBuffer_DX10.h"
#include "QR_DepthStencilState_DX10.h"
#include "QR_GeometryState_DX10.h"
#include "QR_IndexBuffer_DX10.h"
#include "QR_PixelShader_DX10.h"
#include "QR_RasteriserState_DX10.h"
#include "QR_RenderTarget_DX10.h"
#include "QR_Renderer.h"
#include "QR_SamplerState_DX10.h"
#include "QR_SwapChain_DX10.h"
#include "QR_Texture2D_DX10.h"
#include "QR_VertexBuffer_DX10.h"
#include "QR_VertexShader_DX10.h"

// Both backends' renderers make the same classes (QR_BlendState_DX10 ...), so the class of
// every object a context is given is known: the casts below only reach the platform objects.
namespace {
template <typename Backend, typename Abstract>
Backend* AsBackend(Abstract* object)
{
    return static_cast<Backend*>(object);
}
} // namespace

// --- lifetime ------------------------------------------------------------------------------------
QR_RenderContext_DX10::QR_RenderContext_DX10(QR_Renderer* owner, const QR_ConstantSet& constantSet,
                                             QP_DeviceContext* deviceContext, QP_Query* timestampQuery)
    : renderer(owner), constants(constantSet), device(deviceContext), query(timestampQuery)
{
}

QR_RenderContext_DX10::~QR_RenderContext_DX10()
{
    renderTarget = nullptr;
    // The swap chain may outlive the context: it must not keep pointing at it.
    if (swapChain)
        swapChain->SetBoundContext(nullptr);
    swapChain = nullptr;
}

// --- queries and clears --------------------------------------------------------------------------
void QR_RenderContext_DX10::BeginQuery() {}
void QR_RenderContext_DX10::EndQuery() {}

void QR_RenderContext_DX10::Clear(QR_Colour colour)
{
    const float value[4] = {colour.r / 255.0f, colour.g / 255.0f, colour.b / 255.0f, colour.a / 255.0f};
    if (renderTarget)
        device->ClearRenderTargetView(AsBackend<QR_RenderTarget_DX10>(renderTarget.Get())->renderTargetView.Get(), value);
    else if (swapChain && swapChain->RenderTargetView())
        device->ClearRenderTargetView(swapChain->RenderTargetView(), value);
    else
        QC_ERROR("Clear: no render target and no swap chain is bound.");
}

void QR_RenderContext_DX10::ClearDepth(float depth, std::uint8_t stencil)
{
    QP_DepthStencilView* view = nullptr;
    if (renderTarget)
        view = AsBackend<QR_RenderTarget_DX10>(renderTarget.Get())->depthStencilView.Get();
    else if (swapChain)
        view = swapChain->DepthStencilView();
    if (!view) {
        QC_ERROR("ClearDepth: no depth view is bound.");
        return;
    }
    device->ClearDepthStencilView(view, QP_CLEAR_DEPTH | QP_CLEAR_STENCIL, depth, stencil);
}

// --- drawing -------------------------------------------------------------------------------------
void QR_RenderContext_DX10::Draw(std::uint32_t vertexCount, std::uint32_t firstVertex)
{
    device->Draw(vertexCount, firstVertex);
}

void QR_RenderContext_DX10::RequireTriangleList() const
{
    // No geometry state bound counts as a wrong topology: there is nothing to read indices from.
    if (!triangleListBound)
        QC_FATAL("Unknown topology.");
}

void QR_RenderContext_DX10::DrawIndexed(std::uint32_t indexCount, std::uint32_t firstIndex)
{
    RequireTriangleList();
    if (renderer)
        renderer->AddTriangles(static_cast<std::int32_t>(indexCount / 3));
    device->DrawIndexed(indexCount, firstIndex, 0);
}

void QR_RenderContext_DX10::DrawIndexedInstanced(std::uint32_t indexCount, std::uint32_t firstIndex,
                                                 std::uint32_t instanceCount)
{
    RequireTriangleList();
    if (renderer)
        renderer->AddTriangles(static_cast<std::int32_t>(instanceCount * (indexCount / 3)));
    device->DrawIndexedInstanced(indexCount, instanceCount, firstIndex, 0, 0);
}

void QR_RenderContext_DX10::Flush() { device->Flush(); }

// --- mapping -------------------------------------------------------------------------------------
void* QR_RenderContext_DX10::MapBuffer(QP_Buffer* buffer, QP_Map mapType)
{
    QP_MappedSubresource mapped;
    if (!buffer || QP_Failed(device->Map(buffer, 0, mapType, 0, &mapped))) {
        QC_ERROR("Failed to map buffer.");
        return nullptr;
    }
    return mapped.data;
}

void QR_RenderContext_DX10::UnmapBuffer(QP_Buffer* buffer)
{
    if (buffer)
        device->Unmap(buffer, 0);
}

void* QR_RenderContext_DX10::MapConstantBuffer(QR_ConstantBuffer* buffer, QR_Access)
{
    return MapBuffer(buffer ? AsBackend<QR_ConstantBuffer_DX10>(buffer)->platformBuffer.Get() : nullptr,
                     QP_MAP_WRITE_DISCARD);
}

void* QR_RenderContext_DX10::MapVertexBuffer(QR_VertexBuffer* buffer, QR_Access access)
{
    const QP_Map mapType = QR_Translate<QP_Map>(constants.vertexAccess, access);
    return MapBuffer(buffer ? AsBackend<QR_VertexBuffer_DX10>(buffer)->platformBuffer.Get() : nullptr, mapType);
}

void* QR_RenderContext_DX10::MapIndexBuffer(QR_IndexBuffer* buffer, QR_Access access)
{
    const QP_Map mapType = QR_Translate<QP_Map>(constants.indexAccess, access);
    return MapBuffer(buffer ? AsBackend<QR_IndexBuffer_DX10>(buffer)->platformBuffer.Get() : nullptr, mapType);
}

void QR_RenderContext_DX10::UnmapConstantBuffer(QR_ConstantBuffer* buffer)
{
    UnmapBuffer(buffer ? AsBackend<QR_ConstantBuffer_DX10>(buffer)->platformBuffer.Get() : nullptr);
}

void QR_RenderContext_DX10::UnmapVertexBuffer(QR_VertexBuffer* buffer)
{
    UnmapBuffer(buffer ? AsBackend<QR_VertexBuffer_DX10>(buffer)->platformBuffer.Get() : nullptr);
}

void QR_RenderContext_DX10::UnmapIndexBuffer(QR_IndexBuffer* buffer)
{
    UnmapBuffer(buffer ? AsBackend<QR_IndexBuffer_DX10>(buffer)->platformBuffer.Get() : nullptr);
}

// --- states --------------------------------------------------------------------------------------
void QR_RenderContext_DX10::SetBlendState(QR_BlendState* state, const float blendFactor[4])
{
    device->OMSetBlendState(state ? AsBackend<QR_BlendState_DX10>(state)->platformState.Get() : nullptr, blendFactor,
                            0xFFFFFFFFu);
}

void QR_RenderContext_DX10::SetBlendState(QR_BlendState* state) { SetBlendState(state, nullptr); }

void QR_RenderContext_DX10::SetDepthStencilState(QR_DepthStencilState* state)
{
    device->OMSetDepthStencilState(state ? AsBackend<QR_DepthStencilState_DX10>(state)->platformState.Get() : nullptr,
                                   1);
}

void QR_RenderContext_DX10::SetRasteriserState(QR_RasteriserState* state)
{
    device->RSSetState(state ? AsBackend<QR_RasteriserState_DX10>(state)->platformState.Get() : nullptr);
}

void QR_RenderContext_DX10::SetScissorRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height)
{
    QP_Rect rect;
    rect.left = x;
    rect.top = y;
    rect.right = x + width;
    rect.bottom = y + height;
    device->RSSetScissorRects(1, &rect);
}

void QR_RenderContext_DX10::SetViewport(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height)
{
    // Both backends: the platform's viewport holds floats, which hold whole numbers up to 2^24 exactly.
    QP_Viewport viewport;
    viewport.topLeftX = static_cast<float>(x);
    viewport.topLeftY = static_cast<float>(y);
    viewport.width = static_cast<float>(width);
    viewport.height = static_cast<float>(height);
    viewport.minDepth = 0.0f;
    viewport.maxDepth = 1.0f;
    device->RSSetViewports(1, &viewport);
}

// --- pipeline input ------------------------------------------------------------------------------
void QR_RenderContext_DX10::SetShaderAndGeometry(QR_GeometryState* geometry, QR_ShaderState* state)
{
    if (state) {
        QR_VertexShader_DX10* vertexShader = AsBackend<QR_VertexShader_DX10>(state->VertexShader());
        QR_PixelShader_DX10* pixelShader = AsBackend<QR_PixelShader_DX10>(state->PixelShader());
        device->VSSetShader(vertexShader ? vertexShader->platformShader.Get() : nullptr);
        device->IASetInputLayout(vertexShader && vertexShader->inputLayout ? vertexShader->inputLayout->platformLayout.Get()
                                                                           : nullptr);
        device->PSSetShader(pixelShader ? pixelShader->platformShader.Get() : nullptr);
        // Empty entries are skipped: they keep what an earlier draw bound at that slot.
        for (std::uint32_t i = 0; i < state->TextureCount(); ++i) {
            if (QR_Texture2D* texture = state->Texture(i)) {
                QP_ShaderResourceView* view = AsBackend<QR_Texture2D_DX10>(texture)->shaderResourceView.Get();
                device->PSSetShaderResources(i, 1, &view);
            }
        }
        for (std::uint32_t i = 0; i < state->SamplerStateCount(); ++i) {
            if (QR_SamplerState* sampler = state->SamplerState(i)) {
                QP_SamplerState* platformSampler = AsBackend<QR_SamplerState_DX10>(sampler)->platformState.Get();
                device->PSSetSamplers(i, 1, &platformSampler);
            }
        }
        if (QR_ConstantBuffer* constantBuffer = state->ConstantBuffer()) {
            QP_Buffer* buffer = AsBackend<QR_ConstantBuffer_DX10>(constantBuffer)->platformBuffer.Get();
            device->VSSetConstantBuffers(0, 1, &buffer);
            device->PSSetConstantBuffers(0, 1, &buffer);
        }
    }

    triangleListBound = false;
    if (geometry) {
        QR_GeometryState_DX10* backendGeometry = AsBackend<QR_GeometryState_DX10>(geometry);
        QR_IndexBuffer_DX10* indexBuffer = AsBackend<QR_IndexBuffer_DX10>(backendGeometry->indexBuffer.Get());
        QR_VertexBuffer_DX10* vertexBuffer = AsBackend<QR_VertexBuffer_DX10>(backendGeometry->vertexBuffer.Get());
        // Indices are always 32-bit.
        device->IASetIndexBuffer(indexBuffer ? indexBuffer->platformBuffer.Get() : nullptr, QP_FORMAT_R32_UINT, 0);
        QP_Buffer* buffer = vertexBuffer ? vertexBuffer->platformBuffer.Get() : nullptr;
        const std::uint32_t stride = vertexBuffer ? vertexBuffer->stride : 0;
        const std::uint32_t offset = 0;
        device->IASetVertexBuffers(0, 1, &buffer, &stride, &offset);
        device->IASetPrimitiveTopology(backendGeometry->topology);
        triangleListBound = backendGeometry->topology == QP_PRIMITIVE_TOPOLOGY_TRIANGLELIST;
    }
}

// --- output --------------------------------------------------------------------------------------
void QR_RenderContext_DX10::SetSwapChain(QR_SwapChain* newSwapChain)
{
    QC_ASSERT(newSwapChain, "SetSwapChain needs a swap chain.");
    QR_SwapChain_DX10* backendSwapChain = AsBackend<QR_SwapChain_DX10>(newSwapChain);
    if (backendSwapChain == swapChain.Get())
        return;
    if (swapChain)
        swapChain->SetBoundContext(nullptr);
    swapChain = backendSwapChain;
    swapChain->SetBoundContext(this);
    QP_RenderTargetView* view = swapChain->RenderTargetView();
    device->OMSetRenderTargets(1, &view, swapChain->DepthStencilView());
}

void QR_RenderContext_DX10::ReleaseSwapChain(QR_SwapChain_DX10* releasing)
{
    if (!releasing || releasing != swapChain.Get())
        return;
    swapChain->SetBoundContext(nullptr);
    swapChain = nullptr;
    device->OMSetRenderTargets(0, nullptr, nullptr);
}

void QR_RenderContext_DX10::SetRenderTarget(QR_RenderTarget* target)
{
    if (target) {
        renderTarget = target;
        QR_RenderTarget_DX10* backendTarget = AsBackend<QR_RenderTarget_DX10>(target);
        QP_RenderTargetView* view = backendTarget->renderTargetView.Get();
        device->OMSetRenderTargets(1, &view, backendTarget->depthStencilView.Get());
        return;
    }
    if (swapChain) {
        QP_RenderTargetView* view = swapChain->RenderTargetView();
        device->OMSetRenderTargets(1, &view, swapChain->DepthStencilView());
    } else {
        // Nothing to fall back to: bind no output rather than a dangling one.
        QC_ERROR("SetRenderTarget: no swap chain is bound to fall back to.");
        device->OMSetRenderTargets(0, nullptr, nullptr);
    }
    renderTarget = nullptr;
}

// --- texture updates -----------------------------------------------------------------------------
void QR_RenderContext_DX10::UpdateTexture(QR_Texture2D* texture, const QC_Image& image, std::uint32_t x,
                                          std::uint32_t y, std::uint32_t width, std::uint32_t height)
{
    if (!texture)
        return;
    // The rectangle must lie inside both the image and the texture: the copy reads rows of the
    // image and writes rows of the texture without further checks. 64-bit sums cannot wrap.
    const std::uint64_t right = std::uint64_t(x) + width;
    const std::uint64_t bottom = std::uint64_t(y) + height;
    if (right > image.Width() || bottom > image.Height() || right > texture->Width() || bottom > texture->Height()) {
        QC_ERROR("UpdateTexture: the rectangle %u, %u, %u x %u lies outside the %ux%u image or the %ux%u texture.", x, y,
                 width, height, image.Width(), image.Height(), texture->Width(), texture->Height());
        return;
    }
    if (width == 0 || height == 0)
        return;
    const std::uint8_t* source = reinterpret_cast<const std::uint8_t*>(image.Pixels()) +
                                 (std::uint64_t(y) * image.Width() + x) * 4;
    QP_Box box;
    box.left = x;
    box.top = y;
    box.front = 0;
    box.right = x + width;
    box.bottom = y + height;
    box.back = 1;
    device->UpdateSubresource(AsBackend<QR_Texture2D_DX10>(texture)->platformTexture.Get(), 0, &box, source,
                              image.Width() * 4, 0);
}
