#pragma once
// Receiver of MIDI short messages. The sync implements it; the platform's MIDI callback calls
// it on the MIDI input thread with the message split into its bytes.

#include <cstdint>

class QD_SyncMidiInDelegate
{
public:
    virtual ~QD_SyncMidiInDelegate() = default;
    // status: the status byte in its low byte; data1, data2: the data bytes in their low bytes;
    // timestamp: milliseconds since the input started.
    virtual void OnMidiMessage(std::uint32_t status, std::uint32_t data1, std::uint32_t data2,
                               std::uint32_t timestamp) = 0;
};
