#include "qr/QR_Constants_DX11.h"

#include "qr/QR_Constants_DX10.h"

#define QR_LOOKUP(table, value) QR_TranslateConstant(table, static_cast<std::int32_t>(value), __FILE__, __LINE__)

namespace {
// Only Add and Subtract.
const std::int32_t blendOpValues[] = {QP_BLEND_OP_ADD, QP_BLEND_OP_SUBTRACT};
static_assert(sizeof(blendOpValues) / sizeof(blendOpValues[0]) == static_cast<int>(QR_BlendOp::Subtract) + 1);

// Only Point and Anisotropic.
const std::int32_t filterValues[] = {QP_FILTER_MIN_MAG_MIP_POINT, QP_FILTER_ANISOTROPIC};
static_assert(sizeof(filterValues) / sizeof(filterValues[0]) == static_cast<int>(QR_Filter::Anisotropic) + 1);

QP_Blend Blend(QR_Blend value) { return static_cast<QP_Blend>(QR_LOOKUP(QR_Constants_DX10::blend, value)); }
QP_BlendOp BlendOp(QR_BlendOp value) { return static_cast<QP_BlendOp>(QR_LOOKUP(QR_Constants_DX11::blendOp, value)); }
std::uint8_t WriteMask(std::int32_t value)
{
    return static_cast<std::uint8_t>(QR_LOOKUP(QR_Constants_DX10::writeMask, value));
}
QP_ComparisonFunc ComparisonFunc(QR_ComparisonFunc value)
{
    return static_cast<QP_ComparisonFunc>(QR_LOOKUP(QR_Constants_DX10::comparisonFunc, value));
}
QP_StencilOp StencilOp(QR_StencilOp value)
{
    return static_cast<QP_StencilOp>(QR_LOOKUP(QR_Constants_DX10::stencilOp, value));
}
QP_CullMode CullMode(QR_CullMode value) { return static_cast<QP_CullMode>(QR_LOOKUP(QR_Constants_DX10::cullMode, value)); }
QP_FillMode FillMode(QR_FillMode value) { return static_cast<QP_FillMode>(QR_LOOKUP(QR_Constants_DX10::fillMode, value)); }
QP_Filter Filter(QR_Filter value) { return static_cast<QP_Filter>(QR_LOOKUP(QR_Constants_DX11::filter, value)); }
QP_TextureAddressMode TextureAddress(QR_TextureAddress value)
{
    return static_cast<QP_TextureAddressMode>(QR_LOOKUP(QR_Constants_DX10::textureAddress, value));
}
QR_PlatformUsage Usage(QR_Usage value)
{
    const QP_Usage usage = static_cast<QP_Usage>(QR_LOOKUP(QR_Constants_DX10::usage, value));
    return {usage, usage == QP_USAGE_DYNAMIC ? std::uint32_t{QP_CPU_ACCESS_WRITE} : 0u};
}
QP_PrimitiveTopology Primitive(QR_Primitive value)
{
    return static_cast<QP_PrimitiveTopology>(QR_LOOKUP(QR_Constants_DX10::primitive, value));
}
QP_Map VertexAccess(QR_Access value) { return static_cast<QP_Map>(QR_LOOKUP(QR_Constants_DX10::vertexAccess, value)); }
QP_Map IndexAccess(QR_Access value) { return static_cast<QP_Map>(QR_LOOKUP(QR_Constants_DX10::indexAccess, value)); }
} // namespace

const QR_ConstantTable QR_Constants_DX11::blendOp = {blendOpValues, 2, "Unkown blend op %d."};
const QR_ConstantTable QR_Constants_DX11::filter = {filterValues, 2, "Unknown filter %d."};

const QR_ConstantSet QR_Constants_DX11::set = {
    Blend,   BlendOp,   WriteMask,    ComparisonFunc, StencilOp,  CullMode, FillMode, Filter,
    TextureAddress, Usage, Primitive, VertexAccess, IndexAccess, "vs_5_0", "ps_5_0",
};
