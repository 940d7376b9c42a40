#include "support/SeqTestSupport.h"

#include "QD_Sequencer.h"
#include "QD_SequencerBeat.h"
#include "QD_SequencerSpline.h"
#include "QD_Sync.h"
#include "QP_MidiInput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace
{
// A MIDI-mode sync on a port that exists nowhere: it reports and stays without input, which
// leaves OnMidiMessage as the only way in, as on the MIDI thread.
constexpr std::uint32_t kMissingPort = 1000000;

QD_SyncSettings MidiSettings(std::uint32_t port)
{
    QD_SyncSettings settings;
    settings.method = QD_SYNC_METHOD_MIDI;
    settings.bpm = 120;
    settings.midiDevice = port;
    return settings;
}

QD_SyncSettings BpmSettings(int bpm)
{
    QD_SyncSettings settings;
    settings.method = QD_SYNC_METHOD_BPM;
    settings.bpm = bpm;
    return settings;
}

// Records the positions of the events it receives.
struct Recorder
{
    std::vector<float> positions;
    void OnBeat(const QD_SyncBeatEvent& event) { positions.push_back(event.position); }
};

constexpr std::uint32_t kClock = 0xF8;
constexpr std::uint32_t kStop = 0xFC;
} // namespace

TEST(QD_SyncTest, BpmPositionIsWholeMillisecondsTimesBeatsPerMillisecond)
{
    EXPECT_FLOAT_EQ(QD_SyncBeatsAtMilliseconds(1500, 120), 3.0f);
    EXPECT_EQ(QD_SyncBeatsAtMilliseconds(1, 120), 0.002f);
    EXPECT_EQ(QD_SyncBeatsAtMilliseconds(0, 120), 0.0f);
    EXPECT_EQ(QD_SyncBeatsAtMilliseconds(500, 60), 0.5f);
    EXPECT_FLOAT_EQ(QD_SyncBeatsAtMilliseconds(60000, 174), 174.0f);

    QD_Sync sync(BpmSettings(120));
    Recorder recorder;
    sync.AddListener(QC_Bind(&Recorder::OnBeat, &recorder));
    sync.UpdateAtMilliseconds(1500);
    EXPECT_FLOAT_EQ(sync.GetBeat(), 3.0f);
    sync.UpdateAtMilliseconds(1);
    EXPECT_EQ(sync.GetBeat(), 0.002f);
    ASSERT_EQ(recorder.positions.size(), 2u);
    EXPECT_FLOAT_EQ(recorder.positions[0], 3.0f);
    EXPECT_EQ(recorder.positions[1], 0.002f);
    EXPECT_FALSE(sync.HasMidiInput()) << "BPM mode opens nothing";
}

TEST(QD_SyncTest, BpmPositionReadsZeroUntilStart)
{
    QD_Sync sync(BpmSettings(120));
    Recorder recorder;
    sync.AddListener(QC_Bind(&Recorder::OnBeat, &recorder));
    sync.UpdateAtMilliseconds(1000);
    EXPECT_EQ(sync.GetBeat(), 2.0f);
    sync.Update(); // no timer running yet: the song has not begun
    EXPECT_EQ(sync.GetBeat(), 0.0f);
    ASSERT_EQ(recorder.positions.size(), 2u);
    EXPECT_EQ(recorder.positions[1], 0.0f);

    sync.UpdateAtMilliseconds(1000);
    sync.Start();
    EXPECT_EQ(sync.GetBeat(), 0.0f) << "Start sets the position to 0";
    sync.Update();
    // Only that the timer runs from 0; how long the call took is not the test's business.
    EXPECT_GE(sync.GetBeat(), 0.0f);
    EXPECT_EQ(recorder.positions.size(), 4u);
}

