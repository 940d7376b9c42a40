#pragma once
// The vocabulary of the graphics device: enumerations and description records in
// the numbering of Direct3D 10/11 and DXGI, so the renderer's translation tables produce the
// numbers it would hand to those interfaces and this layer maps them to OpenGL.
//
// These are our own declarations with the same numeric values; no platform header is included
// here or anywhere above frame/qp. Only the values the layer implements are listed; a number that
// is not listed is refused by the creating operation with QP_E_INVALIDARG and a log line.

#include "QP_Result.h"

#include <cstdint>

// --- formats (DXGI_FORMAT) -------------------------------------------------------------------
enum QP_Format : std::int32_t
{
    QP_FORMAT_UNKNOWN = 0,
    QP_FORMAT_R32G32B32A32_FLOAT = 2,
    QP_FORMAT_R32G32B32_FLOAT = 6,
    QP_FORMAT_R32G32_FLOAT = 16,
    QP_FORMAT_R8G8B8A8_UNORM = 28,
    QP_FORMAT_R32_FLOAT = 41,
    QP_FORMAT_R32_UINT = 42,
    QP_FORMAT_D24_UNORM_S8_UINT = 45,
    QP_FORMAT_R16_UINT = 57,
};

enum QP_ModeScanlineOrder : std::int32_t
{
    QP_MODE_SCANLINE_ORDER_UNSPECIFIED = 0,
    QP_MODE_SCANLINE_ORDER_PROGRESSIVE = 1,
    QP_MODE_SCANLINE_ORDER_UPPER_FIELD_FIRST = 2,
    QP_MODE_SCANLINE_ORDER_LOWER_FIELD_FIRST = 3,
};

enum QP_ModeScaling : std::int32_t
{
    QP_MODE_SCALING_UNSPECIFIED = 0,
    QP_MODE_SCALING_CENTERED = 1,
    QP_MODE_SCALING_STRETCHED = 2,
};

constexpr std::uint32_t QP_ENUM_MODES_INTERLACED = 1;
constexpr std::uint32_t QP_ENUM_MODES_SCALING = 2;

struct QP_Rational
{
    std::uint32_t numerator = 0;
    std::uint32_t denominator = 0;
};

struct QP_ModeDesc
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    QP_Rational refreshRate;
    QP_Format format = QP_FORMAT_UNKNOWN;
    QP_ModeScanlineOrder scanlineOrdering = QP_MODE_SCANLINE_ORDER_UNSPECIFIED;
    QP_ModeScaling scaling = QP_MODE_SCALING_UNSPECIFIED;
};

struct QP_SampleDesc
{
    std::uint32_t count = 1;
    std::uint32_t quality = 0;
};

// --- resources -------------------------------------------------------------------------------
enum QP_Usage : std::int32_t
{
    QP_USAGE_DEFAULT = 0,
    QP_USAGE_IMMUTABLE = 1,
    QP_USAGE_DYNAMIC = 2,
    QP_USAGE_STAGING = 3,
};

enum QP_BindFlag : std::uint32_t
{
    QP_BIND_VERTEX_BUFFER = 0x1,
    QP_BIND_INDEX_BUFFER = 0x2,
    QP_BIND_CONSTANT_BUFFER = 0x4,
    QP_BIND_SHADER_RESOURCE = 0x8,
    QP_BIND_STREAM_OUTPUT = 0x10,
    QP_BIND_RENDER_TARGET = 0x20,
    QP_BIND_DEPTH_STENCIL = 0x40,
};

enum QP_CpuAccessFlag : std::uint32_t
{
    QP_CPU_ACCESS_WRITE = 0x10000,
    QP_CPU_ACCESS_READ = 0x20000,
};

enum QP_Map : std::int32_t
{
    QP_MAP_READ = 1,
    QP_MAP_WRITE = 2,
    QP_MAP_READ_WRITE = 3,
    QP_MAP_WRITE_DISCARD = 4,
    QP_MAP_WRITE_NO_OVERWRITE = 5,
};

// Buffers read by shaders: a structured buffer (StructuredBuffer<T>, elements of
// structureByteStride bytes) or one that allows raw views (ByteAddressBuffer).
enum QP_ResourceMiscFlag : std::uint32_t
{
    QP_RESOURCE_MISC_BUFFER_ALLOW_RAW_VIEWS = 0x20,
    QP_RESOURCE_MISC_BUFFER_STRUCTURED = 0x40,
};

