#include "QP_SwapChain.h"

#include "QC_Log.h"
#include "QP_Device.h"
#include "QP_GL.h"
#include "QP_GLContext.h"

#include <SDL.h>

#include <cstring>
#include <vector>

QP_SwapChain::QP_SwapChain(QP_Device* owner, const QP_SwapChainDesc& swapChainDesc)
    : device(owner), glContext(owner->glContext), desc(swapChainDesc)
{
    glCreateFramebuffers(1, &glReadFramebuffer);
    // The window gets the context from now on; presentation draws into its default framebuffer.
    if (desc.outputWindow)
        glContext->MakeCurrent(desc.outputWindow);
}

QP_SwapChain::~QP_SwapChain()
{
    if (desc.outputWindow && !desc.windowed)
        SDL_SetWindowFullscreen(reinterpret_cast<SDL_Window*>(desc.outputWindow), 0);
    // The window may go away after this: the context returns to the device's own window.
    if (desc.outputWindow)
        glContext->MakeCurrent(nullptr);
    glDeleteFramebuffers(1, &glReadFramebuffer);
}

QP_Result QP_SwapChain::CreateBackBuffer()
{
    if (desc.outputWindow && (desc.bufferDesc.width == 0 || desc.bufferDesc.height == 0)) {
        std::uint32_t width = 0, height = 0;
        QP_GLContext::WindowSize(desc.outputWindow, &width, &height);
        if (desc.bufferDesc.width == 0)
            desc.bufferDesc.width = width;
        if (desc.bufferDesc.height == 0)
            desc.bufferDesc.height = height;
    }
    QP_Texture2DDesc textureDesc;
    textureDesc.width = desc.bufferDesc.width;
    textureDesc.height = desc.bufferDesc.height;
    textureDesc.format = desc.bufferDesc.format;
    textureDesc.bindFlags = QP_BIND_RENDER_TARGET | QP_BIND_SHADER_RESOURCE;
    QC_Ptr<QP_Texture2D> texture;
    const QP_Result result = device->CreateTexture2D(&textureDesc, nullptr, &texture);
    if (QP_Failed(result))
        return result;
    backBuffer = texture;
    glNamedFramebufferTexture(glReadFramebuffer, GL_COLOR_ATTACHMENT0, backBuffer->glTexture, 0);
    glNamedFramebufferReadBuffer(glReadFramebuffer, GL_COLOR_ATTACHMENT0);
    QP_CHECK_GL();
    return QP_OK;
}

