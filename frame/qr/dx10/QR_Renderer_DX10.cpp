// Sections: construction, states, buffers, geometry, textures and render targets, shaders,
// swap chains, render context and display modes.

#include "QR_Renderer_DX10.h"

#include "QC_Log.h"
#include "QP_ShaderCompiler.h"
#include "QR_BlendState_DX10.h"
#include "QR_ConstantBuffer_DX10.h"
#include "QR_Constants_DX10.h"
#include "QR_DepthStencil_DX10.h"
#include "QR_DepthStencilState_DX10.h"
#include "QR_DisplayMode_DX10.h"
#include "QR_GeometryState_DX10.h"
#include "QR_IndexBuffer_DX10.h"
#include "QR_InputLayout_DX10.h"
#include "QR_PixelShader_DX10.h"
#include "QR_RasteriserState_DX10.h"
#include "QR_RenderTarget_DX10.h"
#include "QR_SamplerState_DX10.h"
#include "QR_ShaderGenerator_HLSL.h"
#include "QR_ShaderParser.h"
#include "QR_ShaderState_DX10.h"
#include "QR_SwapChain_DX10.h"
#include "QR_Texture2D_DX10.h"
#include "QR_VertexBuffer_DX10.h"
#include "QR_VertexShader_DX10.h"

#include <limits>
#include <vector>

// --- construction --------------------------------------------------------------------------------
namespace {
QC_Ptr<QR_RenderContext> g_currentContextDX10;
} // namespace

QR_Renderer_DX10::QR_Renderer_DX10(const QR_RendererSettings& settings, const QR_ConstantSet& constantSet,
                                   QC_Ptr<QR_RenderContext>& backendContext)
    : QR_Renderer(settings), constants(constantSet), currentContext(backendContext)
{
    if (settings.isolatedShaderCompiles)
        QP_SetShaderCompilerIsolation(true);
    QP_FactoryOptions options;
    options.headless = settings.headless;
    QP_CreateFactory(options, &factory);
}

QR_Renderer_DX10::QR_Renderer_DX10(const QR_RendererSettings& settings)
    : QR_Renderer_DX10(settings, QR_Constants_DX10::set, g_currentContextDX10)
{
    // Every step is checked: a missing adapter, output or description is fatal.
    QC_Ptr<QP_Adapter> adapter;
    if (!factory || QP_Failed(factory->EnumAdapters(0, &adapter)))
        QC_FATAL("Failed to enumerator adapters.");
    QC_Ptr<QP_Output> output;
    if (QP_Failed(adapter->EnumOutputs(0, &output)))
        QC_FATAL("Failed to enumerator outputs.");
    QP_AdapterDesc adapterDesc;
    if (QP_Failed(adapter->GetDesc(&adapterDesc)))
        QC_FATAL("Failed to get adapter description.");
    if (QP_Failed(QP_CreateDevice(adapter.Get(), QP_DRIVER_TYPE_HARDWARE, 0, &device, &deviceContext)))
        QC_FATAL("Unable to create D3D10 device.");
    StartRenderContext(new QR_RenderContext_DX10(this, constants, deviceContext.Get(), CreateTimestampQuery().Get()));

    // Interlaced modes included; nothing is filtered, sorted or merged.
    std::uint32_t modeCount = 0;
    if (QP_Failed(output->GetDisplayModeList(QP_FORMAT_R8G8B8A8_UNORM, QP_ENUM_MODES_INTERLACED, &modeCount, nullptr)))
        QC_FATAL("Unable to get display mode list.");
    std::vector<QP_ModeDesc> modes(modeCount);
    if (modeCount > 0 &&
        QP_Failed(output->GetDisplayModeList(QP_FORMAT_R8G8B8A8_UNORM, QP_ENUM_MODES_INTERLACED, &modeCount, modes.data())))
        QC_FATAL("Unable to get display mode list.");
    displayModes.reserve(modeCount);
    for (std::uint32_t i = 0; i < modeCount; ++i)
        displayModes.push_back(QC_Ptr<QR_DisplayMode>(new QR_DisplayMode_DX10(modes[i])));
}

QR_Renderer_DX10::~QR_Renderer_DX10()
{
    displayModes.clear();
    // The current context is let go with the renderer, so no process-wide reference keeps a
    // device alive past it; a context someone still holds stops counting triangles.
    currentContext = nullptr;
    if (renderContext)
        renderContext->ForgetRenderer();
    renderContext = nullptr;
}

