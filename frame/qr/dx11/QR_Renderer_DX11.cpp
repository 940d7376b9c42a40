#include "QR_Renderer_DX11.h"

#include "QC_Log.h"
#include "QR_BlendState_DX10.h"
#include "QR_Constants_DX11.h"
#include "QR_RenderContext_DX11.h"
#include "QR_RenderTarget_DX10.h"

namespace {
QC_Ptr<QR_RenderContext> g_currentContextDX11;
} // namespace

QR_Renderer_DX11::QR_Renderer_DX11(const QR_RendererSettings& settings)
    : QR_Renderer_DX10(settings, QR_Constants_DX11::set, g_currentContextDX11)
{
    // Only the device creation is checked; without an adapter the platform's default is used.
    QC_Ptr<QP_Adapter> adapter;
    if (factory)
        factory->EnumAdapters(0, &adapter);
    QP_AdapterDesc adapterDesc;
    if (adapter)
        adapter->GetDesc(&adapterDesc);
    if (QP_Failed(QP_CreateDevice(adapter.Get(), QP_DRIVER_TYPE_UNKNOWN, 0, &device, nullptr)) ||
        device->GetFeatureLevel() < QP_FEATURE_LEVEL_11_0)
        QC_FATAL("Unable to create D3D11 device.");
    device->GetImmediateContext(&deviceContext);
    StartRenderContext(new QR_RenderContext_DX11(this, constants, deviceContext.Get(), CreateTimestampQuery().Get()));
}

void QR_Renderer_DX11::GetDisplayModes(QR_DisplayModeList&) {}

QC_Ptr<QR_SwapChain> QR_Renderer_DX11::CreateSwapChain(QP_NativeWindow*, QR_DisplayMode*, bool, bool)
{
    QC_FATAL("Not implemented.");
}

QC_Ptr<QR_BlendState> QR_Renderer_DX11::CreateBlendState(const QR_BlendDesc& desc)
{
    // Eight complete entries, each translated on its own.
    QP_BlendDesc1 platformDesc;
    platformDesc.alphaToCoverageEnable = desc.alphaToCoverage != 0;
    platformDesc.independentBlendEnable = desc.independentBlend != 0;
    for (std::uint32_t i = 0; i < QR_RENDER_TARGET_SLOTS; ++i) {
        const QR_RenderTargetBlendDesc& entry = desc.renderTargets[i];
        QP_RenderTargetBlendDesc1& platformEntry = platformDesc.renderTarget[i];
        platformEntry.blendEnable = entry.blendEnable != 0;
        platformEntry.srcBlend = QR_Translate<QP_Blend>(constants.blend, entry.srcBlend);
        platformEntry.destBlend = QR_Translate<QP_Blend>(constants.blend, entry.destBlend);
        platformEntry.blendOp = QR_Translate<QP_BlendOp>(constants.blendOp, entry.blendOp);
        platformEntry.srcBlendAlpha = QR_Translate<QP_Blend>(constants.blend, entry.srcBlendAlpha);
        platformEntry.destBlendAlpha = QR_Translate<QP_Blend>(constants.blend, entry.destBlendAlpha);
        platformEntry.blendOpAlpha = QR_Translate<QP_BlendOp>(constants.blendOp, entry.blendOpAlpha);
        platformEntry.renderTargetWriteMask = QR_Translate<std::uint8_t>(constants.writeMask, entry.writeMask);
    }
    QC_Ptr<QR_BlendState_DX10> state(new QR_BlendState_DX10());
    if (QP_Failed(device->CreateBlendState1(&platformDesc, &state->platformState)))
        QC_FATAL("Failed to create blend state.");
    return state;
}

QC_Ptr<QR_RenderTarget> QR_Renderer_DX11::CreateRenderTarget(std::uint32_t width, std::uint32_t height)
{
    // Colour texture and colour view only: no depth buffer, no recorded size.
    QC_Ptr<QR_RenderTarget_DX10> target(new QR_RenderTarget_DX10());
    target->texture = CreateTargetTexture(width, height);
    target->renderTargetView = CreateTargetView(target->texture.Get());
    return target;
}