struct QP_BufferDesc
{
    std::uint32_t byteWidth = 0;
    QP_Usage usage = QP_USAGE_DEFAULT;
    std::uint32_t bindFlags = 0;
    std::uint32_t cpuAccessFlags = 0;
    std::uint32_t miscFlags = 0;
    std::uint32_t structureByteStride = 0;
};

struct QP_SubresourceData
{
    const void* sysMem = nullptr;
    std::uint32_t sysMemPitch = 0;
    std::uint32_t sysMemSlicePitch = 0;
};

struct QP_MappedSubresource
{
    void* data = nullptr;
    std::uint32_t rowPitch = 0;
    std::uint32_t depthPitch = 0;
};

struct QP_Texture2DDesc
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t mipLevels = 1;
    std::uint32_t arraySize = 1;
    QP_Format format = QP_FORMAT_UNKNOWN;
    QP_SampleDesc sampleDesc;
    QP_Usage usage = QP_USAGE_DEFAULT;
    std::uint32_t bindFlags = 0;
    std::uint32_t cpuAccessFlags = 0;
    std::uint32_t miscFlags = 0;
};

struct QP_Box
{
    std::uint32_t left = 0;
    std::uint32_t top = 0;
    std::uint32_t front = 0;
    std::uint32_t right = 0;
    std::uint32_t bottom = 0;
    std::uint32_t back = 1;
};

// --- views -----------------------------------------------------------------------------------
enum QP_SrvDimension : std::int32_t
{
    QP_SRV_DIMENSION_UNKNOWN = 0,
    QP_SRV_DIMENSION_BUFFER = 1,
    QP_SRV_DIMENSION_TEXTURE2D = 4,
    QP_SRV_DIMENSION_BUFFEREX = 11,
};

// bufferFlags of a QP_SRV_DIMENSION_BUFFEREX view: 4-byte elements, as a ByteAddressBuffer reads.
constexpr std::uint32_t QP_BUFFEREX_SRV_FLAG_RAW = 0x1;

enum QP_RtvDimension : std::int32_t
{
    QP_RTV_DIMENSION_UNKNOWN = 0,
    QP_RTV_DIMENSION_TEXTURE2D = 4,
};

enum QP_DsvDimension : std::int32_t
{
    QP_DSV_DIMENSION_UNKNOWN = 0,
    QP_DSV_DIMENSION_TEXTURE2D = 3,
};

struct QP_ShaderResourceViewDesc
{
    QP_Format format = QP_FORMAT_UNKNOWN;
    QP_SrvDimension viewDimension = QP_SRV_DIMENSION_TEXTURE2D;
    std::uint32_t mostDetailedMip = 0;
    std::uint32_t mipLevels = 1;
    // Buffer views: the elements seen (structures, or 4-byte words of a raw view).
    std::uint32_t firstElement = 0;
    std::uint32_t numElements = 0;
    std::uint32_t bufferFlags = 0;
};

struct QP_RenderTargetViewDesc
{
    QP_Format format = QP_FORMAT_UNKNOWN;
    QP_RtvDimension viewDimension = QP_RTV_DIMENSION_TEXTURE2D;
    std::uint32_t mipSlice = 0;
};

struct QP_DepthStencilViewDesc
{
    QP_Format format = QP_FORMAT_UNKNOWN;
    QP_DsvDimension viewDimension = QP_DSV_DIMENSION_TEXTURE2D;
    std::uint32_t flags = 0;
    std::uint32_t mipSlice = 0;
};

enum QP_ClearFlag : std::uint32_t
{
    QP_CLEAR_DEPTH = 0x1,
    QP_CLEAR_STENCIL = 0x2,
};

// --- input assembly --------------------------------------------------------------------------
enum QP_InputClassification : std::int32_t
{
    QP_INPUT_PER_VERTEX_DATA = 0,
    QP_INPUT_PER_INSTANCE_DATA = 1,
};

constexpr std::uint32_t QP_APPEND_ALIGNED_ELEMENT = 0xFFFFFFFFu;
constexpr std::uint32_t QP_INPUT_ASSEMBLER_SLOT_COUNT = 16;
constexpr std::uint32_t QP_MAX_INPUT_ELEMENTS = 16;