QC_Ptr<QP_Query> QR_Renderer_DX10::CreateTimestampQuery()
{
    QP_QueryDesc queryDesc;
    queryDesc.query = QP_QUERY_TIMESTAMP;
    queryDesc.miscFlags = 0;
    QC_Ptr<QP_Query> query;
    device->CreateQuery(&queryDesc, &query);
    return query;
}

void QR_Renderer_DX10::StartRenderContext(QR_RenderContext_DX10* context)
{
    renderContext = context;
    currentContext = renderContext;
}

// --- states --------------------------------------------------------------------------------------
QC_Ptr<QR_BlendState> QR_Renderer_DX10::CreateBlendState(const QR_BlendDesc& desc)
{
    // One set of factors, taken from entry 0; the entries only give their enables. Every
    // entry's write mask is checked, blending on or off.
    QP_BlendDesc platformDesc;
    platformDesc.alphaToCoverageEnable = desc.alphaToCoverage != 0;
    platformDesc.srcBlend = QR_Translate<QP_Blend>(constants.blend, desc.renderTargets[0].srcBlend);
    platformDesc.destBlend = QR_Translate<QP_Blend>(constants.blend, desc.renderTargets[0].destBlend);
    platformDesc.blendOp = QR_Translate<QP_BlendOp>(constants.blendOp, desc.renderTargets[0].blendOp);
    platformDesc.srcBlendAlpha = QR_Translate<QP_Blend>(constants.blend, desc.renderTargets[0].srcBlendAlpha);
    platformDesc.destBlendAlpha = QR_Translate<QP_Blend>(constants.blend, desc.renderTargets[0].destBlendAlpha);
    platformDesc.blendOpAlpha = QR_Translate<QP_BlendOp>(constants.blendOp, desc.renderTargets[0].blendOpAlpha);
    for (std::uint32_t i = 0; i < QR_RENDER_TARGET_SLOTS; ++i) {
        platformDesc.blendEnable[i] = desc.renderTargets[i].blendEnable != 0;
        platformDesc.renderTargetWriteMask[i] = QR_Translate<std::uint8_t>(constants.writeMask, desc.renderTargets[i].writeMask);
    }
    QC_Ptr<QR_BlendState_DX10> state(new QR_BlendState_DX10());
    if (QP_Failed(device->CreateBlendState(&platformDesc, &state->platformState)))
        QC_FATAL("Failed to create blend state.");
    return state;
}

QC_Ptr<QR_DepthStencilState> QR_Renderer_DX10::CreateDepthStencilState(const QR_DepthStencilDesc& desc)
{
    QP_DepthStencilDesc platformDesc;
    platformDesc.depthEnable = desc.depthEnable != 0;
    platformDesc.depthWriteMask = desc.depthWrite ? QP_DEPTH_WRITE_MASK_ALL : QP_DEPTH_WRITE_MASK_ZERO;
    platformDesc.depthFunc = QR_Translate<QP_ComparisonFunc>(constants.comparisonFunc, desc.depthFunc);
    platformDesc.stencilEnable = desc.stencilEnable != 0;
    platformDesc.stencilReadMask = desc.stencilReadMask;
    platformDesc.stencilWriteMask = desc.stencilWriteMask;
    platformDesc.frontFace.stencilFailOp = QR_Translate<QP_StencilOp>(constants.stencilOp, desc.frontStencilFailOp);
    platformDesc.frontFace.stencilDepthFailOp = QR_Translate<QP_StencilOp>(constants.stencilOp, desc.frontStencilDepthFailOp);
    platformDesc.frontFace.stencilPassOp = QR_Translate<QP_StencilOp>(constants.stencilOp, desc.frontStencilPassOp);
    platformDesc.frontFace.stencilFunc = QR_Translate<QP_ComparisonFunc>(constants.comparisonFunc, desc.frontStencilFunc);
    platformDesc.backFace.stencilFailOp = QR_Translate<QP_StencilOp>(constants.stencilOp, desc.backStencilFailOp);
    platformDesc.backFace.stencilDepthFailOp = QR_Translate<QP_StencilOp>(constants.stencilOp, desc.backStencilDepthFailOp);
    platformDesc.backFace.stencilPassOp = QR_Translate<QP_StencilOp>(constants.stencilOp, desc.backStencilPassOp);
    platformDesc.backFace.stencilFunc = QR_Translate<QP_ComparisonFunc>(constants.comparisonFunc, desc.backStencilFunc);
    QC_Ptr<QR_DepthStencilState_DX10> state(new QR_DepthStencilState_DX10());
    if (QP_Failed(device->CreateDepthStencilState(&platformDesc, &state->platformState)))
        QC_FATAL("Failed to create depth stencil state.");
    return state;
}

