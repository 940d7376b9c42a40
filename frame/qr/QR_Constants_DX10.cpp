#include "qr/QR_Constants_DX10.h"

// Each table is indexed by the enumeration's value; QR_REJECTED marks the gaps.
#define QR_TABLE(name, values, message) \
    const QR_ConstantTable QR_Constants_DX10::name = {values, static_cast<std::int32_t>(sizeof(values) / sizeof(values[0])), message}
#define QR_LOOKUP(table, value) QR_TranslateConstant(QR_Constants_DX10::table, static_cast<std::int32_t>(value), __FILE__, __LINE__)

namespace {
constexpr std::int32_t X = QR_REJECTED;

const std::int32_t blendValues[] = {QP_BLEND_ZERO,          QP_BLEND_ONE,       QP_BLEND_SRC_COLOR, QP_BLEND_INV_SRC_COLOR,
                                    QP_BLEND_SRC_ALPHA,     QP_BLEND_INV_SRC_ALPHA, X,              X,
                                    QP_BLEND_BLEND_FACTOR};
static_assert(sizeof(blendValues) / sizeof(blendValues[0]) == static_cast<int>(QR_Blend::BlendFactor) + 1);

const std::int32_t blendOpValues[] = {QP_BLEND_OP_ADD, QP_BLEND_OP_SUBTRACT, X, X, QP_BLEND_OP_MAX};
static_assert(sizeof(blendOpValues) / sizeof(blendOpValues[0]) == static_cast<int>(QR_BlendOp::Max) + 1);

const std::int32_t writeMaskValues[] = {QP_COLOR_WRITE_ENABLE_ALL};
static_assert(sizeof(writeMaskValues) / sizeof(writeMaskValues[0]) == 1);

const std::int32_t comparisonValues[] = {QP_COMPARISON_NEVER,     QP_COMPARISON_LESS,      QP_COMPARISON_EQUAL,
                                         QP_COMPARISON_LESS_EQUAL, QP_COMPARISON_GREATER,  QP_COMPARISON_NOT_EQUAL,
                                         QP_COMPARISON_GREATER_EQUAL, QP_COMPARISON_ALWAYS};
static_assert(sizeof(comparisonValues) / sizeof(comparisonValues[0]) == static_cast<int>(QR_ComparisonFunc::Always) + 1);

const std::int32_t stencilOpValues[] = {QP_STENCIL_OP_KEEP,     QP_STENCIL_OP_ZERO,   QP_STENCIL_OP_REPLACE,
                                        QP_STENCIL_OP_INCR_SAT, QP_STENCIL_OP_DECR_SAT, QP_STENCIL_OP_INVERT,
                                        QP_STENCIL_OP_INCR,     QP_STENCIL_OP_DECR};
static_assert(sizeof(stencilOpValues) / sizeof(stencilOpValues[0]) == static_cast<int>(QR_StencilOp::Decr) + 1);

const std::int32_t cullModeValues[] = {X, QP_CULL_NONE, QP_CULL_FRONT, QP_CULL_BACK};
static_assert(sizeof(cullModeValues) / sizeof(cullModeValues[0]) == static_cast<int>(QR_CullMode::Back) + 1);

const std::int32_t fillModeValues[] = {X, QP_FILL_SOLID, QP_FILL_WIREFRAME};
static_assert(sizeof(fillModeValues) / sizeof(fillModeValues[0]) == static_cast<int>(QR_FillMode::Wireframe) + 1);

const std::int32_t filterValues[] = {QP_FILTER_MIN_MAG_MIP_POINT, QP_FILTER_ANISOTROPIC, QP_FILTER_MIN_MAG_MIP_LINEAR};
static_assert(sizeof(filterValues) / sizeof(filterValues[0]) == static_cast<int>(QR_Filter::Linear) + 1);

const std::int32_t textureAddressValues[] = {QP_TEXTURE_ADDRESS_WRAP, QP_TEXTURE_ADDRESS_MIRROR, QP_TEXTURE_ADDRESS_CLAMP,
                                             QP_TEXTURE_ADDRESS_BORDER, QP_TEXTURE_ADDRESS_MIRROR_ONCE};
static_assert(sizeof(textureAddressValues) / sizeof(textureAddressValues[0]) ==
              static_cast<int>(QR_TextureAddress::MirrorOnce) + 1);

const std::int32_t usageValues[] = {X, QP_USAGE_DEFAULT, QP_USAGE_DYNAMIC};
static_assert(sizeof(usageValues) / sizeof(usageValues[0]) == static_cast<int>(QR_Usage::Dynamic) + 1);

const std::int32_t primitiveValues[] = {X, X, X, QP_PRIMITIVE_TOPOLOGY_TRIANGLELIST, QP_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP};
static_assert(sizeof(primitiveValues) / sizeof(primitiveValues[0]) == static_cast<int>(QR_Primitive::TriangleStrip) + 1);

const std::int32_t vertexAccessValues[] = {X, QP_MAP_READ, QP_MAP_WRITE_DISCARD, QP_MAP_READ_WRITE};
static_assert(sizeof(vertexAccessValues) / sizeof(vertexAccessValues[0]) == static_cast<int>(QR_Access::ReadWrite) + 1);

const std::int32_t indexAccessValues[] = {X, QP_MAP_READ, QP_MAP_WRITE_NO_OVERWRITE, QP_MAP_READ_WRITE};
static_assert(sizeof(indexAccessValues) / sizeof(indexAccessValues[0]) == static_cast<int>(QR_Access::ReadWrite) + 1);

QP_Blend Blend(QR_Blend value) { return static_cast<QP_Blend>(QR_LOOKUP(blend, value)); }
QP_BlendOp BlendOp(QR_BlendOp value) { return static_cast<QP_BlendOp>(QR_LOOKUP(blendOp, value)); }
std::uint8_t WriteMask(std::int32_t value) { return static_cast<std::uint8_t>(QR_LOOKUP(writeMask, value)); }
QP_ComparisonFunc ComparisonFunc(QR_ComparisonFunc value)
{
    return static_cast<QP_ComparisonFunc>(QR_LOOKUP(comparisonFunc, value));
}
QP_StencilOp StencilOp(QR_StencilOp value) { return static_cast<QP_StencilOp>(QR_LOOKUP(stencilOp, value)); }
QP_CullMode CullMode(QR_CullMode value) { return static_cast<QP_CullMode>(QR_LOOKUP(cullMode, value)); }
QP_FillMode FillMode(QR_FillMode value) { return static_cast<QP_FillMode>(QR_LOOKUP(fillMode, value)); }
QP_Filter Filter(QR_Filter value) { return static_cast<QP_Filter>(QR_LOOKUP(filter, value)); }
QP_TextureAddressMode TextureAddress(QR_TextureAddress value)
{
    return static_cast<QP_TextureAddressMode>(QR_LOOKUP(textureAddress, value));
}
QR_PlatformUsage Usage(QR_Usage value)
{
    const QP_Usage usage = static_cast<QP_Usage>(QR_LOOKUP(usage, value));
    return {usage, usage == QP_USAGE_DYNAMIC ? std::uint32_t{QP_CPU_ACCESS_WRITE} : 0u};
}
QP_PrimitiveTopology Primitive(QR_Primitive value)
{
    return static_cast<QP_PrimitiveTopology>(QR_LOOKUP(primitive, value));
}
QP_Map VertexAccess(QR_Access value) { return static_cast<QP_Map>(QR_LOOKUP(vertexAccess, value)); }
QP_Map IndexAccess(QR_Access value) { return static_cast<QP_Map>(QR_LOOKUP(indexAccess, value)); }
} // namespace