struct QP_InputElementDesc
{
    const char* semanticName = nullptr;
    std::uint32_t semanticIndex = 0;
    QP_Format format = QP_FORMAT_UNKNOWN;
    std::uint32_t inputSlot = 0;
    std::uint32_t alignedByteOffset = 0;
    QP_InputClassification inputSlotClass = QP_INPUT_PER_VERTEX_DATA;
    std::uint32_t instanceDataStepRate = 0;
};

enum QP_PrimitiveTopology : std::int32_t
{
    QP_PRIMITIVE_TOPOLOGY_UNDEFINED = 0,
    QP_PRIMITIVE_TOPOLOGY_POINTLIST = 1,
    QP_PRIMITIVE_TOPOLOGY_LINELIST = 2,
    QP_PRIMITIVE_TOPOLOGY_LINESTRIP = 3,
    QP_PRIMITIVE_TOPOLOGY_TRIANGLELIST = 4,
    QP_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP = 5,
};

// --- pipeline states -------------------------------------------------------------------------
enum QP_Blend : std::int32_t
{
    QP_BLEND_ZERO = 1,
    QP_BLEND_ONE = 2,
    QP_BLEND_SRC_COLOR = 3,
    QP_BLEND_INV_SRC_COLOR = 4,
    QP_BLEND_SRC_ALPHA = 5,
    QP_BLEND_INV_SRC_ALPHA = 6,
    QP_BLEND_DEST_ALPHA = 7,
    QP_BLEND_INV_DEST_ALPHA = 8,
    QP_BLEND_DEST_COLOR = 9,
    QP_BLEND_INV_DEST_COLOR = 10,
    QP_BLEND_SRC_ALPHA_SAT = 11,
    QP_BLEND_BLEND_FACTOR = 14,
    QP_BLEND_INV_BLEND_FACTOR = 15,
};

enum QP_BlendOp : std::int32_t
{
    QP_BLEND_OP_ADD = 1,
    QP_BLEND_OP_SUBTRACT = 2,
    QP_BLEND_OP_REV_SUBTRACT = 3,
    QP_BLEND_OP_MIN = 4,
    QP_BLEND_OP_MAX = 5,
};

enum QP_ColorWriteEnable : std::uint8_t
{
    QP_COLOR_WRITE_ENABLE_RED = 1,
    QP_COLOR_WRITE_ENABLE_GREEN = 2,
    QP_COLOR_WRITE_ENABLE_BLUE = 4,
    QP_COLOR_WRITE_ENABLE_ALPHA = 8,
    QP_COLOR_WRITE_ENABLE_ALL = 15,
};

constexpr std::uint32_t QP_SIMULTANEOUS_RENDER_TARGET_COUNT = 8;

// The Direct3D 10 record: one set of factors for every slot, per-slot enables and masks.
struct QP_BlendDesc
{
    bool alphaToCoverageEnable = false;
    bool blendEnable[QP_SIMULTANEOUS_RENDER_TARGET_COUNT] = {};
    QP_Blend srcBlend = QP_BLEND_ONE;
    QP_Blend destBlend = QP_BLEND_ZERO;
    QP_BlendOp blendOp = QP_BLEND_OP_ADD;
    QP_Blend srcBlendAlpha = QP_BLEND_ONE;
    QP_Blend destBlendAlpha = QP_BLEND_ZERO;
    QP_BlendOp blendOpAlpha = QP_BLEND_OP_ADD;
    std::uint8_t renderTargetWriteMask[QP_SIMULTANEOUS_RENDER_TARGET_COUNT] = {15, 15, 15, 15, 15, 15, 15, 15};
};

// The Direct3D 11 record: eight complete entries, entry 0 used for all unless independent.
struct QP_RenderTargetBlendDesc1
{
    bool blendEnable = false;
    QP_Blend srcBlend = QP_BLEND_ONE;
    QP_Blend destBlend = QP_BLEND_ZERO;
    QP_BlendOp blendOp = QP_BLEND_OP_ADD;
    QP_Blend srcBlendAlpha = QP_BLEND_ONE;
    QP_Blend destBlendAlpha = QP_BLEND_ZERO;
    QP_BlendOp blendOpAlpha = QP_BLEND_OP_ADD;
    std::uint8_t renderTargetWriteMask = QP_COLOR_WRITE_ENABLE_ALL;
};

