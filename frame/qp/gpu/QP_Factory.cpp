#include "QP_Factory.h"

#include "QC_Log.h"
#include "QP_Device.h"
#include "QP_GLContext.h"
#include "QP_SwapChain.h"
#include "QP_System.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>

namespace {

// Without a window system there is no monitor to ask: the common modes of today's screens.
const QP_ModeDesc headlessModes[] = {
    {1280, 720, {60, 1}, QP_FORMAT_R8G8B8A8_UNORM, QP_MODE_SCANLINE_ORDER_PROGRESSIVE, QP_MODE_SCALING_UNSPECIFIED},
    {1920, 1080, {60, 1}, QP_FORMAT_R8G8B8A8_UNORM, QP_MODE_SCANLINE_ORDER_PROGRESSIVE, QP_MODE_SCALING_UNSPECIFIED},
    {2560, 1440, {60, 1}, QP_FORMAT_R8G8B8A8_UNORM, QP_MODE_SCANLINE_ORDER_PROGRESSIVE, QP_MODE_SCALING_UNSPECIFIED},
};
static_assert(sizeof(headlessModes) / sizeof(headlessModes[0]) == 3);

bool SameMode(const QP_ModeDesc& a, const QP_ModeDesc& b)
{
    return a.width == b.width && a.height == b.height && a.refreshRate.numerator == b.refreshRate.numerator &&
           a.refreshRate.denominator == b.refreshRate.denominator;
}

// SDL's modes of display 0, smallest first as the platform lists them. SDL reports whole hertz;
// 0 (unknown, as virtual displays say) is taken as 60. Modes that differ only in SDL's pixel
// format are one mode here, where every mode is RGBA8.
std::vector<QP_ModeDesc> SdlModes()
{
    std::vector<QP_ModeDesc> modes;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode sdlMode;
        if (SDL_GetDisplayMode(0, i, &sdlMode) != 0 || sdlMode.w <= 0 || sdlMode.h <= 0)
            continue;
        QP_ModeDesc mode;
        mode.width = static_cast<std::uint32_t>(sdlMode.w);
        mode.height = static_cast<std::uint32_t>(sdlMode.h);
        mode.refreshRate = {sdlMode.refresh_rate > 0 ? static_cast<std::uint32_t>(sdlMode.refresh_rate) : 60u, 1};
        mode.format = QP_FORMAT_R8G8B8A8_UNORM;
        mode.scanlineOrdering = QP_MODE_SCANLINE_ORDER_PROGRESSIVE;
        mode.scaling = QP_MODE_SCALING_UNSPECIFIED;
        if (std::none_of(modes.begin(), modes.end(), [&](const QP_ModeDesc& other) { return SameMode(mode, other); }))
            modes.push_back(mode);
    }
    std::stable_sort(modes.begin(), modes.end(), [](const QP_ModeDesc& a, const QP_ModeDesc& b) {
        if (a.width != b.width)
            return a.width < b.width;
        if (a.height != b.height)
            return a.height < b.height;
        return a.refreshRate.numerator < b.refreshRate.numerator;
    });
    return modes;
}

} // namespace

std::uint32_t QP_RefreshRateHz(const QP_Rational& rate)
{
    if (rate.denominator == 0)
        return 0;
    return static_cast<std::uint32_t>(static_cast<float>(rate.numerator) / static_cast<float>(rate.denominator) + 0.5f);
}

QP_Result QP_CreateFactory(const QP_FactoryOptions& options, QC_Ptr<QP_Factory>* factory)
{
    const bool headless = options.headless || !QP_HasDisplay();
    QC_Ptr<QP_Factory> created(new QP_Factory(headless));
    if (!headless) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            QC_ERROR("Unable to start SDL video: %s", SDL_GetError());
            return QP_E_FAIL;
        }
        created->videoStarted = true;
    }
    if (factory)
        *factory = created;
    return QP_OK;
}

QP_Factory::~QP_Factory()
{
    if (videoStarted)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

QP_Result QP_Factory::EnumAdapters(std::uint32_t index, QC_Ptr<QP_Adapter>* adapter)
{
    if (index != 0)
        return QP_DXGI_ERROR_NOT_FOUND;
    if (!adapter)
        return QP_E_INVALIDARG;
    *adapter = QC_Ptr<QP_Adapter>(new QP_Adapter(headless));
    return QP_OK;
}

QP_Result QP_Adapter::EnumOutputs(std::uint32_t index, QC_Ptr<QP_Output>* output)
{
    if (index != 0)
        return QP_DXGI_ERROR_NOT_FOUND;
    if (!output)
        return QP_E_INVALIDARG;
    std::vector<QP_ModeDesc> modes;
    if (headless) {
        modes.assign(std::begin(headlessModes), std::end(headlessModes));
    } else {
        modes = SdlModes();
        if (modes.empty()) {
            QC_ERROR("The display reports no modes: %s", SDL_GetError());
            return QP_DXGI_ERROR_NOT_FOUND;
        }
    }
    *output = QC_Ptr<QP_Output>(new QP_Output(std::move(modes)));
    return QP_OK;
}

QP_Result QP_Adapter::GetDesc(QP_AdapterDesc* desc)
{
    if (!desc)
        return QP_E_INVALIDARG;
    *desc = QP_AdapterDesc();
    std::snprintf(desc->description, sizeof(desc->description), "%s",
                  headless ? "OpenGL 4.5 (headless)" : "OpenGL 4.5");
    return QP_OK;
}

QP_Result QP_Output::GetDisplayModeList(QP_Format format, std::uint32_t, std::uint32_t* count, QP_ModeDesc* list)
{
    if (!count)
        return QP_E_INVALIDARG;
    const std::uint32_t available = format == QP_FORMAT_R8G8B8A8_UNORM ? static_cast<std::uint32_t>(modes.size()) : 0;
    if (!list) {
        *count = available;
        return QP_OK;
    }
    const std::uint32_t written = std::min(*count, available);
    std::copy(modes.begin(), modes.begin() + written, list);
    *count = written;
    return written < available ? QP_DXGI_ERROR_MORE_DATA : QP_OK;
}

QP_Result QP_Factory::CreateSwapChain(QP_Device* device, const QP_SwapChainDesc* desc, QC_Ptr<QP_SwapChain>* swapChain)
{
    if (!device || !desc || !swapChain) {
        QC_INFO("CreateSwapChain: no device, description or output.");
        return QP_E_INVALIDARG;
    }
    if (desc->bufferDesc.format != QP_FORMAT_R8G8B8A8_UNORM || desc->sampleDesc.count != 1) {
        QC_INFO("CreateSwapChain: format %d with %u samples is not supported.", desc->bufferDesc.format,
                desc->sampleDesc.count);
        return QP_E_INVALIDARG;
    }
    if (!desc->outputWindow && (desc->bufferDesc.width == 0 || desc->bufferDesc.height == 0)) {
        QC_INFO("CreateSwapChain: a swap chain without a window needs a size.");
        return QP_E_INVALIDARG;
    }
    if (desc->outputWindow && device->IsHeadless()) {
        QC_INFO("CreateSwapChain: a headless device cannot present to a window.");
        return QP_E_INVALIDARG;
    }
    QC_Ptr<QP_SwapChain> created(new QP_SwapChain(device, *desc));
    QP_Result result = created->CreateBackBuffer();
    if (QP_Failed(result))
        return result;
    if (desc->outputWindow && !desc->windowed && QP_Failed(result = created->SetFullscreenState(true)))
        return result;
    *swapChain = created;
    return QP_OK;
}
