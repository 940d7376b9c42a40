#pragma once
// The window output: one back buffer with a render target view and a depth-stencil buffer of
// the same size, presented once per frame with or without waiting for the vertical blank.
// Made by the renderer's CreateSwapChain, bound to the render context with SetSwapChain.
// A swap chain made without a window (CreateSwapChain with a size) presents nothing; its
// picture is read back with ReadBackBuffer, for tests and rendering without a display.

#include "QC_Image.h"
#include "QC_Ptr.h"

#include <cstdint>

class QR_SwapChain : public QC_RefCounted
{
public:
    ~QR_SwapChain() override = default;

    virtual void Present() = 0;
    // Rebuilds the buffers for the window's current client size. A failure is reported at
    // level 2 and leaves the swap chain without views until a later successful resize.
    virtual void Resize() = 0;

    // Copies the back buffer into image, which must be Width() x Height(); row 0 is the top of
    // the picture. False with a log line otherwise.
    virtual bool ReadBackBuffer(QC_Image& image) = 0;

    // Read-back without waiting for the picture, for a caller that draws the next frames
    // meanwhile: QueueReadBack starts copying the back buffer as the commands given so far
    // leave it and returns at once; CollectReadBack waits for the oldest copy still queued and
    // puts it into image (Width() x Height()). At most kReadBackQueueDepth copies are queued,
    // so the copy of frame N need be waited for only after frames N + 1 and N + 2 are drawn.
    // False with a log line on a full queue, an empty one or an image of the wrong size (the
    // copy then stays queued). A Resize drops the queued copies.
    static constexpr std::uint32_t kReadBackQueueDepth = 3;
    virtual bool QueueReadBack() = 0;
    virtual bool CollectReadBack(QC_Image& image) = 0;
    std::uint32_t QueuedReadBacks() const { return queuedReadBacks; }

    std::uint32_t Width() const { return width; }
    std::uint32_t Height() const { return height; }

protected:
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t queuedReadBacks = 0;
};
