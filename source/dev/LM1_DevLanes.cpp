#include "LM1_DevLanes.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace
{
constexpr std::int32_t kChannelsPerScene = 100;

std::string Lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r/");
    if (first == std::string::npos)
        return "";
    const std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// A block comment that names its channel first ("3: the scene numbers") loses the number,
// which the lane shows anyway.
std::string WithoutOwnNumber(const std::string& text, std::int32_t number)
{
    const std::string prefix = std::to_string(number) + ":";
    return text.rfind(prefix, 0) == 0 ? Trimmed(text.substr(prefix.size())) : text;
}

// The channel a line assigns ("  105 = 1.6;"), or -1.
std::int32_t AssignedChannel(const std::string& line)
{
    std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || !std::isdigit(static_cast<unsigned char>(line[at])))
        return -1;
    std::int64_t number = 0;
    while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])) && number <= QD_SEQUENCER_MAX_CHANNEL)
        number = number * 10 + (line[at++] - '0');
    at = line.find_first_not_of(" \t", at);
    if (number > QD_SEQUENCER_MAX_CHANNEL || at == std::string::npos || line[at] != '=')
        return -1;
    return static_cast<std::int32_t>(number);
}
} // namespace

std::map<std::int32_t, std::string> LM1_DevLanes::ReadComments(const std::string& scriptText)
{
    std::map<std::int32_t, std::string> comments;
    std::istringstream lines(scriptText);
    // The first line of the comment block right above a statement: its name when the
    // statement's own line carries none ("// 3: the scene numbers live in channel 10.").
    std::string above;
    bool inBlock = false;
    for (std::string line; std::getline(lines, line);) {
        const std::string trimmed = Trimmed(line);
        const bool wholeLineComment = line.find_first_not_of(" \t") == line.find("//") && line.find("//") != std::string::npos;
        if (wholeLineComment) {
            if (!inBlock)
                above = trimmed;
            inBlock = true;
            continue;
        }
        const std::int32_t number = AssignedChannel(line);
        const std::size_t comment = line.find("//");
        if (number >= 0 && !comments.count(number)) {
            if (comment != std::string::npos)
                comments[number] = Trimmed(line.substr(comment));
            else if (inBlock)
                comments[number] = WithoutOwnNumber(above, number);
        }
        inBlock = false;
        above.clear();
    }
    return comments;
}

void LM1_DevLanes::Sample(const QD_SequencerChannel& channel, float syncBeat, const std::vector<float>& beats,
                          std::vector<float>& values)
{
    // Channels are read relative to the song position they last received, as the scenes read
    // them (offset 0 is the playhead).
    values.resize(beats.size());
    for (std::size_t i = 0; i < beats.size(); ++i)
        values[i] = channel.GetFloat(beats[i] - syncBeat);
}

void LM1_DevLanes::Take(Source& source, const LM1_DevLaneScript& script, bool& changed)
{
    if (source.script.sequencer == script.sequencer && source.script.name == script.name)
        return;
    source.script = script;
    source.comments = ReadComments(script.text);
    changed = true;
}

void LM1_DevLanes::SetScripts(const LM1_DevLaneScript& timelineScript, const LM1_DevLaneScript& partScript,
                              std::int32_t sceneNumber)
{
    bool changed = sceneNumber != scene;
    scene = sceneNumber;
    Take(timeline, timelineScript, changed);
    Take(part, partScript, changed);
    if (changed)
        Rebuild();
}

void LM1_DevLanes::SetFilter(const std::string& text)
{
    if (text == filter)
        return;
    filter = text;
    Rebuild();
}

void LM1_DevLanes::TogglePin(const std::string& script, std::int32_t channelNumber)
{
    const auto pin = std::make_pair(script, channelNumber);
    if (!pins.erase(pin))
        pins.insert(pin);
    Rebuild();
}

void LM1_DevLanes::AddLane(const Source& source, std::int32_t number, bool pinned)
{
    QD_SequencerChannel* channel = source.script.sequencer ? source.script.sequencer->GetChannel(number) : nullptr;
    if (!channel)
        return;
    LM1_DevLane lane;
    lane.script = source.script.name;
    lane.channelNumber = number;
    const auto comment = source.comments.find(number);
    lane.name = std::to_string(number) + (comment != source.comments.end() ? " " + comment->second : "");
    lane.pinned = pinned;
    lane.channel = QC_Ptr<QD_SequencerChannel>(channel);
    if (const auto* spline = dynamic_cast<const QD_SequencerSpline*>(channel))
        lane.keys = spline->Keys();
    if (!pinned && !Matches(lane))
        return;
    lanes.push_back(std::move(lane));
}

bool LM1_DevLanes::Matches(const LM1_DevLane& lane) const
{
    return filter.empty() || Lowered(lane.name).find(Lowered(filter)) != std::string::npos;
}

void LM1_DevLanes::Rebuild()
{
    lanes.clear();
    for (const auto& [script, number] : pins) {
        if (script == timeline.script.name)
            AddLane(timeline, number, true);
        else if (script == part.script.name)
            AddLane(part, number, true);
    }
    const auto unpinned = [this](const Source& source, std::int32_t number) {
        return !pins.count(std::make_pair(source.script.name, number));
    };
    const auto addRange = [&](const Source& source, std::int32_t first, std::int32_t end) {
        for (std::int32_t number = first; number < end; ++number)
            if (unpinned(source, number))
                AddLane(source, number, false);
    };
    const std::int32_t timelineEnd = timeline.script.sequencer ? static_cast<std::int32_t>(timeline.script.sequencer->ChannelTableSize()) : 0;
    const std::int32_t partEnd = part.script.sequencer ? static_cast<std::int32_t>(part.script.sequencer->ChannelTableSize()) : 0;
    if (filter.empty()) {
        // The scene's own block (scene 105 of part O reads 500 to 599), then the timeline's.
        const std::int32_t block = scene >= 0 ? (scene % 100) * kChannelsPerScene : -1;
        if (block >= 0)
            addRange(part, block, std::min(block + kChannelsPerScene, partEnd));
    } else {
        addRange(part, 0, partEnd);
    }
    addRange(timeline, 0, timelineEnd);
}