QC_Ptr<QR_RasteriserState> QR_Renderer_DX10::CreateRasteriserState(const QR_RasteriserDesc& desc)
{
    QP_RasterizerDesc platformDesc;
    platformDesc.fillMode = QR_Translate<QP_FillMode>(constants.fillMode, desc.fillMode);
    platformDesc.cullMode = QR_Translate<QP_CullMode>(constants.cullMode, desc.cullMode);
    platformDesc.frontCounterClockwise = desc.frontCounterClockwise != 0;
    platformDesc.depthBias = desc.depthBias;
    platformDesc.depthBiasClamp = desc.depthBiasClamp;
    platformDesc.slopeScaledDepthBias = desc.slopeScaledDepthBias;
    platformDesc.depthClipEnable = desc.depthClip != 0;
    platformDesc.scissorEnable = desc.scissor != 0;
    platformDesc.multisampleEnable = desc.multisample != 0;
    platformDesc.antialiasedLineEnable = desc.antialiasedLine != 0;
    QC_Ptr<QR_RasteriserState_DX10> state(new QR_RasteriserState_DX10());
    if (QP_Failed(device->CreateRasterizerState(&platformDesc, &state->platformState)))
        QC_FATAL("Failed to create raster state.");
    return state;
}

QC_Ptr<QR_SamplerState> QR_Renderer_DX10::CreateSamplerState(const QR_SamplerDesc& desc)
{
    QP_SamplerDesc platformDesc;
    platformDesc.filter = QR_Translate<QP_Filter>(constants.filter, desc.filter);
    platformDesc.addressU = QR_Translate<QP_TextureAddressMode>(constants.textureAddress, desc.addressU);
    platformDesc.addressV = QR_Translate<QP_TextureAddressMode>(constants.textureAddress, desc.addressV);
    platformDesc.addressW = QR_Translate<QP_TextureAddressMode>(constants.textureAddress, desc.addressW);
    platformDesc.mipLodBias = desc.mipLodBias;
    platformDesc.maxAnisotropy = desc.maxAnisotropy;
    platformDesc.comparisonFunc = QR_Translate<QP_ComparisonFunc>(constants.comparisonFunc, desc.comparisonFunc);
    for (int i = 0; i < 4; ++i)
        platformDesc.borderColor[i] = desc.borderColour[i];
    platformDesc.minLod = desc.minLod;
    platformDesc.maxLod = desc.maxLod;
    QC_Ptr<QR_SamplerState_DX10> state(new QR_SamplerState_DX10());
    if (QP_Failed(device->CreateSamplerState(&platformDesc, &state->platformState)))
        QC_FATAL("Failed to create sampler state.");
    return state;
}

// --- buffers -------------------------------------------------------------------------------------
namespace {
// A platform buffer of size bytes (a 64-bit count: element size x count must not wrap), or
// empty when the size does not fit the platform's 32 bits or the platform refuses. A dynamic
// buffer is the one the CPU writes.
QC_Ptr<QP_Buffer> MakeBuffer(QP_Device* device, QP_Usage usage, std::uint64_t size, std::uint32_t bindFlags,
                             const void* initialData)
{
    QC_Ptr<QP_Buffer> buffer;
    if (size > std::numeric_limits<std::uint32_t>::max())
        return buffer;
    QP_BufferDesc desc;
    desc.byteWidth = static_cast<std::uint32_t>(size);
    desc.usage = usage;
    desc.bindFlags = bindFlags;
    desc.cpuAccessFlags = usage == QP_USAGE_DYNAMIC ? std::uint32_t{QP_CPU_ACCESS_WRITE} : 0u;
    desc.miscFlags = 0;
    QP_SubresourceData data;
    data.sysMem = initialData;
    if (QP_Failed(device->CreateBuffer(&desc, initialData ? &data : nullptr, &buffer)))
        buffer = nullptr;
    return buffer;
}
} // namespace

QC_Ptr<QR_ConstantBuffer> QR_Renderer_DX10::CreateConstantBuffer(QR_Usage usage, std::uint32_t size,
                                                                 const void* initialData)
{
    const QP_Usage platformUsage = QR_Translate<QP_Usage>(constants.usage, usage);
    QC_Ptr<QR_ConstantBuffer_DX10> buffer(new QR_ConstantBuffer_DX10());
    buffer->platformBuffer = MakeBuffer(device.Get(), platformUsage, size, QP_BIND_CONSTANT_BUFFER, initialData);
    if (!buffer->platformBuffer)
        QC_FATAL("Failed to create buffer.");
    return buffer;
}