struct QP_BlendDesc1
{
    bool alphaToCoverageEnable = false;
    bool independentBlendEnable = false;
    QP_RenderTargetBlendDesc1 renderTarget[QP_SIMULTANEOUS_RENDER_TARGET_COUNT];
};

enum QP_ComparisonFunc : std::int32_t
{
    QP_COMPARISON_NEVER = 1,
    QP_COMPARISON_LESS = 2,
    QP_COMPARISON_EQUAL = 3,
    QP_COMPARISON_LESS_EQUAL = 4,
    QP_COMPARISON_GREATER = 5,
    QP_COMPARISON_NOT_EQUAL = 6,
    QP_COMPARISON_GREATER_EQUAL = 7,
    QP_COMPARISON_ALWAYS = 8,
};

enum QP_StencilOp : std::int32_t
{
    QP_STENCIL_OP_KEEP = 1,
    QP_STENCIL_OP_ZERO = 2,
    QP_STENCIL_OP_REPLACE = 3,
    QP_STENCIL_OP_INCR_SAT = 4,
    QP_STENCIL_OP_DECR_SAT = 5,
    QP_STENCIL_OP_INVERT = 6,
    QP_STENCIL_OP_INCR = 7,
    QP_STENCIL_OP_DECR = 8,
};

enum QP_DepthWriteMask : std::int32_t
{
    QP_DEPTH_WRITE_MASK_ZERO = 0,
    QP_DEPTH_WRITE_MASK_ALL = 1,
};

struct QP_DepthStencilOpDesc
{
    QP_StencilOp stencilFailOp = QP_STENCIL_OP_KEEP;
    QP_StencilOp stencilDepthFailOp = QP_STENCIL_OP_KEEP;
    QP_StencilOp stencilPassOp = QP_STENCIL_OP_KEEP;
    QP_ComparisonFunc stencilFunc = QP_COMPARISON_ALWAYS;
};

struct QP_DepthStencilDesc
{
    bool depthEnable = true;
    QP_DepthWriteMask depthWriteMask = QP_DEPTH_WRITE_MASK_ALL;
    QP_ComparisonFunc depthFunc = QP_COMPARISON_LESS;
    bool stencilEnable = false;
    std::uint8_t stencilReadMask = 0xFF;
    std::uint8_t stencilWriteMask = 0xFF;
    QP_DepthStencilOpDesc frontFace;
    QP_DepthStencilOpDesc backFace;
};

enum QP_FillMode : std::int32_t
{
    QP_FILL_WIREFRAME = 2,
    QP_FILL_SOLID = 3,
};

enum QP_CullMode : std::int32_t
{
    QP_CULL_NONE = 1,
    QP_CULL_FRONT = 2,
    QP_CULL_BACK = 3,
};

struct QP_RasterizerDesc
{
    QP_FillMode fillMode = QP_FILL_SOLID;
    QP_CullMode cullMode = QP_CULL_BACK;
    bool frontCounterClockwise = false;
    std::int32_t depthBias = 0;
    float depthBiasClamp = 0.0f;
    float slopeScaledDepthBias = 0.0f;
    bool depthClipEnable = true;
    bool scissorEnable = false;
    bool multisampleEnable = false;
    bool antialiasedLineEnable = false;
};

// Filters are bit fields: mip linear 0x1, mag linear 0x4, min linear 0x10, anisotropic 0x40
// (with all three linear bits), comparison 0x80.
enum QP_Filter : std::int32_t
{
    QP_FILTER_MIN_MAG_MIP_POINT = 0x00,
    QP_FILTER_MIN_MAG_POINT_MIP_LINEAR = 0x01,
    QP_FILTER_MIN_POINT_MAG_LINEAR_MIP_POINT = 0x04,
    QP_FILTER_MIN_POINT_MAG_MIP_LINEAR = 0x05,
    QP_FILTER_MIN_LINEAR_MAG_MIP_POINT = 0x10,
    QP_FILTER_MIN_LINEAR_MAG_POINT_MIP_LINEAR = 0x11,
    QP_FILTER_MIN_MAG_LINEAR_MIP_POINT = 0x14,
    QP_FILTER_MIN_MAG_MIP_LINEAR = 0x15,
    QP_FILTER_ANISOTROPIC = 0x55,
    QP_FILTER_COMPARISON_MIN_MAG_MIP_POINT = 0x80,
    QP_FILTER_COMPARISON_MIN_MAG_MIP_LINEAR = 0x95,
    QP_FILTER_COMPARISON_ANISOTROPIC = 0xD5,
};

