#pragma once
// Factory, adapter and output: where a device and its swap chains come from, and the display
// modes the launcher offers.
//
//   QC_Ptr<QP_Factory> factory;  QP_CreateFactory({}, &factory);
//   QC_Ptr<QP_Adapter> adapter;  factory->EnumAdapters(0, &adapter);
//   QC_Ptr<QP_Output> output;    adapter->EnumOutputs(0, &output);
//   std::uint32_t count = 0;     output->GetDisplayModeList(QP_FORMAT_R8G8B8A8_UNORM, 0, &count, nullptr);
//
// Windowed (a display is present): SDL's modes of display 0. Headless (no display, or asked for
// in the options): 1280x720, 1920x1080 and 2560x1440 at 60 Hz. There is one adapter with one
// output.

#include "QC_Ptr.h"
#include "QP_GraphicsTypes.h"

#include <cstdint>
#include <vector>

class QP_Device;
class QP_SwapChain;

struct QP_FactoryOptions
{
    // Render without a window system even when a display is present.
    bool headless = false;
};

struct QP_AdapterDesc
{
    char description[128] = {};
    std::uint32_t vendorId = 0;
    std::uint32_t deviceId = 0;
};

class QP_Output final : public QC_RefCounted
{
public:
    // DXGI semantics: with modes null, *count receives the number of modes; otherwise up to
    // *count modes are written and *count is set to the number written (QP_DXGI_ERROR_MORE_DATA
    // when there were more). Only R8G8B8A8_UNORM has modes.
    QP_Result GetDisplayModeList(QP_Format format, std::uint32_t flags, std::uint32_t* count, QP_ModeDesc* modes);

private:
    friend class QP_Adapter;
    explicit QP_Output(std::vector<QP_ModeDesc>&& modes) : modes(std::move(modes)) {}
    std::vector<QP_ModeDesc> modes;
};

class QP_Adapter final : public QC_RefCounted
{
public:
    QP_Result EnumOutputs(std::uint32_t index, QC_Ptr<QP_Output>* output);
    QP_Result GetDesc(QP_AdapterDesc* desc);
    bool IsHeadless() const { return headless; }

private:
    friend class QP_Factory;
    explicit QP_Adapter(bool headless) : headless(headless) {}
    bool headless;
};

class QP_Factory final : public QC_RefCounted
{
public:
    ~QP_Factory() override;
    QP_Result EnumAdapters(std::uint32_t index, QC_Ptr<QP_Adapter>* adapter);
    // A desc without an output window makes a headless swap chain of the desc's size.
    QP_Result CreateSwapChain(QP_Device* device, const QP_SwapChainDesc* desc, QC_Ptr<QP_SwapChain>* swapChain);
    bool IsHeadless() const { return headless; }

private:
    friend QP_Result QP_CreateFactory(const QP_FactoryOptions&, QC_Ptr<QP_Factory>*);
    explicit QP_Factory(bool headless) : headless(headless) {}
    bool headless;
    bool videoStarted = false;
};

QP_Result QP_CreateFactory(const QP_FactoryOptions& options, QC_Ptr<QP_Factory>* factory);

// The refresh rate in whole hertz as the launcher shows it: numerator / denominator + 0.5,
// truncated (60000/1001 gives 60).
std::uint32_t QP_RefreshRateHz(const QP_Rational& rate);