QC_Ptr<QR_IndexBuffer> QR_Renderer_DX10::CreateIndexBuffer(QR_Usage usage, std::uint32_t bytesPerIndex,
                                                           std::uint32_t indexCount, const void* initialData)
{
    const QP_Usage platformUsage = QR_Translate<QP_Usage>(constants.usage, usage);
    QC_Ptr<QR_IndexBuffer_DX10> buffer(new QR_IndexBuffer_DX10());
    buffer->platformBuffer = MakeBuffer(device.Get(), platformUsage, std::uint64_t(bytesPerIndex) * indexCount,
                                        QP_BIND_INDEX_BUFFER, initialData);
    if (!buffer->platformBuffer)
        QC_ERROR("Failed to create buffer.");
    return buffer;
}

QC_Ptr<QR_VertexBuffer> QR_Renderer_DX10::CreateVertexBuffer(QR_Usage usage, std::uint32_t stride,
                                                             std::uint32_t vertexCount, const void* initialData)
{
    const QP_Usage platformUsage = QR_Translate<QP_Usage>(constants.usage, usage);
    QC_Ptr<QR_VertexBuffer_DX10> buffer(new QR_VertexBuffer_DX10());
    buffer->stride = stride;
    buffer->platformBuffer = MakeBuffer(device.Get(), platformUsage, std::uint64_t(stride) * vertexCount,
                                        QP_BIND_VERTEX_BUFFER, initialData);
    if (!buffer->platformBuffer)
        QC_ERROR("Failed to create buffer.");
    return buffer;
}

// --- geometry ------------------------------------------------------------------------------------
QC_Ptr<QR_GeometryState> QR_Renderer_DX10::CreateGeometryState(QR_Primitive primitive, QR_VertexBuffer* vertexBuffer,
                                                               QR_IndexBuffer* indexBuffer)
{
    const QP_PrimitiveTopology topology = QR_Translate<QP_PrimitiveTopology>(constants.primitive, primitive);
    QC_Ptr<QR_GeometryState_DX10> state(new QR_GeometryState_DX10());
    state->topology = topology;
    state->vertexBuffer = vertexBuffer;
    state->indexBuffer = indexBuffer;
    return state;
}

// --- textures and render targets -----------------------------------------------------------------
QC_Ptr<QR_Texture2D> QR_Renderer_DX10::CreateTexture(const QP_Texture2DDesc& desc, const QP_ShaderResourceViewDesc* view)
{
    QC_Ptr<QR_Texture2D_DX10> texture(new QR_Texture2D_DX10());
    texture->width = desc.width;
    texture->height = desc.height;
    texture->format = desc.format;
    if (QP_Failed(device->CreateTexture2D(&desc, nullptr, &texture->platformTexture)))
        QC_FATAL("Failed to create texture.");
    if (QP_Failed(device->CreateShaderResourceView(texture->platformTexture.Get(), view, &texture->shaderResourceView)))
        QC_FATAL("Failed to create shader resource view.");
    return texture;
}

QC_Ptr<QR_Texture2D> QR_Renderer_DX10::CreateTexture2D(std::uint32_t width, std::uint32_t height)
{
    return CreateTexture(QR_Texture2DDescription_DX10(width, height, QP_FORMAT_R8G8B8A8_UNORM, QP_BIND_SHADER_RESOURCE),
                         nullptr);
}

QC_Ptr<QR_Texture2D> QR_Renderer_DX10::CreateTargetTexture(std::uint32_t width, std::uint32_t height)
{
    QP_ShaderResourceViewDesc viewDesc;
    viewDesc.format = QP_FORMAT_R32G32B32A32_FLOAT;
    viewDesc.viewDimension = QP_SRV_DIMENSION_TEXTURE2D;
    viewDesc.mostDetailedMip = 0;
    viewDesc.mipLevels = 1;
    return CreateTexture(QR_Texture2DDescription_DX10(width, height, viewDesc.format,
                                                      QP_BIND_SHADER_RESOURCE | QP_BIND_RENDER_TARGET),
                         &viewDesc);
}

QC_Ptr<QP_RenderTargetView> QR_Renderer_DX10::CreateTargetView(QR_Texture2D* texture)
{
    QP_RenderTargetViewDesc viewDesc;
    viewDesc.format = QP_FORMAT_R32G32B32A32_FLOAT;
    viewDesc.viewDimension = QP_RTV_DIMENSION_TEXTURE2D;
    viewDesc.mipSlice = 0;
    QC_Ptr<QP_RenderTargetView> view;
    if (QP_Failed(device->CreateRenderTargetView(static_cast<QR_Texture2D_DX10*>(texture)->platformTexture.Get(),
                                                 &viewDesc, &view)))
        QC_FATAL("Failed to create render target view.");
    return view;
}

