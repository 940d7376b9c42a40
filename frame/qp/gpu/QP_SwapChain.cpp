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
    ReleaseStaging();
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

// --- staging: read-back without waiting ------------------------------------------------------

QP_Result QP_SwapChain::CopyToStaging(std::uint32_t slot)
{
    if (slot >= kStagingSlots || staging[slot].mapped)
        return QP_E_INVALIDARG;
    Staging& stage = staging[slot];
    stage.width = desc.bufferDesc.width;
    stage.height = desc.bufferDesc.height;
    const std::size_t bytes = static_cast<std::size_t>(stage.width) * stage.height * 4;
    if (stage.capacity < bytes) {
        // Buffer storage is immutable: a larger back buffer gets a new buffer.
        if (stage.glBuffer)
            glDeleteBuffers(1, &stage.glBuffer);
        glCreateBuffers(1, &stage.glBuffer);
        glNamedBufferStorage(stage.glBuffer, static_cast<GLsizeiptr>(bytes), nullptr, GL_MAP_READ_BIT);
        stage.capacity = bytes;
    }
    if (stage.fence)
        glDeleteSync(static_cast<GLsync>(stage.fence));
    // Texture rows come back in memory order: row 0 is the top of the picture. Only this call
    // binds a pack buffer, and it unbinds it at once, so ReadBackBuffer's client memory
    // read-back is never redirected into a buffer.
    glBindBuffer(GL_PIXEL_PACK_BUFFER, stage.glBuffer);
    glGetTextureImage(backBuffer->glTexture, 0, GL_RGBA, GL_UNSIGNED_BYTE, static_cast<GLsizei>(bytes), nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    stage.fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    // The copy starts now, behind the frame's drawing, not when someone first waits for it. A
    // GPU driver queues it; Mesa's software rasteriser makes it at once on this thread, after
    // waiting for the frame, so there the ring saves nothing but does no harm (measured).
    glFlush();
    QP_CHECK_GL();
    return stage.fence ? QP_OK : QP_E_FAIL;
}

QP_Result QP_SwapChain::MapStaging(std::uint32_t slot, QP_MappedSubresource* mapped)
{
    if (slot >= kStagingSlots || !mapped || !staging[slot].fence || staging[slot].mapped)
        return QP_E_INVALIDARG;
    Staging& stage = staging[slot];
    // A software rasteriser may take seconds for a large frame: the wait has no limit, in
    // slices of a second so that a lost context still ends it.
    constexpr GLuint64 kWaitSliceNanoseconds = 1000000000ull;
    GLenum waited = GL_TIMEOUT_EXPIRED;
    while (waited == GL_TIMEOUT_EXPIRED)
        waited = glClientWaitSync(static_cast<GLsync>(stage.fence), GL_SYNC_FLUSH_COMMANDS_BIT, kWaitSliceNanoseconds);
    glDeleteSync(static_cast<GLsync>(stage.fence));
    stage.fence = nullptr;
    if (waited == GL_WAIT_FAILED) {
        QC_INFO("MapStaging: the wait for slot %u failed.", slot);
        return QP_E_FAIL;
    }
    const std::size_t bytes = static_cast<std::size_t>(stage.width) * stage.height * 4;
    void* data = glMapNamedBufferRange(stage.glBuffer, 0, static_cast<GLsizeiptr>(bytes), GL_MAP_READ_BIT);
    QP_CHECK_GL();
    if (!data) {
        QC_INFO("MapStaging: slot %u could not be mapped.", slot);
        return QP_E_FAIL;
    }
    stage.mapped = true;
    mapped->data = data;
    mapped->rowPitch = stage.width * 4;
    mapped->depthPitch = static_cast<std::uint32_t>(bytes);
    return QP_OK;
}

void QP_SwapChain::UnmapStaging(std::uint32_t slot)
{
    if (slot >= kStagingSlots || !staging[slot].mapped)
        return;
    glUnmapNamedBuffer(staging[slot].glBuffer);
    staging[slot].mapped = false;
    QP_CHECK_GL();
}

void QP_SwapChain::ReleaseStaging()
{
    for (std::uint32_t slot = 0; slot < kStagingSlots; ++slot) {
        UnmapStaging(slot);
        Staging& stage = staging[slot];
        if (stage.fence)
            glDeleteSync(static_cast<GLsync>(stage.fence));
        if (stage.glBuffer)
            glDeleteBuffers(1, &stage.glBuffer);
        stage = Staging();
    }
}