QP_Result QP_SwapChain::BlitToWindow()
{
    if (!glContext->MakeCurrent(desc.outputWindow))
        return QP_E_FAIL;
    std::uint32_t windowWidth = 0, windowHeight = 0;
    QP_GLContext::WindowSize(desc.outputWindow, &windowWidth, &windowHeight);
    // The scissor test clips blits too.
    if (glContext->scissorEnabled)
        glDisable(GL_SCISSOR_TEST);
    // Row 0 of the back buffer is the top of the picture; the window's row 0 is its bottom.
    const GLint width = static_cast<GLint>(desc.bufferDesc.width);
    const GLint height = static_cast<GLint>(desc.bufferDesc.height);
    const bool sameSize = windowWidth == desc.bufferDesc.width && windowHeight == desc.bufferDesc.height;
    glBlitNamedFramebuffer(glReadFramebuffer, 0, 0, 0, width, height, 0, static_cast<GLint>(windowHeight),
                           static_cast<GLint>(windowWidth), 0, GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
    if (glContext->scissorEnabled)
        glEnable(GL_SCISSOR_TEST);
    QP_CHECK_GL();
    return QP_OK;
}

QP_Result QP_SwapChain::Present(std::uint32_t syncInterval, std::uint32_t)
{
    if (!desc.outputWindow) {
        glFlush();
        return QP_OK;
    }
    const QP_Result result = BlitToWindow();
    if (QP_Failed(result))
        return result;
    glContext->SwapWindow(desc.outputWindow, syncInterval);
    return QP_OK;
}

QP_Result QP_SwapChain::GetBuffer(std::uint32_t index, QC_Ptr<QP_Texture2D>* texture)
{
    if (index != 0 || !texture)
        return QP_E_INVALIDARG;
    *texture = backBuffer;
    return QP_OK;
}

QP_Result QP_SwapChain::ResizeBuffers(std::uint32_t, std::uint32_t width, std::uint32_t height, QP_Format format,
                                      std::uint32_t)
{
    if (format != QP_FORMAT_UNKNOWN && format != QP_FORMAT_R8G8B8A8_UNORM) {
        QC_INFO("ResizeBuffers: format %d is not supported.", format);
        return QP_E_INVALIDARG;
    }
    if (!desc.outputWindow && (width == 0 || height == 0)) {
        QC_INFO("ResizeBuffers: a swap chain without a window needs a size.");
        return QP_E_INVALIDARG;
    }
    const QP_SwapChainDesc previous = desc;
    desc.bufferDesc.width = width;
    desc.bufferDesc.height = height;
    const QP_Result result = CreateBackBuffer();
    if (QP_Failed(result))
        desc = previous;
    return result;
}

QP_Result QP_SwapChain::GetDesc(QP_SwapChainDesc* out) const
{
    if (!out)
        return QP_E_INVALIDARG;
    *out = desc;
    return QP_OK;
}

QP_Result QP_SwapChain::SetFullscreenState(bool fullscreen)
{
    if (!desc.outputWindow)
        return QP_DXGI_ERROR_INVALID_CALL;
    SDL_Window* window = reinterpret_cast<SDL_Window*>(desc.outputWindow);
    if (fullscreen) {
        SDL_DisplayMode mode = {};
        mode.w = static_cast<int>(desc.bufferDesc.width);
        mode.h = static_cast<int>(desc.bufferDesc.height);
        mode.refresh_rate = static_cast<int>(desc.bufferDesc.refreshRate.denominator
                                                 ? desc.bufferDesc.refreshRate.numerator / desc.bufferDesc.refreshRate.denominator
                                                 : 0);
        SDL_DisplayMode closest;
        if (SDL_GetClosestDisplayMode(0, &mode, &closest))
            SDL_SetWindowDisplayMode(window, &closest);
    }
    if (SDL_SetWindowFullscreen(window, fullscreen ? SDL_WINDOW_FULLSCREEN : 0) != 0) {
        QC_ERROR("Unable to change the fullscreen state: %s", SDL_GetError());
        return QP_DXGI_ERROR_UNSUPPORTED;
    }
    desc.windowed = !fullscreen;
    return QP_OK;
}

QP_Result QP_SwapChain::ReadBackBuffer(void* pixels, std::uint32_t rowPitch)
{
    const std::uint32_t rowBytes = desc.bufferDesc.width * 4;
    if (!pixels || rowPitch < rowBytes || rowPitch % 4 != 0)
        return QP_E_INVALIDARG;
    glPixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(rowPitch / 4));
    // Texture rows come back in memory order: row 0 is the top of the picture.
    const GLsizei size = static_cast<GLsizei>(static_cast<std::size_t>(rowPitch) * (desc.bufferDesc.height - 1) + rowBytes);
    glGetTextureImage(backBuffer->glTexture, 0, GL_RGBA, GL_UNSIGNED_BYTE, size, pixels);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    QP_CHECK_GL();
    return QP_OK;
}

QP_Result QP_SwapChain::ReadPresented(void* pixels, std::uint32_t rowPitch, std::uint32_t* width, std::uint32_t* height)
{
    if (!desc.outputWindow || !width || !height)
        return QP_DXGI_ERROR_INVALID_CALL;
    QP_GLContext::WindowSize(desc.outputWindow, width, height);
    const std::uint32_t rowBytes = *width * 4;
    if (!pixels || rowPitch < rowBytes || rowPitch % 4 != 0 || *height == 0)
        return QP_E_INVALIDARG;
    const QP_Result result = BlitToWindow();
    if (QP_Failed(result))
        return result;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(rowPitch / 4));
    glReadPixels(0, 0, static_cast<GLsizei>(*width), static_cast<GLsizei>(*height), GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    QP_CHECK_GL();
    // The window's rows run bottom-up: turn them so row 0 is the top.
    std::uint8_t* rows = static_cast<std::uint8_t*>(pixels);
    std::vector<std::uint8_t> swap(rowBytes);
    for (std::uint32_t top = 0, bottom = *height - 1; top < bottom; ++top, --bottom) {
        std::memcpy(swap.data(), rows + static_cast<std::size_t>(top) * rowPitch, rowBytes);
        std::memcpy(rows + static_cast<std::size_t>(top) * rowPitch, rows + static_cast<std::size_t>(bottom) * rowPitch, rowBytes);
        std::memcpy(rows + static_cast<std::size_t>(bottom) * rowPitch, swap.data(), rowBytes);
    }
    return QP_OK;
}