TEST(QD_SyncTest, MidiClocksAdvanceByATwentyFourthAndStopResetsWithoutDispatch)
{
    LogCapture log;
    QD_Sync sync(MidiSettings(kMissingPort));
    Recorder recorder;
    sync.AddListener(QC_Bind(&Recorder::OnBeat, &recorder));

    for (int i = 0; i < 48; ++i)
        sync.OnMidiMessage(kClock, 0, 0, static_cast<std::uint32_t>(i * 20));
    EXPECT_EQ(sync.GetBeat(), 2.0f);
    ASSERT_EQ(recorder.positions.size(), 48u);
    EXPECT_EQ(recorder.positions[0], 1.0f / 24.0f);
    EXPECT_EQ(recorder.positions[23], 1.0f);
    EXPECT_EQ(recorder.positions[47], 2.0f);

    sync.OnMidiMessage(kStop, 0, 0, 0);
    EXPECT_EQ(sync.GetBeat(), 0.0f);
    EXPECT_EQ(recorder.positions.size(), 48u) << "a stop does not dispatch";
    sync.OnMidiMessage(kClock, 0, 0, 0);
    EXPECT_EQ(sync.GetBeat(), 1.0f / 24.0f);
    EXPECT_EQ(recorder.positions.size(), 49u);

    // Only the low byte of status counts; start, continue, song position and channel
    // messages leave the clock alone.
    for (std::uint32_t status : {0xFAu, 0xFBu, 0xF2u, 0x90u, 0xB0u, 0xF800u})
        sync.OnMidiMessage(status, 0, 0, 0);
    EXPECT_EQ(sync.GetBeat(), 1.0f / 24.0f);
    sync.OnMidiMessage(0x1234F8u, 0, 0, 0);
    EXPECT_EQ(sync.GetBeat(), 2.0f / 24.0f);

    // In MIDI mode Start and Update leave the position to the clock.
    sync.Start();
    sync.Update();
    sync.UpdateAtMilliseconds(5000);
    EXPECT_EQ(sync.GetBeat(), 2.0f / 24.0f);
    EXPECT_EQ(recorder.positions.size(), 50u);
}

TEST(QD_SyncTest, PlatformCallbackUnpacksShortMessagesAndReportsDriverErrors)
{
    LogCapture log;
    QD_Sync sync(MidiSettings(kMissingPort));
    log.Clear();
    QD_Sync::MidiInputCallback(&sync, QP_MIDI_INPUT_DATA, 0x0000F8u, 10);
    QD_Sync::MidiInputCallback(&sync, QP_MIDI_INPUT_DATA, 0x0000F8u, 30);
    EXPECT_EQ(sync.GetBeat(), 2.0f / 24.0f);
    QD_Sync::MidiInputCallback(&sync, QP_MIDI_INPUT_DATA, 0x00407FFCu, 50);
    EXPECT_EQ(sync.GetBeat(), 0.0f);
    EXPECT_TRUE(log.Errors().empty());
    QD_Sync::MidiInputCallback(&sync, QP_MIDI_INPUT_ERROR, 0, 0);
    EXPECT_EQ(log.Errors(), (std::vector<std::string>{"Midi error occured."}));
}

TEST(QD_SyncTest, MidiBytesArePackedAsShortMessagesThatTheSyncUnpacks)
{
    std::uint32_t packed = 0;
    const std::uint8_t clock[] = {0xF8};
    ASSERT_TRUE(QP_PackMidiShortMessage(clock, 1, &packed));
    EXPECT_EQ(packed, 0xF8u);
    const std::uint8_t noteOn[] = {0x90, 0x40, 0x7F};
    ASSERT_TRUE(QP_PackMidiShortMessage(noteOn, 3, &packed));
    EXPECT_EQ(packed, 0x7F4090u);
    const std::uint8_t sysex[] = {0xF0, 0x7E, 0x7F, 0xF7};
    packed = 12345;
    EXPECT_FALSE(QP_PackMidiShortMessage(sysex, 4, &packed));
    EXPECT_FALSE(QP_PackMidiShortMessage(sysex, 0, &packed));
    EXPECT_EQ(packed, 12345u);

    // The same path a clock takes from the input thread: bytes, packed, unpacked by the sync.
    LogCapture log;
    QD_Sync sync(MidiSettings(kMissingPort));
    ASSERT_TRUE(QP_PackMidiShortMessage(clock, 1, &packed));
    for (int i = 0; i < 24; ++i)
        QD_Sync::MidiInputCallback(&sync, QP_MIDI_INPUT_DATA, packed, 0);
    EXPECT_EQ(sync.GetBeat(), 1.0f);
    const std::uint8_t stop[] = {0xFC};
    ASSERT_TRUE(QP_PackMidiShortMessage(stop, 1, &packed));
    QD_Sync::MidiInputCallback(&sync, QP_MIDI_INPUT_DATA, packed, 0);
    EXPECT_EQ(sync.GetBeat(), 0.0f);
}

