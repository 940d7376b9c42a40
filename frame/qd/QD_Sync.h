#pragma once
// The musical clock. It turns an internal millisecond timer at a fixed tempo (BPM mode) or the
// timing clock of an external MIDI sequencer (MIDI mode) into a song position in beats, and
// broadcasts that position as a QD_SyncBeatEvent to its listeners (the sequencer's spline and
// beat channels).
//
//   QD_CreateSync({ .method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 3 });
//   QD_GetSync()->Start();            // in the frame the music starts
//   QD_GetSync()->Update();           // once per frame on the main thread
//   float beat = QD_GetSync()->GetBeat();
//   QD_DestroySync();
//
// BPM mode: the position is elapsed whole milliseconds × bpm / 60000, recomputed and broadcast
// by Update; it reads 0 until Start. MIDI mode: every timing clock (0xF8) advances it by 1/24
// beat and broadcasts it, a stop (0xFC) resets it to 0 without a broadcast; this happens on the
// MIDI input thread, and Start and Update do nothing.
//
// A workbench moves the clock (BPM mode): SetPaused holds the position where it is, SetBeat
// puts it at a beat (paused or running) and broadcasts it at once. The song time is then the
// time at the last SetBeat or pause plus the timer's milliseconds since, so after a seek the
// clock and the music (seeked to the same time) run on together. In MIDI mode the external
// sequencer owns the clock and both do nothing.
//
// Threads: the position is a relaxed atomic, read by the main thread while the MIDI thread
// writes it. Listeners are added and removed on the main thread; the list is guarded by a
// recursive lock that a dispatch holds while it calls the listeners, so in MIDI mode a channel
// that unsubscribes in its destructor is never called afterwards, and a listener may still add
// or remove listeners from inside its own call.

#include "QC_Callback.h"
#include "QC_Timer.h"
#include "QD_SyncMidiInDelegate.h"
#include "QP_MidiInput.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

struct QD_SyncBeatEvent
{
    float position; // song position in beats since the start
};

enum QD_SyncMethod : std::int32_t
{
    QD_SYNC_METHOD_MIDI = 0,
    QD_SYNC_METHOD_BPM = 1,
};

// Start-up configuration, in the order the demo's constants give it.
struct QD_SyncSettings
{
    std::int32_t method = QD_SYNC_METHOD_BPM; // any other value than 0 and 1 is fatal
    std::int32_t bpm = 120;                   // tempo in BPM mode
    std::uint32_t midiDevice = 0;             // MIDI input port index in MIDI mode
};

using QD_SyncListener = QC_Callback<void(const QD_SyncBeatEvent&)>;

// The BPM-mode conversion: milliseconds (whole, as float) × (bpm / 60 / 1000), all in 32-bit
// floats, so the position advances in steps of bpm / 60000 beats.
float QD_SyncBeatsAtMilliseconds(std::int64_t elapsedMilliseconds, std::int32_t bpm);

class QD_Sync : public QD_SyncMidiInDelegate
{
public:
    // Opens the MIDI input in MIDI mode; a device that cannot be queried or opened is reported
    // at level 2 and leaves the sync without input (position 0). An unknown method is fatal.
    explicit QD_Sync(const QD_SyncSettings& settings);
    ~QD_Sync() override;
    QD_Sync(const QD_Sync&) = delete;
    QD_Sync& operator=(const QD_Sync&) = delete;

    // BPM mode: starts the timer; the position becomes 0. MIDI mode: nothing.
    void Start();
    // BPM mode: recomputes the position from the timer (0 before Start) and dispatches it.
    // MIDI mode: nothing.
    void Update();
    // BPM mode: what Update does, for a given elapsed time instead of the timer's. Lets tools
    // and tests drive the clock without waiting.
    void UpdateAtMilliseconds(std::int64_t elapsedMilliseconds);
    float GetBeat() const { return position.load(std::memory_order_relaxed); }

    // BPM mode: holds the clock (broadcasting the held position at once; Update then broadcasts
    // it again each frame) or lets it run on.
    void SetPaused(bool paused);
    bool IsPaused() const { return paused; }
    // BPM mode: the clock reads beat from now on (starting it if Start was not called) and the
    // position is broadcast at once. A negative beat is taken as 0.
    void SetBeat(float beat);
    // BPM mode: the song time in whole milliseconds that Update reads now (0 before Start).
    std::int64_t GetSongMilliseconds() const;
    // BPM mode: slow motion, the song time running at 1 / divisor of the timer's (1 normal, 2
    // half speed, 4 a quarter), from the position it has now. 0 is taken as 1.
    void SetSlowdown(std::int32_t divisor);
    std::int32_t Slowdown() const { return slowdown; }

    // MIDI input: only the low byte of status is looked at (see the header comment).
    void OnMidiMessage(std::uint32_t status, std::uint32_t data1, std::uint32_t data2, std::uint32_t timestamp) override;

    // Sets the position and broadcasts it to every listener, in subscription order, over a copy
    // of the list.
    void DispatchBeat(float newPosition);

    // Appends a copy of listener (main thread).
    void AddListener(const QD_SyncListener& listener);
    // Removes the first listener with the same binding as listener, closing the gap; false when
    // there is none (main thread).
    bool RemoveListener(const QD_SyncListener& listener);
    std::uint32_t ListenerCount() const;

    std::int32_t Method() const { return method; }
    std::int32_t Bpm() const { return bpm; }
    std::uint32_t MidiDevice() const { return midiDevice; }
    bool HasMidiInput() const { return midiIn.IsOpen(); }

    // The platform MIDI callback: short messages go to OnMidiMessage, a driver error is
    // reported at level 2 ("Midi error occured."). context is the sync.
    static void MidiInputCallback(void* context, QP_MidiInputEvent event, std::uint32_t param1, std::uint32_t param2);

private:
    void Dispatch();

    std::vector<QD_SyncListener> listeners;
    std::vector<QD_SyncListener> dispatchCopy;
    // Guards listeners and dispatchCopy; recursive so that a listener may subscribe from
    // inside a dispatch.
    mutable std::recursive_mutex listenersLock;

    std::int32_t method;
    std::int32_t bpm;
    std::uint32_t midiDevice;
    QP_MidiInput midiIn;

    std::atomic<float> position{0.0f};
    std::int32_t clockCount = 0; // MIDI thread only
    QC_Timer timer;
    bool started = false;
    bool paused = false;
    std::int32_t slowdown = 1;
    std::int64_t baseMilliseconds = 0; // song time when the timer was last started
    bool dispatching = false; // guarded by listenersLock
};

// The process's sync (created at start-up, reached by the sequencer's channels).
QD_Sync* QD_CreateSync(const QD_SyncSettings& settings);
QD_Sync* QD_GetSync();
void QD_DestroySync();
