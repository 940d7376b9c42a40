#include "QD_Sync.h"

#include "QC_Log.h"

#include <climits>
#include <algorithm>
#include <cmath>

namespace
{
QD_Sync* g_sync = nullptr;

constexpr std::uint32_t kMidiTimingClock = 0xF8;
constexpr std::uint32_t kMidiStop = 0xFC;
constexpr float kMidiClocksPerBeat = 24.0f;
} // namespace

float QD_SyncBeatsAtMilliseconds(std::int64_t elapsedMilliseconds, std::int32_t bpm)
{
    const float beatsPerMillisecond = static_cast<float>(bpm) / 60.0f / 1000.0f;
    return static_cast<float>(elapsedMilliseconds) * beatsPerMillisecond;
}

QD_Sync::QD_Sync(const QD_SyncSettings& settings)
    : method(settings.method), bpm(settings.bpm), midiDevice(settings.midiDevice)
{
    if (method == QD_SYNC_METHOD_BPM)
        return;
    if (method != QD_SYNC_METHOD_MIDI) {
        QC_FlushLog(QC_GetLog());
        QC_FATAL("Unkown method %d.", method);
    }

    const int queryError = QP_QueryMidiInputPort(midiDevice);
    if (queryError != QP_MIDI_ERROR_NONE) {
        // The sync stays without input: the position stays 0 and nothing is dispatched.
        QC_ERROR("Failed to get info about midi device %d. Last error is %d.", static_cast<int>(midiDevice),
                 queryError);
        return;
    }
    const int openError = midiIn.Open(midiDevice, &QD_Sync::MidiInputCallback, this);
    if (openError != QP_MIDI_ERROR_NONE)
        QC_ERROR("Failed to open midi device. Error is %d.", openError);
}

QD_Sync::~QD_Sync()
{
    // Joins the input thread: no MIDI message reaches this object afterwards.
    midiIn.Close();
}

void QD_Sync::Start()
{
    if (method != QD_SYNC_METHOD_BPM)
        return;
    timer.Start();
    started = true;
    baseMilliseconds = 0;
    position.store(0.0f, std::memory_order_relaxed);
}

std::int64_t QD_Sync::GetSongMilliseconds() const
{
    if (method != QD_SYNC_METHOD_BPM || !started)
        return 0;
    return baseMilliseconds + (paused ? 0 : timer.ElapsedMilliseconds() / slowdown);
}

void QD_Sync::SetSlowdown(std::int32_t divisor)
{
    if (method != QD_SYNC_METHOD_BPM)
        return;
    const std::int32_t wanted = divisor > 0 ? divisor : 1;
    if (wanted == slowdown)
        return;
    // The time played so far stays; only what the timer adds from now on is slowed.
    baseMilliseconds = GetSongMilliseconds();
    timer.Start();
    slowdown = wanted;
}

void QD_Sync::SetPaused(bool pause)
{
    if (method != QD_SYNC_METHOD_BPM || pause == paused)
        return;
    if (!pause) {
        timer.Start();
        paused = false;
        return;
    }
    baseMilliseconds = GetSongMilliseconds();
    paused = true;
    // Broadcast where it stopped, so GetBeat reads the held position from now on, not the one
    // of the last frame.
    DispatchBeat(QD_SyncBeatsAtMilliseconds(baseMilliseconds, bpm));
}

void QD_Sync::SetBeat(float beat)
{
    if (method != QD_SYNC_METHOD_BPM)
        return;
    // 0 also for NaN: a clock never runs from an undefined time.
    // Far beyond any song (about 30,000 years), so the millisecond count cannot overflow.
    constexpr double kLatestMilliseconds = 1e15;
    const double wanted = beat > 0.0f ? static_cast<double>(beat) : 0.0;
    const double milliseconds = bpm > 0 ? wanted * 60000.0 / static_cast<double>(bpm) : 0.0;
    baseMilliseconds = static_cast<std::int64_t>(std::llround(std::min(milliseconds, kLatestMilliseconds)));
    timer.Start();
    started = true;
    DispatchBeat(QD_SyncBeatsAtMilliseconds(baseMilliseconds, bpm));
}

