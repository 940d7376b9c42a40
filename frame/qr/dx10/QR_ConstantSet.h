#pragma once
// What differs between the backends as data: one translation table per enumeration and the
// compiler profiles. QR_Constants_DX10 and QR_Constants_DX11 each provide one set; the renderer,
// its render context and its shader objects read only the set of their backend, so no other code
// asks which backend it is.
//
// A table holds the platform value of each enumeration value, indexed by that value, and
// QR_REJECTED where a value is not accepted. QR_Translate is the one way through a table: a
// value outside it, or rejected, is fatal with the table's message (the value as its %d), at the
// file and line where the table is defined.
//
//   const QP_Blend blend = QR_Translate<QP_Blend>(constants.blend, desc.srcBlend);

#include "QC_Log.h"
#include "QP_GraphicsTypes.h"

#include <cstdint>
#include <iterator>

constexpr std::int32_t QR_REJECTED = -1;

struct QR_ConstantTable
{
    const std::int32_t* values;
    std::int32_t count;
    const char* message;
    // Where a rejection is reported: the definition of the table.
    const char* file;
    int line;
};

// A table over a static array, reported at the place of this macro.
#define QR_CONSTANT_TABLE(values, message) \
    QR_ConstantTable { values, static_cast<std::int32_t>(std::size(values)), message, __FILE__, __LINE__ }

// The platform value of value in table; fatal for a value outside the table or rejected.
inline std::int32_t QR_TranslateValue(const QR_ConstantTable& table, std::int32_t value)
{
    if (value < 0 || value >= table.count || table.values[value] == QR_REJECTED)
        QC_Fatal(QC_GetLog(), table.message, table.file, table.line, value);
    return table.values[value];
}

// QR_TranslateValue with the enumeration and the platform type spelt out at the call.
template <typename Platform, typename Value>
Platform QR_Translate(const QR_ConstantTable& table, Value value)
{
    return static_cast<Platform>(QR_TranslateValue(table, static_cast<std::int32_t>(value)));
}

struct QR_ConstantSet
{
    const QR_ConstantTable& blend;
    const QR_ConstantTable& blendOp;
    // Only 0 is accepted; the platform mask is then all four channels.
    const QR_ConstantTable& writeMask;
    const QR_ConstantTable& comparisonFunc;
    const QR_ConstantTable& stencilOp;
    const QR_ConstantTable& cullMode;
    const QR_ConstantTable& fillMode;
    const QR_ConstantTable& filter;
    const QR_ConstantTable& textureAddress;
    const QR_ConstantTable& usage;
    const QR_ConstantTable& primitive;
    // Vertex and index buffers map Write differently: discard and no-overwrite.
    const QR_ConstantTable& vertexAccess;
    const QR_ConstantTable& indexAccess;
    const char* vertexProfile;
    const char* pixelProfile;
};
