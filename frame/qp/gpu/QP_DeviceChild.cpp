#include "QP_DeviceChild.h"

#include "QP_GL.h"
#include "QP_GLContext.h"

#include <atomic>

std::uint64_t QP_NextBufferVersion()
{
    static std::atomic<std::uint64_t> counter{0};
    return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

QP_DeviceChild::QP_DeviceChild(QP_GLContext* context) : glContext(context) {}
QP_DeviceChild::~QP_DeviceChild() = default;

// GL names are deleted while glContext still holds the context: members go after the body.
QP_Buffer::~QP_Buffer()
{
    if (glBuffer)
        glDeleteBuffers(1, &glBuffer);
}

QP_Texture2D::~QP_Texture2D()
{
    if (glTexture)
        glDeleteTextures(1, &glTexture);
}

QP_RenderTargetView::~QP_RenderTargetView()
{
    if (glClearFramebuffer)
        glDeleteFramebuffers(1, &glClearFramebuffer);
}

QP_DepthStencilView::~QP_DepthStencilView()
{
    if (glClearFramebuffer)
        glDeleteFramebuffers(1, &glClearFramebuffer);
}

QP_InputLayout::~QP_InputLayout()
{
    if (glVertexArray)
        glDeleteVertexArrays(1, &glVertexArray);
}

QP_Shader::~QP_Shader()
{
    if (glProgram)
        glDeleteProgram(glProgram);
}

QP_SamplerState::~QP_SamplerState()
{
    if (glSampler)
        glDeleteSamplers(1, &glSampler);
}

QP_Query::~QP_Query()
{
    if (glQuery)
        glDeleteQueries(1, &glQuery);
}