TEST(QD_SyncTest, MidiDeviceThatCannotBeQueriedIsReportedAndLeavesTheSyncWithoutInput)
{
    LogCapture log;
    {
        QD_Sync sync(MidiSettings(kMissingPort));
        EXPECT_FALSE(sync.HasMidiInput());
        EXPECT_EQ(sync.GetBeat(), 0.0f);
        sync.Update();
        EXPECT_EQ(sync.GetBeat(), 0.0f);
    }
    const std::vector<CapturedReport> reports = log.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].level, QC_LOG_ERROR);
    EXPECT_EQ(reports[0].file, "frame/qd/QD_Sync.cpp");
    const std::string prefix = "Failed to get info about midi device 1000000. Last error is ";
    const std::string& message = reports[0].message;
    ASSERT_EQ(message.rfind(prefix, 0), 0u) << message;
    const std::string code = message.substr(prefix.size());
    EXPECT_TRUE(code.size() >= 2 && code.back() == '.' && code[0] >= '1' && code[0] <= '9' &&
                code.find_first_not_of("0123456789") == code.size() - 1)
        << message;

    // The platform layer answers with codes, never with an exception, also where the machine
    // has no MIDI sequencer at all.
    EXPECT_NE(QP_QueryMidiInputPort(kMissingPort), QP_MIDI_ERROR_NONE);
    QP_MidiInput input;
    EXPECT_NE(input.Open(kMissingPort, &QD_Sync::MidiInputCallback, nullptr), QP_MIDI_ERROR_NONE);
    EXPECT_FALSE(input.IsOpen());
    input.Close();
}

TEST(QD_SyncTest, DemoMidiSettingsNeverCrashCreation)
{
    // The demo's own port number: on a machine without a sequencer (or without that port) the
    // sync reports and carries on; where it opens, it is closed again cleanly.
    LogCapture log;
    QD_CreateSync(MidiSettings(3));
    EXPECT_EQ(QD_GetSync()->GetBeat(), 0.0f);
    const bool hasInput = QD_GetSync()->HasMidiInput();
    QD_DestroySync();
    EXPECT_EQ(QD_GetSync(), nullptr);
    if (!hasInput) {
        const std::vector<std::string> errors = log.Errors();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(errors[0].rfind("Failed to get info about midi device 3. Last error is ", 0) == 0 ||
                    errors[0].rfind("Failed to open midi device. Error is ", 0) == 0)
            << errors[0];
    }
}

TEST(QD_SyncTest, UnknownMethodIsFatal)
{
    QD_SyncSettings settings;
    settings.method = 2;
    EXPECT_EXIT(QD_Sync sync(settings), testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "Unkown method 2\\.");
}

