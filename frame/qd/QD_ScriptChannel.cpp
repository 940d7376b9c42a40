#include "QD_ScriptChannel.h"

#include "QD_SequencerBeat.h"
#include "QD_SequencerConst.h"

#include <bit>

namespace
{
bool SameBits(float a, float b)
{
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}
} // namespace

bool QD_ScriptChannel::operator==(const QD_ScriptChannel& other) const
{
    if (kind != other.kind || !SameBits(value, other.value))
        return false;
    if (kind != QD_SCRIPT_SPLINE)
        return true;
    if (splineType != other.splineType || keys.size() != other.keys.size())
        return false;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!SameBits(keys[i].beat, other.keys[i].beat) || !SameBits(keys[i].value, other.keys[i].value))
            return false;
    }
    return true;
}

QD_ScriptChannel QD_DescribeChannel(const QD_SequencerChannel& channel)
{
    QD_ScriptChannel described;
    if (const auto* spline = dynamic_cast<const QD_SequencerSpline*>(&channel)) {
        described.kind = QD_SCRIPT_SPLINE;
        described.splineType = spline->Type();
        described.keys = spline->Keys();
    } else if (const auto* beat = dynamic_cast<const QD_SequencerBeat*>(&channel)) {
        described.kind = QD_SCRIPT_BEAT;
        described.value = beat->Amplifier();
    } else if (const auto* constant = dynamic_cast<const QD_SequencerConst*>(&channel)) {
        described.value = constant->Value();
    }
    return described;
}

std::map<std::uint32_t, QD_ScriptChannel> QD_DescribeChannels(const QD_Sequencer& sequencer)
{
    std::map<std::uint32_t, QD_ScriptChannel> channels;
    for (std::uint32_t number = 0; number < sequencer.ChannelTableSize(); ++number) {
        if (const QD_SequencerChannel* channel = sequencer.GetChannel(static_cast<std::int32_t>(number)))
            channels.emplace(number, QD_DescribeChannel(*channel));
    }
    return channels;
}

const char* QD_SplineTypeName(std::int32_t splineType)
{
    switch (splineType) {
    case QD_SPLINE_LINEAR:
        return "linear";
    case QD_SPLINE_CATMULLROM:
        return "catmullrom";
    case QD_SPLINE_CONSTANT:
        return "constant";
    default:
        return nullptr;
    }
}
