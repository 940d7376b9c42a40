#include "LM1_DevTimeline.h"

#include <cmath>

namespace
{
constexpr std::int32_t kTransitionChannel = 1;
constexpr std::int32_t kRunChannel = 2;
// The demo cross-fades for one beat where the transition channel reads 1.
constexpr std::int32_t kCrossFade = 1;
constexpr float kCrossFadeBeats = 1.0f;
constexpr std::int32_t kSceneSelectorChannel = 3;
constexpr float kSampleStep = 0.125f;
constexpr float kResolution = 1.0f / 1024.0f;

// A channel's value at an absolute beat: channels are read relative to their song position.
float ValueAt(const QD_Sequencer& timeline, std::int32_t channelNumber, float beat, float syncBeat)
{
    const QD_SequencerChannel* channel = timeline.GetChannel(channelNumber);
    return channel ? channel->GetFloat(beat - syncBeat) : 0.0f;
}

std::int32_t Truncated(float value)
{
    // Out-of-range and NaN values name no scene and no channel.
    if (!(value > -2147483648.0f && value < 2147483647.0f))
        return 0;
    return static_cast<std::int32_t>(value);
}

// The first beat in (low, high] with a value other than low's, narrowed down by halving.
template <typename ValueOf>
float NarrowDown(const ValueOf& valueAt, float low, float high)
{
    const auto before = valueAt(low);
    while (high - low > kResolution) {
        const float middle = low + (high - low) * 0.5f;
        if (valueAt(middle) == before)
            low = middle;
        else
            high = middle;
    }
    return std::round(high / kResolution) * kResolution;
}
} // namespace

LM1_SceneAtBeat LM1_TimelineSceneAt(const QC_Ptr<QD_Sequencer>& timeline, float syncBeat)
{
    QC_Ptr<QD_Sequencer> held = timeline;
    return [held, syncBeat](float beat) {
        const std::int32_t selector = Truncated(ValueAt(*held, kSceneSelectorChannel, beat, syncBeat));
        return Truncated(ValueAt(*held, selector, beat, syncBeat));
    };
}

std::vector<float> LM1_FindSceneChanges(const LM1_SceneAtBeat& sceneAt, float fromBeat, float toBeat)
{
    std::vector<float> changes{fromBeat};
    if (!(toBeat > fromBeat))
        return changes;
    std::int32_t previous = sceneAt(fromBeat);
    // Whole steps counted from fromBeat, so rounding never drifts over a long timeline.
    const std::int64_t steps = static_cast<std::int64_t>(std::ceil((toBeat - fromBeat) / kSampleStep));
    for (std::int64_t step = 1; step <= steps; ++step) {
        const float low = fromBeat + static_cast<float>(step - 1) * kSampleStep;
        const float high = std::fmin(fromBeat + static_cast<float>(step) * kSampleStep, toBeat);
        const std::int32_t scene = sceneAt(high);
        if (scene == previous)
            continue;
        changes.push_back(NarrowDown(sceneAt, low, high));
        previous = scene;
    }
    return changes;
}

float LM1_FindRunEnd(const QD_Sequencer& timeline, float syncBeat, float limit)
{
    const auto runAt = [&](float beat) { return Truncated(ValueAt(timeline, kRunChannel, beat, syncBeat)); };
    if (runAt(0.0f) == 0)
        return 0.0f;
    const std::int64_t steps = static_cast<std::int64_t>(std::ceil(limit / kSampleStep));
    for (std::int64_t step = 1; step <= steps; ++step) {
        const float high = std::fmin(static_cast<float>(step) * kSampleStep, limit);
        if (runAt(high) == 0)
            return NarrowDown(runAt, high - kSampleStep, high);
    }
    return limit;
}

std::vector<LM1_SceneRange> LM1_FindSceneRanges(const QC_Ptr<QD_Sequencer>& timeline, float syncBeat,
                                                const std::vector<float>& changes, float runEnd)
{
    std::vector<LM1_SceneRange> ranges;
    if (!timeline)
        return ranges;
    const LM1_SceneAtBeat sceneAt = LM1_TimelineSceneAt(timeline, syncBeat);
    for (std::size_t i = 0; i < changes.size(); ++i) {
        LM1_SceneRange range;
        range.start = changes[i];
        range.end = i + 1 < changes.size() ? changes[i + 1] : std::fmax(runEnd, changes[i]);
        range.scene = sceneAt(range.start);
        // The very first scene cuts in, whatever the channel says, as the demo does.
        const bool fades = i > 0 && Truncated(ValueAt(*timeline, kTransitionChannel, range.start, syncBeat)) == kCrossFade;
        range.fadeIn = fades ? kCrossFadeBeats : 0.0f;
        ranges.push_back(range);
    }
    return ranges;
}

std::string LM1_SceneName(std::int32_t scene)
{
    if (scene >= 100 && scene < 200)
        return "o" + std::to_string(scene - 100);
    if (scene >= 200 && scene < 300)
        return "p" + std::to_string(scene - 200);
    if (scene >= 300 && scene < 400)
        return "t" + std::to_string(scene - 300);
    return "-";
}
