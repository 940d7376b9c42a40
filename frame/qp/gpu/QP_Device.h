#pragma once
// The graphics device: creates resources, views, shaders and states from Direct3D-style
// descriptions (QP_GraphicsTypes.h) and owns the immediate context that draws with them.
//
//   QC_Ptr<QP_Factory> factory;           QP_CreateFactory({}, &factory);
//   QC_Ptr<QP_Adapter> adapter;           factory->EnumAdapters(0, &adapter);
//   QC_Ptr<QP_Device> device;  QC_Ptr<QP_DeviceContext> context;
//   QP_CreateDevice(adapter.Get(), QP_DRIVER_TYPE_UNKNOWN, 0, &device, &context);
//   device->CreateBuffer(&desc, &data, &buffer);  ...  context->DrawIndexed(6, 0, 0);
//
// Every creation returns QP_OK and a new object holding one reference, or an error result with an
// info line in the log naming what was refused; an out pointer may be null to only check the
// description. Reporting a failure as an error is the caller's, with its own text (the renderer
// reports each one as an error or a fatal), so every failure is reported once.
// The device and everything it creates belong to the thread that created it.

#include "QC_Ptr.h"
#include "QP_DeviceChild.h"
#include "QP_GraphicsTypes.h"

#include <cstddef>
#include <cstdint>

class QP_Adapter;
class QP_DeviceContext;
class QP_GLContext;

class QP_Device final : public QC_RefCounted
{
public:
    ~QP_Device() override;

    QP_Result CreateBuffer(const QP_BufferDesc* desc, const QP_SubresourceData* initialData, QC_Ptr<QP_Buffer>* buffer);
    // initialData: one entry per mip level.
    QP_Result CreateTexture2D(const QP_Texture2DDesc* desc, const QP_SubresourceData* initialData,
                              QC_Ptr<QP_Texture2D>* texture);
    // A null description views the whole resource in its own format.
    QP_Result CreateShaderResourceView(QP_Texture2D* resource, const QP_ShaderResourceViewDesc* desc,
                                       QC_Ptr<QP_ShaderResourceView>* view);
    // A buffer created with QP_BIND_SHADER_RESOURCE, read through a StructuredBuffer (a
    // structured buffer, elements of its stride) or a ByteAddressBuffer (raw views allowed,
    // QP_SRV_DIMENSION_BUFFEREX with QP_BUFFEREX_SRV_FLAG_RAW, 4-byte elements). A null
    // description views the whole buffer.
    QP_Result CreateShaderResourceView(QP_Buffer* resource, const QP_ShaderResourceViewDesc* desc,
                                       QC_Ptr<QP_ShaderResourceView>* view);
    QP_Result CreateRenderTargetView(QP_Texture2D* resource, const QP_RenderTargetViewDesc* desc,
                                     QC_Ptr<QP_RenderTargetView>* view);
    QP_Result CreateDepthStencilView(QP_Texture2D* resource, const QP_DepthStencilViewDesc* desc,
                                     QC_Ptr<QP_DepthStencilView>* view);
    // The shader code is a compiled vertex stage whose inputs the elements must all provide.
    QP_Result CreateInputLayout(const QP_InputElementDesc* elements, std::uint32_t elementCount,
                                const void* shaderCode, std::size_t codeSize, QC_Ptr<QP_InputLayout>* layout);
    QP_Result CreateVertexShader(const void* code, std::size_t codeSize, QC_Ptr<QP_VertexShader>* shader);
    QP_Result CreatePixelShader(const void* code, std::size_t codeSize, QC_Ptr<QP_PixelShader>* shader);
    // Direct3D 10 record (one set of factors, per-slot enables) and Direct3D 11 record.
    QP_Result CreateBlendState(const QP_BlendDesc* desc, QC_Ptr<QP_BlendState>* state);
    QP_Result CreateBlendState1(const QP_BlendDesc1* desc, QC_Ptr<QP_BlendState>* state);
    QP_Result CreateDepthStencilState(const QP_DepthStencilDesc* desc, QC_Ptr<QP_DepthStencilState>* state);
    QP_Result CreateRasterizerState(const QP_RasterizerDesc* desc, QC_Ptr<QP_RasterizerState>* state);
    QP_Result CreateSamplerState(const QP_SamplerDesc* desc, QC_Ptr<QP_SamplerState>* state);
    QP_Result CreateQuery(const QP_QueryDesc* desc, QC_Ptr<QP_Query>* query);

    void GetImmediateContext(QC_Ptr<QP_DeviceContext>* context);
    QP_FeatureLevel GetFeatureLevel() const { return QP_FEATURE_LEVEL_11_0; }
    // The GL renderer's name ("llvmpipe (LLVM 15.0.6, 256 bits)").
    const char* GetRendererName() const;
    bool IsHeadless() const;

private:
    friend QP_Result QP_CreateDevice(QP_Adapter*, QP_DriverType, std::uint32_t, QC_Ptr<QP_Device>*,
                                     QC_Ptr<QP_DeviceContext>*);
    friend class QP_SwapChain;
    friend class QP_Factory;
    explicit QP_Device(QP_GLContext* context);
    QP_Result CreateShader(const void* code, std::size_t codeSize, std::uint32_t stage, QP_Shader* shader);

    QC_Ptr<QP_GLContext> glContext;
    // The immediate context holds no reference back to the device (no cycle); it shares the
    // GL context instead.
    QC_Ptr<QP_DeviceContext> immediateContext;
};

// Creates the device on the adapter (null: the default adapter, windowed when a display is
// present). Driver type UNKNOWN or HARDWARE; flags are accepted and ignored.
QP_Result QP_CreateDevice(QP_Adapter* adapter, QP_DriverType driverType, std::uint32_t flags,
                          QC_Ptr<QP_Device>* device, QC_Ptr<QP_DeviceContext>* immediateContext);
