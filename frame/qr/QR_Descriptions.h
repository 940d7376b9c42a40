#pragma once
// The renderer's own vocabulary for resources and pipeline states: the enumerations, numbered
// independently of any platform, and the description records the renderer's Create operations
// take. Each backend translates these once, at creation, through its constant tables
// (QR_Constants_DX10, QR_Constants_DX11); a value outside a table is fatal there, with a message
// naming the enumeration.
//
//   QR_RasteriserDesc desc = {};
//   desc.cullMode = QR_CullMode::None;  desc.fillMode = QR_FillMode::Solid;  desc.depthClip = 1;
//   QC_Ptr<QR_RasteriserState> state = QR_GetRenderer()->CreateRasteriserState(desc);
//
// Enumerations are signed 32-bit and records may carry any number in them: a wrong value is
// reported by the backend, never silently mapped. Fields of type std::uint8_t are booleans
// (0 false, anything else true) unless they are masks.

#include <cstdint>

enum class QR_Blend : std::int32_t
{
    Zero = 0,
    One = 1,
    SrcColour = 2,
    InvSrcColour = 3,
    SrcAlpha = 4,
    InvSrcAlpha = 5,
    // 6 and 7 are not accepted.
    BlendFactor = 8,
};

enum class QR_BlendOp : std::int32_t
{
    Add = 0,
    Subtract = 1,
    // 2 and 3 are not accepted.
    Max = 4, // Direct3D 10 backend only
};

enum class QR_ComparisonFunc : std::int32_t
{
    Never = 0,
    Less = 1,
    Equal = 2,
    LessEqual = 3,
    Greater = 4,
    NotEqual = 5,
    GreaterEqual = 6,
    Always = 7,
};

enum class QR_StencilOp : std::int32_t
{
    Keep = 0,
    Zero = 1,
    Replace = 2,
    IncrSat = 3,
    DecrSat = 4,
    Invert = 5,
    Incr = 6,
    Decr = 7,
};

enum class QR_CullMode : std::int32_t
{
    None = 1,
    Front = 2,
    Back = 3,
};

enum class QR_FillMode : std::int32_t
{
    Solid = 1,
    Wireframe = 2,
};

enum class QR_Filter : std::int32_t
{
    Point = 0,
    Anisotropic = 1,
    Linear = 2, // Direct3D 10 backend only
};

enum class QR_TextureAddress : std::int32_t
{
    Wrap = 0,
    Mirror = 1,
    Clamp = 2,
    Border = 3,
    MirrorOnce = 4,
};

// Buffers.
enum class QR_Usage : std::int32_t
{
    Default = 1,
    Dynamic = 2,
};

// Geometry states.
enum class QR_Primitive : std::int32_t
{
    TriangleList = 3,
    TriangleStrip = 4,
};

// Mapping buffers through the render context. Constant buffers ignore it (always discard-write).
enum class QR_Access : std::int32_t
{
    Read = 1,
    Write = 2,
    ReadWrite = 3,
};

constexpr std::uint32_t QR_RENDER_TARGET_SLOTS = 8;

struct QR_RenderTargetBlendDesc
{
    std::uint8_t blendEnable;
    QR_Blend srcBlend;
    QR_Blend destBlend;
    QR_BlendOp blendOp;
    QR_Blend srcBlendAlpha;
    QR_Blend destBlendAlpha;
    QR_BlendOp blendOpAlpha;
    // Must be 0, which means all four channels are written.
    std::int32_t writeMask;
};

struct QR_BlendDesc
{
    std::uint8_t alphaToCoverage;
    // Read by the Direct3D 11 backend only.
    std::uint8_t independentBlend;
    QR_RenderTargetBlendDesc renderTargets[QR_RENDER_TARGET_SLOTS];
};

struct QR_DepthStencilDesc
{
    std::uint8_t depthEnable;
    std::uint8_t depthWrite;
    QR_ComparisonFunc depthFunc;
    std::uint8_t stencilEnable;
    std::uint8_t stencilReadMask;
    std::uint8_t stencilWriteMask;
    QR_StencilOp frontStencilFailOp;
    QR_StencilOp frontStencilDepthFailOp;
    QR_StencilOp frontStencilPassOp;
    QR_ComparisonFunc frontStencilFunc;
    QR_StencilOp backStencilFailOp;
    QR_StencilOp backStencilDepthFailOp;
    QR_StencilOp backStencilPassOp;
    QR_ComparisonFunc backStencilFunc;
};

// Fields in alphabetical order of their names.
struct QR_RasteriserDesc
{
    std::uint8_t antialiasedLine;
    QR_CullMode cullMode;
    std::int32_t depthBias;
    float depthBiasClamp;
    std::uint8_t depthClip;
    QR_FillMode fillMode;
    std::uint8_t frontCounterClockwise;
    std::uint8_t multisample;
    std::uint8_t scissor;
    float slopeScaledDepthBias;
};

struct QR_SamplerDesc
{
    QR_Filter filter;
    QR_TextureAddress addressU;
    QR_TextureAddress addressV;
    QR_TextureAddress addressW;
    float mipLodBias;
    std::uint32_t maxAnisotropy;
    QR_ComparisonFunc comparisonFunc;
    float borderColour[4];
    float minLod;
    float maxLod;
};
