#include "QD_Sequencer.h"

#include "QC_Log.h"

void QD_Sequencer::SetChannel(QD_SequencerChannel* channel, std::uint32_t number)
{
    QC_ASSERT(channel != nullptr, "Null sequencer channel.");
    QC_ASSERT(number <= QD_SEQUENCER_MAX_CHANNEL, "Channel %u is out of range.", number);
    if (number >= channelsByNumber.size()) {
        const std::size_t needed = std::size_t(number) + 1;
        if (needed > channelsByNumber.capacity()) {
            const std::size_t doubled = channelsByNumber.capacity() * 2;
            channelsByNumber.reserve(doubled > needed ? doubled : needed);
        }
        channelsByNumber.resize(needed);
    }
    channelsByNumber[number] = channel;
    allChannels.push_back(QC_Ptr<QD_SequencerChannel>(channel));
}

QD_SequencerChannel* QD_Sequencer::GetChannel(std::int32_t number) const
{
    if (number < 0 || static_cast<std::uint32_t>(number) >= channelsByNumber.size())
        return nullptr;
    return channelsByNumber[static_cast<std::uint32_t>(number)].Get();
}

float QD_Sequencer::GetValue(std::int32_t number) const
{
    const QD_SequencerChannel* channel = GetChannel(number);
    return channel ? channel->GetFloat(0.0f) : 0.0f;
}

void QD_Sequencer::SubscribeChannels() const
{
    for (const QC_Ptr<QD_SequencerChannel>& channel : allChannels)
        channel->Subscribe();
}
