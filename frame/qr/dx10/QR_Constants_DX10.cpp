#include "QR_Constants_DX10.h"

#include "QR_Descriptions.h"

// Each table is indexed by the enumeration's value; X marks the values this backend refuses.
// A rejection is reported here, at the line of the table's definition.

namespace {
constexpr std::int32_t X = QR_REJECTED;

const std::int32_t blendValues[] = {QP_BLEND_ZERO,      QP_BLEND_ONE,           QP_BLEND_SRC_COLOR,
                                    QP_BLEND_INV_SRC_COLOR, QP_BLEND_SRC_ALPHA, QP_BLEND_INV_SRC_ALPHA,
                                    X,                  X,                      QP_BLEND_BLEND_FACTOR};
static_assert(std::size(blendValues) == static_cast<std::size_t>(QR_Blend::BlendFactor) + 1);

const std::int32_t blendOpValues[] = {QP_BLEND_OP_ADD, QP_BLEND_OP_SUBTRACT, X, X, QP_BLEND_OP_MAX};
static_assert(std::size(blendOpValues) == static_cast<std::size_t>(QR_BlendOp::Max) + 1);

const std::int32_t writeMaskValues[] = {QP_COLOR_WRITE_ENABLE_ALL};
static_assert(std::size(writeMaskValues) == 1);

const std::int32_t comparisonValues[] = {QP_COMPARISON_NEVER,         QP_COMPARISON_LESS,    QP_COMPARISON_EQUAL,
                                         QP_COMPARISON_LESS_EQUAL,    QP_COMPARISON_GREATER, QP_COMPARISON_NOT_EQUAL,
                                         QP_COMPARISON_GREATER_EQUAL, QP_COMPARISON_ALWAYS};
static_assert(std::size(comparisonValues) == static_cast<std::size_t>(QR_ComparisonFunc::Always) + 1);

const std::int32_t stencilOpValues[] = {QP_STENCIL_OP_KEEP,     QP_STENCIL_OP_ZERO,     QP_STENCIL_OP_REPLACE,
                                        QP_STENCIL_OP_INCR_SAT, QP_STENCIL_OP_DECR_SAT, QP_STENCIL_OP_INVERT,
                                        QP_STENCIL_OP_INCR,     QP_STENCIL_OP_DECR};
static_assert(std::size(stencilOpValues) == static_cast<std::size_t>(QR_StencilOp::Decr) + 1);

const std::int32_t cullModeValues[] = {X, QP_CULL_NONE, QP_CULL_FRONT, QP_CULL_BACK};
static_assert(std::size(cullModeValues) == static_cast<std::size_t>(QR_CullMode::Back) + 1);

const std::int32_t fillModeValues[] = {X, QP_FILL_SOLID, QP_FILL_WIREFRAME};
static_assert(std::size(fillModeValues) == static_cast<std::size_t>(QR_FillMode::Wireframe) + 1);

const std::int32_t filterValues[] = {QP_FILTER_MIN_MAG_MIP_POINT, QP_FILTER_ANISOTROPIC, QP_FILTER_MIN_MAG_MIP_LINEAR};
static_assert(std::size(filterValues) == static_cast<std::size_t>(QR_Filter::Linear) + 1);

const std::int32_t textureAddressValues[] = {QP_TEXTURE_ADDRESS_WRAP, QP_TEXTURE_ADDRESS_MIRROR, QP_TEXTURE_ADDRESS_CLAMP,
                                             QP_TEXTURE_ADDRESS_BORDER, QP_TEXTURE_ADDRESS_MIRROR_ONCE};
static_assert(std::size(textureAddressValues) == static_cast<std::size_t>(QR_TextureAddress::MirrorOnce) + 1);

const std::int32_t usageValues[] = {X, QP_USAGE_DEFAULT, QP_USAGE_DYNAMIC};
static_assert(std::size(usageValues) == static_cast<std::size_t>(QR_Usage::Dynamic) + 1);

const std::int32_t primitiveValues[] = {X, X, X, QP_PRIMITIVE_TOPOLOGY_TRIANGLELIST, QP_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP};
static_assert(std::size(primitiveValues) == static_cast<std::size_t>(QR_Primitive::TriangleStrip) + 1);

const std::int32_t vertexAccessValues[] = {X, QP_MAP_READ, QP_MAP_WRITE_DISCARD, QP_MAP_READ_WRITE};
static_assert(std::size(vertexAccessValues) == static_cast<std::size_t>(QR_Access::ReadWrite) + 1);

const std::int32_t indexAccessValues[] = {X, QP_MAP_READ, QP_MAP_WRITE_NO_OVERWRITE, QP_MAP_READ_WRITE};
static_assert(std::size(indexAccessValues) == static_cast<std::size_t>(QR_Access::ReadWrite) + 1);
} // namespace

const QR_ConstantTable QR_Constants_DX10::blend = QR_CONSTANT_TABLE(blendValues, "Unkown blend %d.");
const QR_ConstantTable QR_Constants_DX10::blendOp = QR_CONSTANT_TABLE(blendOpValues, "Unkown blend op %d.");
const QR_ConstantTable QR_Constants_DX10::writeMask = QR_CONSTANT_TABLE(writeMaskValues, "Unkown write mask %d.");
const QR_ConstantTable QR_Constants_DX10::comparisonFunc =
    QR_CONSTANT_TABLE(comparisonValues, "Unknown comparison func %d.");
const QR_ConstantTable QR_Constants_DX10::stencilOp = QR_CONSTANT_TABLE(stencilOpValues, "Unknown stecil op %d.");
const QR_ConstantTable QR_Constants_DX10::cullMode = QR_CONSTANT_TABLE(cullModeValues, "Unknown cull mode %d.");
const QR_ConstantTable QR_Constants_DX10::fillMode = QR_CONSTANT_TABLE(fillModeValues, "Unknown fill mode %d.");
const QR_ConstantTable QR_Constants_DX10::filter = QR_CONSTANT_TABLE(filterValues, "Unknown filter %d.");
const QR_ConstantTable QR_Constants_DX10::textureAddress =
    QR_CONSTANT_TABLE(textureAddressValues, "Unknown texture address mode %d.");
const QR_ConstantTable QR_Constants_DX10::usage = QR_CONSTANT_TABLE(usageValues, "Unknown usage %d.");
const QR_ConstantTable QR_Constants_DX10::primitive = QR_CONSTANT_TABLE(primitiveValues, "Unknown primitive %d.");
const QR_ConstantTable QR_Constants_DX10::vertexAccess = QR_CONSTANT_TABLE(vertexAccessValues, "Unknown access %d.");
const QR_ConstantTable QR_Constants_DX10::indexAccess = QR_CONSTANT_TABLE(indexAccessValues, "Unknown access %d.");

const QR_ConstantSet QR_Constants_DX10::set = {
    blend,    blendOp,   writeMask,      comparisonFunc, stencilOp,    cullMode,    fillMode, filter,
    textureAddress, usage, primitive, vertexAccess, indexAccess, "vs_4_0", "ps_4_0",
};