void QD_Sync::Update()
{
    if (method != QD_SYNC_METHOD_BPM)
        return;
    // Before Start there is no running timer: the song has not begun, so the position is 0.
    UpdateAtMilliseconds(GetSongMilliseconds());
}

void QD_Sync::UpdateAtMilliseconds(std::int64_t elapsedMilliseconds)
{
    if (method != QD_SYNC_METHOD_BPM)
        return;
    DispatchBeat(QD_SyncBeatsAtMilliseconds(elapsedMilliseconds, bpm));
}

void QD_Sync::OnMidiMessage(std::uint32_t status, std::uint32_t, std::uint32_t, std::uint32_t)
{
    switch (status & 0xFF) {
    case kMidiTimingClock:
        // Saturates instead of overflowing after 2^31 clocks (years of playing).
        if (clockCount < INT32_MAX)
            ++clockCount;
        DispatchBeat(static_cast<float>(clockCount) / kMidiClocksPerBeat);
        break;
    case kMidiStop:
        clockCount = 0;
        position.store(0.0f, std::memory_order_relaxed);
        break;
    default:
        // Start, continue, song position and channel messages do not move the clock.
        break;
    }
}

void QD_Sync::MidiInputCallback(void* context, QP_MidiInputEvent event, std::uint32_t param1, std::uint32_t param2)
{
    QD_Sync* sync = static_cast<QD_Sync*>(context);
    switch (event) {
    case QP_MIDI_INPUT_DATA:
        sync->OnMidiMessage(param1, param1 >> 8, param1 >> 16, param2);
        break;
    case QP_MIDI_INPUT_ERROR:
        QC_ERROR("Midi error occured.");
        break;
    default:
        break;
    }
}

void QD_Sync::DispatchBeat(float newPosition)
{
    position.store(newPosition, std::memory_order_relaxed);
    Dispatch();
}

void QD_Sync::Dispatch()
{
    std::lock_guard<std::recursive_mutex> lock(listenersLock);
    // The copy is iterated: a nested dispatch would clear it under the loop.
    QC_ASSERT(!dispatching, "Beat dispatched from inside a beat listener.");
    dispatching = true;
    // clear + insert keeps dispatchCopy's buffer: no allocation once it has grown to the
    // listener count.
    dispatchCopy.clear();
    dispatchCopy.insert(dispatchCopy.end(), listeners.begin(), listeners.end());
    const QD_SyncBeatEvent event{position.load(std::memory_order_relaxed)};
    for (const QD_SyncListener& listener : dispatchCopy)
        listener.Run(event);
    dispatching = false;
}

void QD_Sync::AddListener(const QD_SyncListener& listener)
{
    std::lock_guard<std::recursive_mutex> lock(listenersLock);
    listeners.push_back(listener);
}

bool QD_Sync::RemoveListener(const QD_SyncListener& listener)
{
    std::lock_guard<std::recursive_mutex> lock(listenersLock);
    for (auto it = listeners.begin(); it != listeners.end(); ++it) {
        if (it->IsSameBinding(listener)) {
            listeners.erase(it);
            return true;
        }
    }
    return false;
}

std::uint32_t QD_Sync::ListenerCount() const
{
    std::lock_guard<std::recursive_mutex> lock(listenersLock);
    return static_cast<std::uint32_t>(listeners.size());
}

QD_Sync* QD_CreateSync(const QD_SyncSettings& settings)
{
    QC_ASSERT(g_sync == nullptr, "Sync created twice.");
    g_sync = new QD_Sync(settings);
    return g_sync;
}

QD_Sync* QD_GetSync()
{
    return g_sync;
}

void QD_DestroySync()
{
    delete g_sync;
    g_sync = nullptr;
}
