#pragma once
// A channel of a sequencer script as plain data: what it is and the numbers the script gives
// it, without the song position it follows. Editors compare and change these; the sequencer's
// channel objects stay immutable.
//
//   std::map<std::uint32_t, QD_ScriptChannel> channels = QD_DescribeChannels(*sequencer);
//   if (channels[11].kind == QD_SCRIPT_SPLINE) ... channels[11].keys[2].value ...

#include "QD_Sequencer.h"
#include "QD_SequencerSpline.h"

#include <cstdint>
#include <map>
#include <vector>

enum QD_ScriptChannelKind : std::int32_t
{
    QD_SCRIPT_CONSTANT = 0, // value
    QD_SCRIPT_SPLINE = 1,   // splineType and keys
    QD_SCRIPT_BEAT = 2,     // value is the rate (amplifier)
};

struct QD_ScriptChannel
{
    QD_ScriptChannelKind kind = QD_SCRIPT_CONSTANT;
    std::int32_t splineType = QD_SPLINE_LINEAR;
    float value = 0.0f;
    std::vector<QD_SequencerKey> keys;

    // Floats compare by their bits: -0 differs from 0, and every number is what was written.
    bool operator==(const QD_ScriptChannel& other) const;
};

// The channel object in its plain form.
QD_ScriptChannel QD_DescribeChannel(const QD_SequencerChannel& channel);
// Every assigned channel of the sequencer by number (for a number assigned twice, the later
// statement, the one that is read).
std::map<std::uint32_t, QD_ScriptChannel> QD_DescribeChannels(const QD_Sequencer& sequencer);
// The name a script gives a spline type ("linear", "catmullrom", "constant"); null for none.
const char* QD_SplineTypeName(std::int32_t splineType);
