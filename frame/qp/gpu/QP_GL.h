#pragma once
// OpenGL inside frame/qp: the entry points (libepoxy), the debug-build error check and the
// translation tables from Direct3D numbers to GL enums. Included only by frame/qp units; nothing
// outside frame/qp includes a GL header.

#include "QP_GraphicsTypes.h"

#include <epoxy/gl.h>

#include <cstdint>

// In debug builds every group of GL calls is followed by QP_CHECK_GL(), so a broken translation
// is reported at the call that caused it, not three draws later.
#ifndef NDEBUG
void QP_CheckGLErrors(const char* file, int line);
#define QP_CHECK_GL() QP_CheckGLErrors(__FILE__, __LINE__)
#else
#define QP_CHECK_GL() ((void)0)
#endif

// --- translation tables: each returns false for a number outside its table -----------------------
bool QP_GLBlendFactor(QP_Blend blend, GLenum* factor);
bool QP_GLBlendEquation(QP_BlendOp op, GLenum* equation);
bool QP_GLComparison(QP_ComparisonFunc func, GLenum* comparison);
bool QP_GLStencilOp(QP_StencilOp op, GLenum* stencilOp);
bool QP_GLTopology(QP_PrimitiveTopology topology, GLenum* mode);
bool QP_GLTextureAddress(QP_TextureAddressMode mode, GLenum* wrap);
bool QP_GLFillMode(QP_FillMode mode, GLenum* polygonMode);
bool QP_GLCullMode(QP_CullMode mode, bool* enable, GLenum* face);
// Minification and magnification filters, anisotropy and comparison of one sampler filter.
bool QP_GLFilter(QP_Filter filter, GLenum* minFilter, GLenum* magFilter, bool* anisotropic, bool* comparison);

struct QP_GLFormat
{
    QP_Format format;
    GLenum internalFormat;   // texture storage (0: not a texture format)
    GLenum pixelFormat;      // upload and read-back layout
    GLenum pixelType;
    std::uint32_t bytesPerPixel;
    GLint vertexComponents;  // vertex attribute use (0: not a vertex format)
    GLenum vertexType;
    bool vertexNormalised;
    bool vertexInteger;
    bool depthStencil;
};

// The row of a format, or null for a format the layer does not implement.
const QP_GLFormat* QP_GLFindFormat(QP_Format format);