QR_TABLE(blend, blendValues, "Unkown blend %d.");
QR_TABLE(blendOp, blendOpValues, "Unkown blend op %d.");
QR_TABLE(writeMask, writeMaskValues, "Unkown write mask %d.");
QR_TABLE(comparisonFunc, comparisonValues, "Unknown comparison func %d.");
QR_TABLE(stencilOp, stencilOpValues, "Unknown stecil op %d.");
QR_TABLE(cullMode, cullModeValues, "Unknown cull mode %d.");
QR_TABLE(fillMode, fillModeValues, "Unknown fill mode %d.");
QR_TABLE(filter, filterValues, "Unknown filter %d.");
QR_TABLE(textureAddress, textureAddressValues, "Unknown texture address mode %d.");
QR_TABLE(usage, usageValues, "Unknown usage %d.");
QR_TABLE(primitive, primitiveValues, "Unknown primitive %d.");
QR_TABLE(vertexAccess, vertexAccessValues, "Unknown access %d.");
QR_TABLE(indexAccess, indexAccessValues, "Unknown access %d.");

const QR_ConstantSet QR_Constants_DX10::set = {
    Blend,   BlendOp,   WriteMask,    ComparisonFunc, StencilOp,  CullMode, FillMode, Filter,
    TextureAddress, Usage, Primitive, VertexAccess, IndexAccess, "vs_4_0", "ps_4_0",
};
