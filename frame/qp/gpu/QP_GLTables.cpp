// Direct3D numbers to GL enums. Every table is indexed by the Direct3D value and checked against
// the count of that enumeration; a `none` entry (0xFFFFFFFF, since GL_ZERO and GL_NONE are 0) is
// a number Direct3D does not define (or the layer does not implement) and is refused the same
// way everywhere: the lookup returns false.

#include "QP_GL.h"

#include "QC_Log.h"

#include <cstdio>

namespace {

// Marks a number without a GL counterpart (0 cannot: GL_ZERO and GL_NONE are 0).
constexpr GLenum none = 0xFFFFFFFFu;

template <typename T, std::size_t N>
bool LookUp(const T (&table)[N], std::int32_t value, T* out)
{
    if (value < 0 || static_cast<std::size_t>(value) >= N || table[value] == none)
        return false;
    *out = table[value];
    return true;
}

// QP_Blend: ZERO (1) to INV_BLEND_FACTOR (15); 12 and 13 are not Direct3D numbers.
const GLenum blendFactors[] = {
    none,
    GL_ZERO,
    GL_ONE,
    GL_SRC_COLOR,
    GL_ONE_MINUS_SRC_COLOR,
    GL_SRC_ALPHA,
    GL_ONE_MINUS_SRC_ALPHA,
    GL_DST_ALPHA,
    GL_ONE_MINUS_DST_ALPHA,
    GL_DST_COLOR,
    GL_ONE_MINUS_DST_COLOR,
    GL_SRC_ALPHA_SATURATE,
    none,
    none,
    GL_CONSTANT_COLOR,
    GL_ONE_MINUS_CONSTANT_COLOR,
};
static_assert(sizeof(blendFactors) / sizeof(blendFactors[0]) == QP_BLEND_INV_BLEND_FACTOR + 1);

const GLenum blendEquations[] = {none, GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT, GL_MIN, GL_MAX};
static_assert(sizeof(blendEquations) / sizeof(blendEquations[0]) == QP_BLEND_OP_MAX + 1);

const GLenum comparisons[] = {none, GL_NEVER, GL_LESS, GL_EQUAL, GL_LEQUAL, GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
static_assert(sizeof(comparisons) / sizeof(comparisons[0]) == QP_COMPARISON_ALWAYS + 1);

const GLenum stencilOps[] = {none, GL_KEEP, GL_ZERO, GL_REPLACE, GL_INCR, GL_DECR, GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP};
static_assert(sizeof(stencilOps) / sizeof(stencilOps[0]) == QP_STENCIL_OP_DECR + 1);

const GLenum topologies[] = {none, GL_POINTS, GL_LINES, GL_LINE_STRIP, GL_TRIANGLES, GL_TRIANGLE_STRIP};
static_assert(sizeof(topologies) / sizeof(topologies[0]) == QP_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP + 1);

const GLenum textureAddresses[] = {none, GL_REPEAT, GL_MIRRORED_REPEAT, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_BORDER,
                                   GL_MIRROR_CLAMP_TO_EDGE};
static_assert(sizeof(textureAddresses) / sizeof(textureAddresses[0]) == QP_TEXTURE_ADDRESS_MIRROR_ONCE + 1);

// QP_FillMode: WIREFRAME (2), SOLID (3).
const GLenum polygonModes[] = {none, none, GL_LINE, GL_FILL};
static_assert(sizeof(polygonModes) / sizeof(polygonModes[0]) == QP_FILL_SOLID + 1);

// QP_CullMode: NONE (1) culls nothing; FRONT (2), BACK (3).
const GLenum cullFaces[] = {none, GL_NONE, GL_FRONT, GL_BACK};
static_assert(sizeof(cullFaces) / sizeof(cullFaces[0]) == QP_CULL_BACK + 1);

const QP_GLFormat formats[] = {
    {QP_FORMAT_R32G32B32A32_FLOAT, GL_RGBA32F, GL_RGBA, GL_FLOAT, 16, 4, GL_FLOAT, false, false, false},
    {QP_FORMAT_R32G32B32_FLOAT, GL_RGB32F, GL_RGB, GL_FLOAT, 12, 3, GL_FLOAT, false, false, false},
    {QP_FORMAT_R32G32_FLOAT, GL_RG32F, GL_RG, GL_FLOAT, 8, 2, GL_FLOAT, false, false, false},
    {QP_FORMAT_R8G8B8A8_UNORM, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, 4, GL_UNSIGNED_BYTE, true, false, false},
    {QP_FORMAT_R32_FLOAT, GL_R32F, GL_RED, GL_FLOAT, 4, 1, GL_FLOAT, false, false, false},
    {QP_FORMAT_R32_UINT, GL_R32UI, GL_RED_INTEGER, GL_UNSIGNED_INT, 4, 1, GL_UNSIGNED_INT, false, true, false},
    {QP_FORMAT_D24_UNORM_S8_UINT, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 4, 0, 0, false, false,
     true},
    {QP_FORMAT_R16_UINT, GL_R16UI, GL_RED_INTEGER, GL_UNSIGNED_SHORT, 2, 1, GL_UNSIGNED_SHORT, false, true, false},
};
static_assert(sizeof(formats) / sizeof(formats[0]) == 8);

} // namespace

bool QP_GLBlendFactor(QP_Blend blend, GLenum* factor) { return LookUp(blendFactors, blend, factor); }
bool QP_GLBlendEquation(QP_BlendOp op, GLenum* equation) { return LookUp(blendEquations, op, equation); }
bool QP_GLComparison(QP_ComparisonFunc func, GLenum* comparison) { return LookUp(comparisons, func, comparison); }
bool QP_GLStencilOp(QP_StencilOp op, GLenum* stencilOp) { return LookUp(stencilOps, op, stencilOp); }
bool QP_GLTopology(QP_PrimitiveTopology topology, GLenum* mode) { return LookUp(topologies, topology, mode); }
bool QP_GLTextureAddress(QP_TextureAddressMode mode, GLenum* wrap) { return LookUp(textureAddresses, mode, wrap); }
bool QP_GLFillMode(QP_FillMode mode, GLenum* polygonMode) { return LookUp(polygonModes, mode, polygonMode); }

bool QP_GLCullMode(QP_CullMode mode, bool* enable, GLenum* face)
{
    if (mode == QP_CULL_NONE) {
        *enable = false;
        *face = GL_BACK;
        return true;
    }
    *enable = true;
    return LookUp(cullFaces, mode, face);
}

bool QP_GLFilter(QP_Filter filter, GLenum* minFilter, GLenum* magFilter, bool* anisotropic, bool* comparison)
{
    // Bits: mip linear 0x1, mag linear 0x4, min linear 0x10, anisotropic 0x40, comparison 0x80.
    const std::int32_t known = 0x01 | 0x04 | 0x10 | 0x40 | 0x80;
    if (filter < 0 || (filter & ~known) != 0)
        return false;
    *anisotropic = (filter & 0x40) != 0;
    if (*anisotropic && (filter & 0x15) != 0x15)
        return false;
    *comparison = (filter & 0x80) != 0;
    const bool mipLinear = (filter & 0x01) != 0;
    const bool magLinear = (filter & 0x04) != 0;
    const bool minLinear = (filter & 0x10) != 0;
    static const GLenum minFilters[2][2] = {
        {GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST_MIPMAP_LINEAR},
        {GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_LINEAR},
    };
    *minFilter = minFilters[minLinear][mipLinear];
    *magFilter = magLinear ? GL_LINEAR : GL_NEAREST;
    return true;
}

const QP_GLFormat* QP_GLFindFormat(QP_Format format)
{
    for (const QP_GLFormat& row : formats) {
        if (row.format == format)
            return &row;
    }
    return nullptr;
}

#ifndef NDEBUG
void QP_CheckGLErrors(const char* file, int line)
{
    // Bounded: a lost context can report errors forever.
    for (int i = 0; i < 8; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR)
            return;
        QC_Report(QC_GetLog(), QC_LOG_ERROR, "GL error 0x%04X.", file, line, error);
    }
}
#endif
