#pragma once
// Where the scenes of the timeline change, for the workbench's Page Up / Page Down and its scene
// loop, read from the timeline script itself: the scene at a beat is the channel that channel 3
// names, truncated to a whole number, as the demo reads it.
//
//   std::vector<float> changes = LM1_FindSceneChanges(LM1_TimelineSceneAt(*timeline, syncBeat), 0, end);
//   const char* name = LM1_SceneName(113);   // "o13"
//
// Scripts are sampled, not solved: the scene is read every 1/8 beat and each change found is
// narrowed down by halving to within 1/1024 beat, then rounded to that grid. Changes closer
// together than the sampling step may be missed; the demo's scenes last bars, not fractions of
// a beat.

#include "QD_Sequencer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using LM1_SceneAtBeat = std::function<std::int32_t(float beat)>;

// The scene number at any beat, read from the timeline's channels. The channels follow the
// sync's song position; syncBeat must be the position they last received (the sync's GetBeat
// after its Update in the same frame).
LM1_SceneAtBeat LM1_TimelineSceneAt(const QC_Ptr<QD_Sequencer>& timeline, float syncBeat);

// The beats from fromBeat up to toBeat at which the scene number differs from just before,
// ascending; fromBeat itself is always the first entry.
std::vector<float> LM1_FindSceneChanges(const LM1_SceneAtBeat& sceneAt, float fromBeat, float toBeat);

// The first beat at which the timeline's run channel (2) is 0, searched up to limit (limit when
// it never is).
float LM1_FindRunEnd(const QD_Sequencer& timeline, float syncBeat, float limit);

// The range of one scene on the timeline; fadeIn: the beats over which it cross-fades from the
// scene before (1 where the transition channel reads 1 at its start, else 0).
struct LM1_SceneRange
{
    float start = 0.0f;
    float end = 0.0f;
    std::int32_t scene = -1;
    float fadeIn = 0.0f;
};

// The ranges between consecutive changes (LM1_FindSceneChanges), the last one ending at runEnd.
std::vector<LM1_SceneRange> LM1_FindSceneRanges(const QC_Ptr<QD_Sequencer>& timeline, float syncBeat,
                                                const std::vector<float>& changes, float runEnd);

// "o1".."o99" for 101-199, "p1".. for 201-299, "t1".. for 301-399 (the part letter and the
// number within the part), "-" for numbers no part draws.
std::string LM1_SceneName(std::int32_t scene);
