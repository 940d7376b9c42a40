#pragma once
// A swap chain: one RGBA8 back buffer (a texture whose row 0 is the top of the picture) that
// Present shows in the output window, flipped there because the window's rows run bottom-up.
// Headless (no window) Present shows nothing, and ReadBackBuffer gives the picture to a caller.
// A caller that must not wait for the picture stages it instead, as with a staging texture:
//
//   swapChain->CopyToStaging(slot);          // starts the copy, returns at once
//   ... draw the next frames ...
//   swapChain->MapStaging(slot, &mapped);    // waits for that copy only; mapped.data, rowPitch
//   swapChain->UnmapStaging(slot);           // the slot may be copied into again
//
//   QC_Ptr<QP_Texture2D> backBuffer;  swapChain->GetBuffer(0, &backBuffer);
//   device->CreateRenderTargetView(backBuffer.Get(), nullptr, &view);
//   ... draw ...;  swapChain->Present(1, 0);

#include "QC_Ptr.h"
#include "QP_DeviceChild.h"
#include "QP_GraphicsTypes.h"

#include <cstddef>
#include <cstdint>

class QP_Device;
class QP_GLContext;

class QP_SwapChain final : public QC_RefCounted
{
public:
    ~QP_SwapChain() override;

    // syncInterval 0: no wait; 1 or more: wait for the vertical blank. Flags are ignored.
    QP_Result Present(std::uint32_t syncInterval, std::uint32_t flags);
    QP_Result GetBuffer(std::uint32_t index, QC_Ptr<QP_Texture2D>* texture);
    // Zero width or height takes the window's size; QP_FORMAT_UNKNOWN keeps the format. The
    // old back buffer stays valid for whoever holds it but is no longer presented.
    QP_Result ResizeBuffers(std::uint32_t bufferCount, std::uint32_t width, std::uint32_t height, QP_Format format,
                            std::uint32_t flags);
    QP_Result GetDesc(QP_SwapChainDesc* desc) const;
    QP_Result SetFullscreenState(bool fullscreen);

    // Copies the back buffer into pixels (RGBA8, rowPitch bytes per row, row 0 = top).
    QP_Result ReadBackBuffer(void* pixels, std::uint32_t rowPitch);
    // Copies what Present puts into the window (the same flipping blit, into the window's back
    // buffer, without the swap), row 0 = the top of the window; for checking presentation.
    // Windowed swap chains only.
    QP_Result ReadPresented(void* pixels, std::uint32_t rowPitch, std::uint32_t* width, std::uint32_t* height);

    // Staging slots for read-backs in flight: a ring of this many lets the copy of frame N be
    // waited for only after frames N + 1 and N + 2 were drawn.
    static constexpr std::uint32_t kStagingSlots = 3;
    // Starts copying the back buffer as it will be once the commands given so far have run into
    // slot; QP_E_INVALIDARG for a slot out of range or still mapped.
    QP_Result CopyToStaging(std::uint32_t slot);
    // Waits for slot's copy and lends its pixels (RGBA8, row 0 = top, at the size the back
    // buffer had when copied) until UnmapStaging. QP_E_INVALIDARG when nothing was copied into
    // slot since it was last unmapped.
    QP_Result MapStaging(std::uint32_t slot, QP_MappedSubresource* mapped);
    void UnmapStaging(std::uint32_t slot);

private:
    friend class QP_Factory;
    QP_SwapChain(QP_Device* device, const QP_SwapChainDesc& desc);
    QP_Result CreateBackBuffer();
    QP_Result BlitToWindow();
    void ReleaseStaging();

    // One pixel pack buffer of the ring, and the fence that says its copy is done.
    struct Staging
    {
        std::uint32_t glBuffer = 0;
        std::size_t capacity = 0;
        void* fence = nullptr; // the GL sync object; null when nothing is in flight
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        bool mapped = false;
    };

    QC_Ptr<QP_Device> device;
    QC_Ptr<QP_GLContext> glContext;
    QP_SwapChainDesc desc;
    QC_Ptr<QP_Texture2D> backBuffer;
    std::uint32_t glReadFramebuffer = 0;
    Staging staging[kStagingSlots];
};
