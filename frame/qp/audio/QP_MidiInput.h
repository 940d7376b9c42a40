#pragma once
// MIDI input from one port of the system's MIDI sequencer (the ALSA sequencer on Linux).
//
//   int error = QP_QueryMidiInputPort(portIndex);      // 0: the port exists
//   QP_MidiInput input;
//   error = input.Open(portIndex, &MyCallback, me);    // 0: messages now reach MyCallback
//   ...
//   input.Close();                                     // also done by the destructor
//
// Messages arrive on the MIDI library's own input thread, in the shape of the system's short
// message: status byte | first data byte << 8 | second data byte << 16, with a timestamp in
// milliseconds since the port was opened. Messages longer than three bytes (system exclusive)
// are not delivered. Errors are returned as codes, never thrown: the MIDI library's exceptions
// stop at this unit. Nothing outside frame/qp includes the MIDI library's header.

#include <cstddef>
#include <cstdint>

enum QP_MidiInputEvent : int
{
    // A short message: param1 = packed message, param2 = timestamp in milliseconds.
    QP_MIDI_INPUT_DATA = 0,
    // The driver met a message it could not read: params are 0.
    QP_MIDI_INPUT_ERROR = 1,
};

using QP_MidiInputCallback = void (*)(void* context, QP_MidiInputEvent event, std::uint32_t param1,
                                      std::uint32_t param2);

// Error codes returned by the functions below (0 is success). Codes from 2 up are the MIDI
// library's own error kinds.
constexpr int QP_MIDI_ERROR_NONE = 0;
constexpr int QP_MIDI_ERROR_NO_SUCH_PORT = 1;

// Packs one to three message bytes as a short message (status | data1 << 8 | data2 << 16).
// False for an empty message or one longer than three bytes, which is not delivered.
bool QP_PackMidiShortMessage(const std::uint8_t* bytes, std::size_t count, std::uint32_t* packed);

// Checks that input port portIndex exists. Returns 0 when it does, otherwise an error code
// (QP_MIDI_ERROR_NO_SUCH_PORT when the sequencer works but has fewer ports).
int QP_QueryMidiInputPort(std::uint32_t portIndex);

class QP_MidiInput
{
public:
    QP_MidiInput() = default;
    ~QP_MidiInput();
    QP_MidiInput(const QP_MidiInput&) = delete;
    QP_MidiInput& operator=(const QP_MidiInput&) = delete;

    // Opens port portIndex and starts delivering its timing, stop and channel messages to
    // callback (on the input thread). Returns 0, or an error code with nothing left open.
    int Open(std::uint32_t portIndex, QP_MidiInputCallback callback, void* context);
    // Stops delivery; when it returns the callback is no longer running and will not run.
    void Close();
    bool IsOpen() const { return state != nullptr; }

    struct State;

private:
    State* state = nullptr;
};
