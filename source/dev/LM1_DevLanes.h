#pragma once
// Which channels the timeline panel shows as lanes, and what each lane reads. By default: the
// block of 100 channels that the scene under the playhead reads from its part's script (scene N
// of a part reads N x 100 to N x 100 + 99) and every channel of the timeline script; with a
// filter, every channel of both scripts whose number or name holds the filter's text; pinned
// lanes always, first. A lane is named by its channel number and the comment its script line
// carries. Logic only: tests give it scripts of their own.
//
//   LM1_DevLanes lanes;
//   lanes.SetScripts({"scene.qcs", timeline, timelineText}, {"o.qcs", partO, partOText}, 101);
//   lanes.SetFilter("speed");  lanes.TogglePin("o.qcs", 107);
//   for (const LM1_DevLane& lane : lanes.Lanes()) ...;
//   LM1_DevLanes::Sample(*lane.channel, syncBeat, beats, values);   // the demo's own values
//
// Lanes hold their channel, so its keys (beat and value, in script order) are at hand for
// whoever marks or edits them.

#include "QD_Sequencer.h"
#include "QD_SequencerSpline.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct LM1_DevLaneScript
{
    std::string name; // the script's file name, "scene.qcs", "o.qcs" ...
    QC_Ptr<QD_Sequencer> sequencer;
    std::string text; // the script's text, for the comments
};

struct LM1_DevLane
{
    std::string script;
    std::int32_t channelNumber = 0;
    std::string name; // "105 fall speed"
    bool pinned = false;
    QC_Ptr<QD_SequencerChannel> channel;
    // The channel's keys when it is a spline (empty for constants and beat ramps).
    std::vector<QD_SequencerKey> keys;
};

class LM1_DevLanes
{
public:
    // The comment of each channel's statement: for a line "N = ...; // comment", N's comment
    // (the first statement of N counts); a statement without one takes the first line of the
    // comment block right above it, less a leading "N:". Lines that assign nothing are skipped.
    static std::map<std::int32_t, std::string> ReadComments(const std::string& scriptText);
    // The value the demo reads at each of beats, given the sync's last broadcast position.
    static void Sample(const QD_SequencerChannel& channel, float syncBeat, const std::vector<float>& beats,
                       std::vector<float>& values);

    // timeline: the timeline script; part: the script of the scene's part (its sequencer may be
    // null); scene: the scene number under the playhead. Lanes are rebuilt only when something
    // changed.
    void SetScripts(const LM1_DevLaneScript& timeline, const LM1_DevLaneScript& part, std::int32_t scene);
    void SetFilter(const std::string& text);
    const std::string& Filter() const { return filter; }
    void TogglePin(const std::string& script, std::int32_t channelNumber);

    const std::vector<LM1_DevLane>& Lanes() const { return lanes; }

private:
    struct Source
    {
        LM1_DevLaneScript script;
        std::map<std::int32_t, std::string> comments;
    };

    void Take(Source& source, const LM1_DevLaneScript& script, bool& changed);
    void Rebuild();
    void AddLane(const Source& source, std::int32_t number, bool pinned);
    bool Matches(const LM1_DevLane& lane) const;

    Source timeline;
    Source part;
    std::int32_t scene = -1;
    std::string filter;
    std::set<std::pair<std::string, std::int32_t>> pins;
    std::vector<LM1_DevLane> lanes;
};
