// Fuzz target: sequencer script parsing, then evaluation of every channel it builds at
// ordinary and extreme song positions. Errors are reported through the log (run with
// -close_fd_mask=2 to keep them off the terminal); only crashes and sanitizer findings count.

#include "QD_Sequencer.h"
#include "QD_SequencerBeat.h"
#include "QD_SequencerSpline.h"
#include "QD_Sequencer_QCS.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace
{
const float kPositions[] = {
    0.0f, 0.5f, 1.0f, 3.75f, 16.0f, 1000.25f, -1.0f, 3.0e9f, 1.0e30f,
    std::numeric_limits<float>::max(), std::numeric_limits<float>::infinity(),
    -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
};
constexpr std::size_t kMaxInput = 1 << 16;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > kMaxInput)
        return 0;
    QC_Ptr<QD_Sequencer> sequencer;
    if (!QD_ParseSequencerText(reinterpret_cast<const char*>(data), static_cast<std::uint32_t>(size), sequencer))
        return 0;
    // The token spans an editor rewrites lie inside the text, one statement per channel object.
    QD_ScriptSyntax syntax;
    QC_Ptr<QD_Sequencer> again;
    if (!QD_ParseSequencerSyntax(reinterpret_cast<const char*>(data), static_cast<std::uint32_t>(size), again, syntax) ||
        syntax.statements.size() != sequencer->AllChannels().size())
        std::abort();
    for (const QD_StatementSyntax& statement : syntax.statements) {
        if (statement.semicolon.End() > size || statement.head.End() > statement.semicolon.offset)
            std::abort();
        for (const QD_KeySyntax& key : statement.keys) {
            if (key.value.End() > statement.semicolon.offset || key.beat.End() > key.value.offset)
                std::abort();
        }
    }
    volatile float sink = 0.0f;
    for (const QC_Ptr<QD_SequencerChannel>& channel : sequencer->AllChannels()) {
        for (float position : kPositions) {
            const QD_SyncBeatEvent event{position};
            if (auto* spline = dynamic_cast<QD_SequencerSpline*>(channel.Get()))
                spline->OnBeat(event);
            else if (auto* beat = dynamic_cast<QD_SequencerBeat*>(channel.Get()))
                beat->OnBeat(event);
            sink = sink + channel->GetFloat(0.0f) + channel->GetFloat(-0.5f);
            sink = sink + (channel->GetBool(0.25f) ? 1.0f : 0.0f);
        }
    }
    // The table's first slots and its end (one past the last slot reads 0), not all 65536.
    const std::uint32_t tableSize = sequencer->ChannelTableSize();
    for (std::uint32_t number = 0; number < 256 && number <= tableSize; ++number)
        sink = sink + sequencer->GetValue(static_cast<std::int32_t>(number));
    sink = sink + sequencer->GetValue(static_cast<std::int32_t>(tableSize)) +
           sequencer->GetValue(static_cast<std::int32_t>(tableSize) - 1);
    return 0;
}
