#include "QR_Constants_DX11.h"

#include "QR_Constants_DX10.h"
#include "QR_Descriptions.h"

// Where Direct3D 11 refuses more than Direct3D 10; a rejection is reported here.
namespace {
// Add and Subtract only: Max is refused.
const std::int32_t blendOpValues[] = {QP_BLEND_OP_ADD, QP_BLEND_OP_SUBTRACT};
static_assert(std::size(blendOpValues) == static_cast<std::size_t>(QR_BlendOp::Subtract) + 1);

// Point and Anisotropic only: Linear is refused.
const std::int32_t filterValues[] = {QP_FILTER_MIN_MAG_MIP_POINT, QP_FILTER_ANISOTROPIC};
static_assert(std::size(filterValues) == static_cast<std::size_t>(QR_Filter::Anisotropic) + 1);
} // namespace

const QR_ConstantTable QR_Constants_DX11::blendOp = QR_CONSTANT_TABLE(blendOpValues, "Unkown blend op %d.");
const QR_ConstantTable QR_Constants_DX11::filter = QR_CONSTANT_TABLE(filterValues, "Unknown filter %d.");

// Every other table is Direct3D 10's.
const QR_ConstantSet QR_Constants_DX11::set = {
    QR_Constants_DX10::blend,          QR_Constants_DX11::blendOp,     QR_Constants_DX10::writeMask,
    QR_Constants_DX10::comparisonFunc, QR_Constants_DX10::stencilOp,   QR_Constants_DX10::cullMode,
    QR_Constants_DX10::fillMode,       QR_Constants_DX11::filter,      QR_Constants_DX10::textureAddress,
    QR_Constants_DX10::usage,          QR_Constants_DX10::primitive,   QR_Constants_DX10::vertexAccess,
    QR_Constants_DX10::indexAccess,    "vs_5_0",                       "ps_5_0",
};
