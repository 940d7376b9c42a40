#include "QP_MidiInput.h"

// The only unit that includes the MIDI library. It throws RtMidiError (and may throw
// std::bad_alloc); every call into it is wrapped so that callers only ever see error codes.
#include <rtmidi/RtMidi.h>

#include <atomic>
#include <exception>
#include <string>
#include <vector>

namespace
{
const char* const kClientName = "Velvet Cascade";
const char* const kPortName = "Velvet Cascade Clock";

// Warnings are not failures; every other kind becomes a code of 2 or more (the library's
// own numbering, which starts its failures at 2).
int ErrorCodeOf(RtMidiError::Type type)
{
    const int code = static_cast<int>(type);
    return code < static_cast<int>(RtMidiError::UNSPECIFIED) ? static_cast<int>(RtMidiError::UNSPECIFIED) : code;
}

bool IsWarning(RtMidiError::Type type)
{
    return type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING;
}

// Collects the first failure reported through the library's error callback (which replaces
// its exceptions once installed).
void RecordError(RtMidiError::Type type, const std::string&, void* userData)
{
    if (IsWarning(type))
        return;
    std::atomic<int>* error = static_cast<std::atomic<int>*>(userData);
    int expected = 0;
    error->compare_exchange_strong(expected, ErrorCodeOf(type));
}
} // namespace

struct QP_MidiInput::State
{
    RtMidiIn* input = nullptr;
    QP_MidiInputCallback callback = nullptr;
    void* context = nullptr;
    // First failure seen while opening; 0 while none.
    std::atomic<int> openError{0};
    // Set once Open has succeeded: from then on library errors are passed to the callback.
    std::atomic<bool> open{false};
    // Seconds since the port opened, summed from the library's deltas (input thread only).
    double seconds = 0.0;
};

namespace
{
void OnLibraryError(RtMidiError::Type type, const std::string& text, void* userData)
{
    QP_MidiInput::State* state = static_cast<QP_MidiInput::State*>(userData);
    if (state->open.load(std::memory_order_acquire))
        state->callback(state->context, QP_MIDI_INPUT_ERROR, 0, 0);
    else
        RecordError(type, text, &state->openError);
}

void OnLibraryMessage(double deltaSeconds, std::vector<unsigned char>* message, void* userData)
{
    QP_MidiInput::State* state = static_cast<QP_MidiInput::State*>(userData);
    state->seconds += deltaSeconds;
    std::uint32_t packed = 0;
    if (!message || !QP_PackMidiShortMessage(message->data(), message->size(), &packed))
        return;
    // The system's timestamp is a 32-bit millisecond count that wraps.
    const std::uint32_t milliseconds = static_cast<std::uint32_t>(static_cast<std::uint64_t>(state->seconds * 1000.0));
    state->callback(state->context, QP_MIDI_INPUT_DATA, packed, milliseconds);
}

void DestroyInput(RtMidiIn* input)
{
    try {
        delete input; // closes the port and joins the input thread
    } catch (...) {
        // A failing close leaves nothing for the caller to do.
    }
}
} // namespace

bool QP_PackMidiShortMessage(const std::uint8_t* bytes, std::size_t count, std::uint32_t* packed)
{
    if (count == 0 || count > 3)
        return false;
    std::uint32_t message = 0;
    for (std::size_t i = 0; i < count; ++i)
        message |= std::uint32_t(bytes[i]) << (8 * i);
    *packed = message;
    return true;
}

int QP_QueryMidiInputPort(std::uint32_t portIndex)
{
    try {
        RtMidiIn input(RtMidi::LINUX_ALSA, kClientName);
        std::atomic<int> error{0};
        input.setErrorCallback(&RecordError, &error);
        const unsigned int count = input.getPortCount();
        if (error.load() != 0)
            return error.load();
        return portIndex < count ? QP_MIDI_ERROR_NONE : QP_MIDI_ERROR_NO_SUCH_PORT;
    } catch (const RtMidiError& failure) {
        return ErrorCodeOf(failure.getType());
    } catch (const std::exception&) {
        return ErrorCodeOf(RtMidiError::UNSPECIFIED);
    }
}

QP_MidiInput::~QP_MidiInput()
{
    Close();
}

int QP_MidiInput::Open(std::uint32_t portIndex, QP_MidiInputCallback callback, void* context)
{
    Close();
    State* opening = new State;
    opening->callback = callback;
    opening->context = context;
    int error = QP_MIDI_ERROR_NONE;
    try {
        opening->input = new RtMidiIn(RtMidi::LINUX_ALSA, kClientName);
        opening->input->setErrorCallback(&OnLibraryError, opening);
        // Keep timing clock messages (the library drops them by default); system exclusive and
        // active sensing stay filtered out.
        opening->input->ignoreTypes(true, false, true);
        opening->input->setCallback(&OnLibraryMessage, opening);
        opening->input->openPort(portIndex, kPortName);
        error = opening->openError.load();
        if (error == QP_MIDI_ERROR_NONE && !opening->input->isPortOpen())
            error = ErrorCodeOf(RtMidiError::DRIVER_ERROR);
    } catch (const RtMidiError& failure) {
        error = ErrorCodeOf(failure.getType());
    } catch (const std::exception&) {
        error = ErrorCodeOf(RtMidiError::UNSPECIFIED);
    }
    if (error != QP_MIDI_ERROR_NONE) {
        DestroyInput(opening->input);
        delete opening;
        return error;
    }
    opening->open.store(true, std::memory_order_release);
    state = opening;
    return QP_MIDI_ERROR_NONE;
}

void QP_MidiInput::Close()
{
    if (!state)
        return;
    DestroyInput(state->input);
    delete state;
    state = nullptr;
}