QC_Ptr<QR_RenderTarget> QR_Renderer_DX10::CreateRenderTarget(std::uint32_t width, std::uint32_t height)
{
    QC_Ptr<QR_RenderTarget_DX10> target(new QR_RenderTarget_DX10());
    target->texture = CreateTargetTexture(width, height);
    target->width = width;
    target->height = height;
    target->renderTargetView = CreateTargetView(target->texture.Get());
    target->depthStencilView = QR_CreateDepthStencil_DX10(device.Get(), width, height);
    return target;
}

// --- shaders -------------------------------------------------------------------------------------
QC_Ptr<QR_VertexShader> QR_Renderer_DX10::CreateVertexShader(const QC_StringBase& source, QP_Include* include,
                                                             const char* sourceName)
{
    QC_Ptr<QR_VertexShader_DX10> shader(new QR_VertexShader_DX10());
    QR_ShaderParser parser;
    parser.Parse(source, sourceName);
    QC_String text;
    QR_ShaderGenerator_HLSL::GenerateVertexShader(parser.Description(), text);
    // The layout is built whatever becomes of the stage itself.
    QC_Ptr<QR_InputLayout_DX10> layout(new QR_InputLayout_DX10());
    layout->Build(device.Get(), parser.Description().vertexStage.inputs, constants.vertexProfile, sourceName,
                  parser.Description().vertexStage.PlaceLine());
    shader->Compile(device.Get(), text, sourceName, parser.Description().vertexStage.PlaceLine(), include,
                    layout.Get(), constants.vertexProfile);
    if (!shader->platformShader)
        return nullptr;
    return shader;
}

QC_Ptr<QR_PixelShader> QR_Renderer_DX10::CreatePixelShader(const QC_StringBase& source, QP_Include* include,
                                                           const char* sourceName)
{
    QC_Ptr<QR_PixelShader_DX10> shader(new QR_PixelShader_DX10());
    QR_ShaderParser parser;
    parser.Parse(source, sourceName);
    QC_String text;
    QR_ShaderGenerator_HLSL::GeneratePixelShader(parser.Description(), text);
    shader->Compile(device.Get(), text, sourceName, parser.Description().pixelStage.PlaceLine(), include,
                    constants.pixelProfile);
    if (!shader->platformShader)
        return nullptr;
    return shader;
}

QC_Ptr<QR_ShaderState> QR_Renderer_DX10::CreateShaderState(QR_VertexShader* vertexShader, QR_PixelShader* pixelShader)
{
    return QC_Ptr<QR_ShaderState>(new QR_ShaderState_DX10(vertexShader, pixelShader));
}

// --- swap chains ---------------------------------------------------------------------------------
QC_Ptr<QR_SwapChain> QR_Renderer_DX10::CreateSwapChain(QP_NativeWindow* window, QR_DisplayMode* mode, bool windowed,
                                                       bool vsync)
{
    QC_ASSERT(mode, "CreateSwapChain needs a display mode.");
    QC_Ptr<QR_SwapChain_DX10> swapChain(
        new QR_SwapChain_DX10(factory.Get(), device.Get()));
    swapChain->CreateForMode(window, *mode, windowed, vsync);
    return swapChain;
}

QC_Ptr<QR_SwapChain> QR_Renderer_DX10::CreateSwapChain(QP_NativeWindow* window)
{
    QC_Ptr<QR_SwapChain_DX10> swapChain(
        new QR_SwapChain_DX10(factory.Get(), device.Get()));
    swapChain->CreateForWindow(window);
    return swapChain;
}

QC_Ptr<QR_SwapChain> QR_Renderer_DX10::CreateSwapChain(std::uint32_t width, std::uint32_t height)
{
    QC_Ptr<QR_SwapChain_DX10> swapChain(
        new QR_SwapChain_DX10(factory.Get(), device.Get()));
    swapChain->CreateHeadless(width, height);
    return swapChain;
}

// --- render context and display modes ------------------------------------------------------------
QC_Ptr<QR_RenderContext> QR_Renderer_DX10::GetRenderContext() { return currentContext; }

void QR_Renderer_DX10::SetRenderContext(QR_RenderContext* context) { currentContext = context; }

void QR_Renderer_DX10::GetDisplayModes(QR_DisplayModeList& modes)
{
    if (&modes == &displayModes)
        return;
    modes.clear();
    modes.reserve(displayModes.size());
    for (const QC_Ptr<QR_DisplayMode>& mode : displayModes)
        modes.push_back(mode);
}