TEST(QD_SyncTest, ListenersChangedDuringADispatchTakeEffectFromTheNextOne)
{
    QD_Sync sync(BpmSettings(120));
    std::vector<std::string> calls;
    struct Listener
    {
        QD_Sync* sync;
        std::vector<std::string>* calls;
        std::string name;
        Listener* toAdd = nullptr;
        Listener* toRemove = nullptr;
        QD_SyncListener self;
        void OnBeat(const QD_SyncBeatEvent&)
        {
            calls->push_back(name);
            if (toAdd) {
                sync->AddListener(toAdd->self);
                toAdd = nullptr;
            }
            if (toRemove) {
                EXPECT_TRUE(sync->RemoveListener(toRemove->self));
                toRemove = nullptr;
            }
        }
    };
    Listener a{&sync, &calls, "a", nullptr, nullptr, {}};
    Listener b{&sync, &calls, "b", nullptr, nullptr, {}};
    Listener c{&sync, &calls, "c", nullptr, nullptr, {}};
    Listener d{&sync, &calls, "d", nullptr, nullptr, {}};
    for (Listener* listener : {&a, &b, &c, &d})
        listener->self = QC_Bind(&Listener::OnBeat, listener);
    sync.AddListener(a.self);
    sync.AddListener(b.self);
    sync.AddListener(c.self);
    a.toAdd = &d;    // subscribes during the dispatch
    a.toRemove = &b; // unsubscribes a later listener during the dispatch
    c.toRemove = &c; // unsubscribes itself

    sync.DispatchBeat(1.0f);
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(sync.ListenerCount(), 2u);
    calls.clear();
    sync.DispatchBeat(2.0f);
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "d"}));
}

TEST(QD_SyncTest, DispatchWithoutListenersStillMovesThePosition)
{
    QD_Sync sync(BpmSettings(120));
    sync.UpdateAtMilliseconds(250);
    EXPECT_EQ(sync.GetBeat(), 0.5f);
    EXPECT_EQ(sync.ListenerCount(), 0u);
    Recorder recorder;
    const QD_SyncListener listener = QC_Bind(&Recorder::OnBeat, &recorder);
    EXPECT_FALSE(sync.RemoveListener(listener)) << "nothing to remove";
    // Removal finds the first entry with the same binding, not an equal-looking one.
    sync.AddListener(listener);
    sync.AddListener(QC_Bind(&Recorder::OnBeat, &recorder));
    EXPECT_TRUE(sync.RemoveListener(listener));
    EXPECT_FALSE(sync.RemoveListener(listener));
    EXPECT_EQ(sync.ListenerCount(), 1u);
}

TEST(QD_SyncTest, MidiThreadDispatchesWhileTheMainThreadSwapsSequencers)
{
    // The MIDI thread dispatches while the main thread subscribes new channels and destroys
    // old ones, as a script reload does during playback. Under the sanitizers this shows that
    // no listener is called after its channel has gone and that no value is raced on.
    LogCapture log;
    QD_CreateSync(MidiSettings(kMissingPort));
    QD_Sync* sync = QD_GetSync();
    std::atomic<bool> stop{false};
    std::thread midi([&] {
        while (!stop.load()) {
            sync->OnMidiMessage(kClock, 0, 0, 0);
            sync->OnMidiMessage(kClock, 0, 0, 0);
            sync->OnMidiMessage(kStop, 0, 0, 0);
        }
    });
    float lastRead = 0.0f;
    for (int round = 0; round < 300; ++round) {
        QC_Ptr<QD_Sequencer> sequencer(new QD_Sequencer);
        for (std::uint32_t number = 0; number < 8; ++number) {
            if (number % 2)
                sequencer->SetChannel(new QD_SequencerBeat(24.0f), number);
            else
                sequencer->SetChannel(new QD_SequencerSpline(QD_SPLINE_LINEAR, {{0.0f, 0.0f}, {1.0f, 24.0f}}), number);
        }
        sequencer->SubscribeChannels();
        for (std::int32_t number = 0; number < 8; ++number)
            lastRead = sequencer->GetValue(number);
        lastRead += sync->GetBeat();
    }
    stop.store(true);
    midi.join();
    EXPECT_EQ(sync->ListenerCount(), 0u);
    EXPECT_GE(lastRead, 0.0f);
    QD_DestroySync();
}