enum QP_TextureAddressMode : std::int32_t
{
    QP_TEXTURE_ADDRESS_WRAP = 1,
    QP_TEXTURE_ADDRESS_MIRROR = 2,
    QP_TEXTURE_ADDRESS_CLAMP = 3,
    QP_TEXTURE_ADDRESS_BORDER = 4,
    QP_TEXTURE_ADDRESS_MIRROR_ONCE = 5,
};

struct QP_SamplerDesc
{
    QP_Filter filter = QP_FILTER_MIN_MAG_MIP_LINEAR;
    QP_TextureAddressMode addressU = QP_TEXTURE_ADDRESS_CLAMP;
    QP_TextureAddressMode addressV = QP_TEXTURE_ADDRESS_CLAMP;
    QP_TextureAddressMode addressW = QP_TEXTURE_ADDRESS_CLAMP;
    float mipLodBias = 0.0f;
    std::uint32_t maxAnisotropy = 1;
    QP_ComparisonFunc comparisonFunc = QP_COMPARISON_NEVER;
    float borderColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float minLod = 0.0f;
    float maxLod = 3.402823466e+38f;
};

constexpr std::uint32_t QP_SHADER_RESOURCE_SLOT_COUNT = 16;
constexpr std::uint32_t QP_SAMPLER_SLOT_COUNT = 16;
constexpr std::uint32_t QP_CONSTANT_BUFFER_SLOT_COUNT = 14;
// Bytes of one constant buffer at most (4096 vectors of 16 bytes).
constexpr std::uint32_t QP_MAX_CONSTANT_BUFFER_BYTES = 4096 * 16;

// --- rasteriser output -----------------------------------------------------------------------
struct QP_Viewport
{
    float topLeftX = 0.0f;
    float topLeftY = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
    float minDepth = 0.0f;
    float maxDepth = 1.0f;
};

struct QP_Rect
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

constexpr std::uint32_t QP_VIEWPORT_AND_SCISSORRECT_COUNT = 16;

// --- queries ---------------------------------------------------------------------------------
enum QP_QueryType : std::int32_t
{
    QP_QUERY_EVENT = 0,
    QP_QUERY_OCCLUSION = 1,
    QP_QUERY_TIMESTAMP = 2,
    QP_QUERY_TIMESTAMP_DISJOINT = 3,
};

struct QP_QueryDesc
{
    QP_QueryType query = QP_QUERY_EVENT;
    std::uint32_t miscFlags = 0;
};

struct QP_QueryDataTimestampDisjoint
{
    std::uint64_t frequency = 0;
    bool disjoint = false;
};

// --- swap chains -----------------------------------------------------------------------------
// The output window (QP_NativeWindow, QP_Result.h) is one of the platform layer's own windows;
// a swap chain without a window is headless.
enum QP_SwapEffect : std::int32_t
{
    QP_SWAP_EFFECT_DISCARD = 0,
    QP_SWAP_EFFECT_SEQUENTIAL = 1,
};

constexpr std::uint32_t QP_USAGE_RENDER_TARGET_OUTPUT = 0x20;

struct QP_SwapChainDesc
{
    QP_ModeDesc bufferDesc;
    QP_SampleDesc sampleDesc;
    std::uint32_t bufferUsage = QP_USAGE_RENDER_TARGET_OUTPUT;
    std::uint32_t bufferCount = 1;
    QP_NativeWindow* outputWindow = nullptr;
    bool windowed = true;
    QP_SwapEffect swapEffect = QP_SWAP_EFFECT_DISCARD;
    std::uint32_t flags = 0;
};

// --- device ----------------------------------------------------------------------------------
enum QP_DriverType : std::int32_t
{
    QP_DRIVER_TYPE_UNKNOWN = 0,
    QP_DRIVER_TYPE_HARDWARE = 1,
};

enum QP_FeatureLevel : std::int32_t
{
    QP_FEATURE_LEVEL_10_0 = 0xA000,
    QP_FEATURE_LEVEL_10_1 = 0xA100,
    QP_FEATURE_LEVEL_11_0 = 0xB000,
};
