#pragma once
// A sequencer: numbered channels built from one script. It is immutable once the script has
// parsed; a changed script yields a new sequencer that replaces the old one whole (and the old
// channels unsubscribe from the sync as they die).
//
//   QC_Ptr<QD_Sequencer> sequencer;
//   if (QD_ParseSequencerScript("assets/scene.qcs", sequencer))
//       sequencer->SubscribeChannels();           // main thread
//   float run = sequencer->GetValue(2);          // value at the last received song position

#include "QC_Ptr.h"
#include "QD_SequencerChannel.h"

#include <cstdint>
#include <vector>

// The highest channel number a sequencer accepts; the table has one slot per number up to the
// highest assigned one.
constexpr std::uint32_t QD_SEQUENCER_MAX_CHANNEL = 65535;

class QD_Sequencer : public QC_RefCounted
{
public:
    // Puts channel in slot number (growing the table, at least doubling its capacity; new
    // slots are empty), replacing what was there, and lists it in AllChannels. number above
    // QD_SEQUENCER_MAX_CHANNEL or a null channel is a programming error.
    void SetChannel(QD_SequencerChannel* channel, std::uint32_t number);

    // GetFloat(0) of channel number; 0 for a number that no statement assigned (an empty slot,
    // a negative number or one beyond the table).
    float GetValue(std::int32_t number) const;
    // The channel in slot number, or null.
    QD_SequencerChannel* GetChannel(std::int32_t number) const;
    // Slots in the table: one more than the highest assigned number (0 when empty).
    std::uint32_t ChannelTableSize() const { return static_cast<std::uint32_t>(channelsByNumber.size()); }
    // Every channel object made from the script, in statement order (a number assigned twice
    // appears twice, only the later one is in its slot).
    const std::vector<QC_Ptr<QD_SequencerChannel>>& AllChannels() const { return allChannels; }

    // Subscribe on every object of AllChannels, in order (main thread).
    void SubscribeChannels() const;

private:
    std::vector<QC_Ptr<QD_SequencerChannel>> channelsByNumber;
    std::vector<QC_Ptr<QD_SequencerChannel>> allChannels;
};
