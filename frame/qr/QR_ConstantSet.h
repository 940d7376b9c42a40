#pragma once
// What differs between the backends as data: the translation of every enumeration into the
// platform's numbers, and the compiler profiles. QR_Constants_DX10 and QR_Constants_DX11 each
// provide one set; the renderer, its render context and its shader objects read only the set
// of their backend, so no other code asks which backend it is.
//
// A translation table holds the platform value of each enumeration value and QR_REJECTED where
// a value is not accepted; a value outside the table, or rejected, is fatal with the table's
// message and the value as its %d, reported at the backend's constants unit.

#include "qc/QC_Log.h"
#include "qp/QP_GraphicsTypes.h"
#include "qr/QR_Descriptions.h"

#include <cstdint>

constexpr std::int32_t QR_REJECTED = -1;

struct QR_ConstantTable
{
    const std::int32_t* values;
    std::int32_t count;
    const char* message;
};

// The platform value of value in table; fatal, at file and line, for a rejected value.
inline std::int32_t QR_TranslateConstant(const QR_ConstantTable& table, std::int32_t value, const char* file, int line)
{
    if (value < 0 || value >= table.count || table.values[value] == QR_REJECTED)
        QC_Fatal(QC_GetLog(), table.message, file, line, value);
    return table.values[value];
}

// Platform usage and CPU access of a buffer usage.
struct QR_PlatformUsage
{
    QP_Usage usage;
    std::uint32_t cpuAccess;
};

struct QR_ConstantSet
{
    QP_Blend (*blend)(QR_Blend value);
    QP_BlendOp (*blendOp)(QR_BlendOp value);
    // Only 0 is accepted; the platform mask is then all four channels.
    std::uint8_t (*writeMask)(std::int32_t value);
    QP_ComparisonFunc (*comparisonFunc)(QR_ComparisonFunc value);
    QP_StencilOp (*stencilOp)(QR_StencilOp value);
    QP_CullMode (*cullMode)(QR_CullMode value);
    QP_FillMode (*fillMode)(QR_FillMode value);
    QP_Filter (*filter)(QR_Filter value);
    QP_TextureAddressMode (*textureAddress)(QR_TextureAddress value);
    QR_PlatformUsage (*usage)(QR_Usage value);
    QP_PrimitiveTopology (*primitive)(QR_Primitive value);
    QP_Map (*vertexAccess)(QR_Access value);
    QP_Map (*indexAccess)(QR_Access value);
    const char* vertexProfile;
    const char* pixelProfile;
};
