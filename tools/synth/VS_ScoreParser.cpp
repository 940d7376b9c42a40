#include "synth/VS_ScoreParser.h"

#include "QC_File.h"
#include "QC_Log.h"
#include "QC_String.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

// Sections: parameter tables, token helpers, the statement handlers, the line loop.

namespace
{
// --- parameter tables: name, where the value goes, the range it must lie in -------------------
template <typename Owner>
struct FloatParameter
{
    const char* name;
    float* (*field)(Owner&);
    float minimum;
    float maximum;
};

#define VS_FIELD(Owner, member) [](Owner& owner) { return &owner.member; }

const FloatParameter<VS_Instrument> kInstrumentFloats[] = {
    {"osc1_level", VS_FIELD(VS_Instrument, osc1Level), 0.0f, 4.0f},
    {"osc2_level", VS_FIELD(VS_Instrument, osc2Level), 0.0f, 4.0f},
    {"osc2_semitones", VS_FIELD(VS_Instrument, osc2Semitones), -48.0f, 48.0f},
    {"pulse_width", VS_FIELD(VS_Instrument, pulseWidth), 0.05f, 0.95f},
    {"unison_detune", VS_FIELD(VS_Instrument, unisonDetune), 0.0f, 100.0f},
    {"unison_width", VS_FIELD(VS_Instrument, unisonWidth), 0.0f, 1.0f},
    {"sub", VS_FIELD(VS_Instrument, subLevel), 0.0f, 4.0f},
    {"noise", VS_FIELD(VS_Instrument, noiseLevel), 0.0f, 4.0f},
    {"noise_decay", VS_FIELD(VS_Instrument, noiseDecay), 0.0f, 10.0f},
    {"attack", VS_FIELD(VS_Instrument, amp.attack), 0.0f, 30.0f},
    {"decay", VS_FIELD(VS_Instrument, amp.decay), 0.0f, 30.0f},
    {"sustain", VS_FIELD(VS_Instrument, amp.sustain), 0.0f, 1.0f},
    {"release", VS_FIELD(VS_Instrument, amp.release), 0.0f, 30.0f},
    {"velocity", VS_FIELD(VS_Instrument, velocitySense), 0.0f, 1.0f},
    {"pitch_env", VS_FIELD(VS_Instrument, pitchEnvelope), -48.0f, 48.0f},
    {"pitch_decay", VS_FIELD(VS_Instrument, pitchDecay), 0.001f, 10.0f},
    {"vibrato_rate", VS_FIELD(VS_Instrument, vibratoRate), 0.0f, 20.0f},
    {"vibrato_depth", VS_FIELD(VS_Instrument, vibratoDepth), 0.0f, 100.0f},
    {"cutoff", VS_FIELD(VS_Instrument, cutoff), 20.0f, 20000.0f},
    {"resonance", VS_FIELD(VS_Instrument, resonance), 0.0f, 1.0f},
    {"key_track", VS_FIELD(VS_Instrument, keyTrack), 0.0f, 1.0f},
    {"filter_env", VS_FIELD(VS_Instrument, filterEnvelope), -8.0f, 8.0f},
    {"filter_attack", VS_FIELD(VS_Instrument, filterShape.attack), 0.0f, 30.0f},
    {"filter_decay", VS_FIELD(VS_Instrument, filterShape.decay), 0.0f, 30.0f},
    {"filter_sustain", VS_FIELD(VS_Instrument, filterShape.sustain), 0.0f, 1.0f},
    {"lfo_rate", VS_FIELD(VS_Instrument, lfoRate), 0.0f, 20.0f},
    {"lfo_cutoff", VS_FIELD(VS_Instrument, lfoCutoff), 0.0f, 8.0f},
    {"drive", VS_FIELD(VS_Instrument, drive), 0.0f, 10.0f},
    {"volume", VS_FIELD(VS_Instrument, volume), -96.0f, 24.0f},
    {"pan", VS_FIELD(VS_Instrument, pan), -1.0f, 1.0f},
    {"delay", VS_FIELD(VS_Instrument, delaySend), 0.0f, 1.0f},
    {"reverb", VS_FIELD(VS_Instrument, reverbSend), 0.0f, 1.0f},
    {"duck", VS_FIELD(VS_Instrument, duck), 0.0f, 1.0f},
    {"arp_steps", VS_FIELD(VS_Instrument, arpSteps), 0.0f, 64.0f},
    {"arp_gate", VS_FIELD(VS_Instrument, arpGate), 0.05f, 1.0f},
};

const FloatParameter<VS_Song> kSongFloats[] = {
    {"loudness", VS_FIELD(VS_Song, loudness), -40.0f, -6.0f},
    {"ceiling", VS_FIELD(VS_Song, ceiling), -12.0f, 0.0f},
    {"delay_steps", VS_FIELD(VS_Song, delaySteps), 0.25f, 32.0f},
    {"delay_feedback", VS_FIELD(VS_Song, delayFeedback), 0.0f, 0.95f},
    {"delay_tone", VS_FIELD(VS_Song, delayTone), 200.0f, 20000.0f},
    {"reverb_time", VS_FIELD(VS_Song, reverbTime), 0.1f, 20.0f},
    {"reverb_tone", VS_FIELD(VS_Song, reverbTone), 200.0f, 20000.0f},
    {"reverb_predelay", VS_FIELD(VS_Song, reverbPredelay), 0.0f, 0.25f},
    {"duck_release", VS_FIELD(VS_Song, duckRelease), 0.01f, 2.0f},
};

#undef VS_FIELD

const char* const kWaveNames[] = {"none", "saw", "square", "triangle", "sine", "noise"};
static_assert(std::size(kWaveNames) == VS_WAVE_COUNT);
const char* const kFilterNames[] = {"none", "lowpass", "highpass", "bandpass"};
static_assert(std::size(kFilterNames) == VS_FILTER_MODE_COUNT);
const char* const kArpNames[] = {"up", "down", "updown"};
static_assert(std::size(kArpNames) == VS_ARP_MODE_COUNT);
const char* const kSweepNames[] = {"cutoff", "resonance", "volume", "pan", "delay", "reverb"};
static_assert(std::size(kSweepNames) == VS_SWEEP_TARGET_COUNT);
// The ranges a swept value must keep to, the same as the instrument parameter's.
const float kSweepRanges[][2] = {{20.0f, 20000.0f}, {0.0f, 1.0f}, {-96.0f, 24.0f}, {-1.0f, 1.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}};
static_assert(std::size(kSweepRanges) == VS_SWEEP_TARGET_COUNT);

// Limits that keep a broken score from asking for absurd work or memory.
constexpr int kMaxBars = 10000;
constexpr int kMaxUnison = 8;
constexpr int kMaxArpOctaves = 4;
constexpr double kMaxPatternSteps = 4096.0;
constexpr double kMinPatternSteps = 1.0;  // shorter patterns would repeat without end
constexpr double kMinArpSteps = 0.25;
constexpr double kMaxSongSeconds = 3600.0; // what the render may allocate is bounded by this
constexpr std::size_t kMaxChordNotes = 16;

template <std::size_t Count>
int FindName(const char* const (&names)[Count], const std::string& name)
{
    for (std::size_t i = 0; i < Count; ++i)
        if (name == names[i])
            return int(i);
    return -1;
}

bool ReadNumber(const std::string& text, double& value)
{
    // strtod would skip leading blanks; a word of the score never has them.
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])))
        return false;
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool ReadInteger(const std::string& text, int minimum, int maximum, int& value)
{
    double parsed = 0.0;
    if (!ReadNumber(text, parsed) || parsed != std::floor(parsed) || parsed < minimum || parsed > maximum)
        return false;
    value = int(parsed);
    return true;
}

// A number as a musician would write it: 0.5, not 0.500000.
std::string Shortest(double value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

// Words of a line up to a comment. A comment starts at a '#' that begins a word, so sharps
// inside note names (C#3) stay notes.
std::vector<std::string> Tokens(const std::string& line)
{
    std::istringstream stream(line);
    std::vector<std::string> tokens;
    std::string token;
    while (stream >> token && token[0] != '#')
        tokens.push_back(token);
    return tokens;
}

// --- the parse state and its statements ---------------------------------------------------------
enum class Block
{
    None,
    Song,
    Instrument,
    Pattern,
};

class Parser
{
public:
    Parser(const std::string& name, VS_Score& score) : name(name), score(score) {}

    void Line(int number, const std::string& text);
    bool Finish();

private:
    void Fault(const std::string& message)
    {
        QC_ERROR("%s(%d): %s", name.c_str(), lineNumber, message.c_str());
        ++faults;
    }

    void TopLevel(const std::vector<std::string>& tokens);
    void SongParameter(const std::vector<std::string>& tokens);
    void InstrumentParameter(const std::vector<std::string>& tokens);
    void PatternNote(const std::vector<std::string>& tokens);
    void OpenInstrument(const std::vector<std::string>& tokens);
    void OpenPattern(const std::vector<std::string>& tokens);
    void Play(const std::vector<std::string>& tokens);
    void Sweep(const std::vector<std::string>& tokens);
    void Section(const std::vector<std::string>& tokens);
    bool BarRange(const std::string& from, const std::string& to, int& fromBar, int& toBar);
    bool StepList(const std::string& text, std::vector<double>& steps);

    template <typename Owner, std::size_t Count>
    bool SetFloat(const FloatParameter<Owner> (&table)[Count], Owner& owner, const std::vector<std::string>& tokens);

    const std::string& name;
    VS_Score& score;
    Block block = Block::None;
    int blockLine = 0;
    int songLine = 0;
    int lineNumber = 0;
    int faults = 0;
};

template <typename Owner, std::size_t Count>
bool Parser::SetFloat(const FloatParameter<Owner> (&table)[Count], Owner& owner, const std::vector<std::string>& tokens)
{
    for (const FloatParameter<Owner>& parameter : table) {
        if (tokens[0] != parameter.name)
            continue;
        double value = 0.0;
        if (tokens.size() != 2 || !ReadNumber(tokens[1], value))
            Fault("'" + tokens[0] + "' needs one number");
        else if (value < parameter.minimum || value > parameter.maximum)
            Fault("'" + tokens[0] + "' must lie between " + Shortest(parameter.minimum) + " and " +
                  Shortest(parameter.maximum));
        else
            *parameter.field(owner) = float(value);
        return true;
    }
    return false;
}

void Parser::Line(int number, const std::string& text)
{
    lineNumber = number;
    const std::vector<std::string> tokens = Tokens(text);
    if (tokens.empty())
        return;
    if (tokens[0] == "end") {
        if (block == Block::None)
            Fault("'end' outside a block");
        block = Block::None;
        return;
    }
    switch (block) {
    case Block::None: TopLevel(tokens); break;
    case Block::Song: SongParameter(tokens); break;
    case Block::Instrument: InstrumentParameter(tokens); break;
    case Block::Pattern: PatternNote(tokens); break;
    }
}

bool Parser::Finish()
{
    if (block != Block::None) {
        lineNumber = blockLine;
        Fault("block opened here has no 'end'");
    }
    const double seconds = double(score.TotalSamples()) / score.song.sampleRate;
    if (seconds > kMaxSongSeconds) {
        lineNumber = songLine;
        Fault("the song lasts " + Shortest(seconds) + " s; at most an hour can be rendered");
    }
    return faults == 0;
}

void Parser::TopLevel(const std::vector<std::string>& tokens)
{
    const std::string& keyword = tokens[0];
    if (keyword == "song") {
        block = Block::Song;
        blockLine = lineNumber;
        songLine = lineNumber;
    } else if (keyword == "instrument") {
        OpenInstrument(tokens);
    } else if (keyword == "pattern") {
        OpenPattern(tokens);
    } else if (keyword == "play") {
        Play(tokens);
    } else if (keyword == "sweep") {
        Sweep(tokens);
    } else if (keyword == "section") {
        Section(tokens);
    } else {
        Fault("unknown statement '" + keyword + "'");
    }
}

void Parser::SongParameter(const std::vector<std::string>& tokens)
{
    VS_Song& song = score.song;
    const std::string& key = tokens[0];
    if (SetFloat(kSongFloats, song, tokens))
        return;
    double value = 0.0;
    const bool oneNumber = tokens.size() == 2 && ReadNumber(tokens[1], value);
    if (key == "tempo") {
        if (!oneNumber || value < 20.0 || value > 400.0)
            Fault("'tempo' needs beats a minute between 20 and 400");
        else
            song.tempo = value;
    } else if (key == "steps_per_beat") {
        if (tokens.size() != 2 || !ReadInteger(tokens[1], 1, 32, song.stepsPerBeat))
            Fault("'steps_per_beat' needs a whole number from 1 to 32");
    } else if (key == "beats_per_bar") {
        if (tokens.size() != 2 || !ReadInteger(tokens[1], 1, 32, song.beatsPerBar))
            Fault("'beats_per_bar' needs a whole number from 1 to 32");
    } else if (key == "bars") {
        if (tokens.size() != 2 || !ReadInteger(tokens[1], 1, kMaxBars, song.bars))
            Fault("'bars' needs a whole number from 1 to " + std::to_string(kMaxBars));
    } else if (key == "tail") {
        if (!oneNumber || value < 0.0 || value > 30.0)
            Fault("'tail' needs seconds from 0 to 30");
        else
            song.tail = value;
    } else {
        Fault("unknown song parameter '" + key + "'");
    }
}

void Parser::OpenInstrument(const std::vector<std::string>& tokens)
{
    if (tokens.size() != 2) {
        Fault("'instrument' needs one name");
        return;
    }
    if (score.FindInstrument(tokens[1]) >= 0)
        Fault("instrument '" + tokens[1] + "' is defined twice");
    score.instruments.push_back(VS_Instrument{});
    score.instruments.back().name = tokens[1];
    block = Block::Instrument;
    blockLine = lineNumber;
}

void Parser::InstrumentParameter(const std::vector<std::string>& tokens)
{
    VS_Instrument& instrument = score.instruments.back();
    double arpSteps = 0.0;
    if (tokens[0] == "arp_steps" && tokens.size() == 2 && ReadNumber(tokens[1], arpSteps) && arpSteps > 0.0 &&
        arpSteps < kMinArpSteps) {
        Fault("'arp_steps' must be 0 (off) or at least 0.25");
        return;
    }
    if (SetFloat(kInstrumentFloats, instrument, tokens))
        return;
    const std::string& key = tokens[0];
    const std::string value = tokens.size() == 2 ? tokens[1] : std::string();
    if (key == "osc1" || key == "osc2") {
        const int wave = FindName(kWaveNames, value);
        if (wave < 0 || (key == "osc1" && wave == VS_WAVE_NONE))
            Fault("'" + key + "' needs a waveform: saw, square, triangle, sine, noise" +
                  (key == "osc2" ? " or none" : ""));
        else
            (key == "osc1" ? instrument.osc1 : instrument.osc2) = VS_Waveform(wave);
    } else if (key == "filter") {
        const int mode = FindName(kFilterNames, value);
        if (mode < 0)
            Fault("'filter' needs none, lowpass, highpass or bandpass");
        else
            instrument.filter = VS_FilterMode(mode);
    } else if (key == "arp_mode") {
        const int mode = FindName(kArpNames, value);
        if (mode < 0)
            Fault("'arp_mode' needs up, down or updown");
        else
            instrument.arpMode = VS_ArpMode(mode);
    } else if (key == "unison") {
        if (!ReadInteger(value, 1, kMaxUnison, instrument.unison))
            Fault("'unison' needs a whole number from 1 to " + std::to_string(kMaxUnison));
    } else if (key == "arp_octaves") {
        if (!ReadInteger(value, 1, kMaxArpOctaves, instrument.arpOctaves))
            Fault("'arp_octaves' needs a whole number from 1 to " + std::to_string(kMaxArpOctaves));
    } else if (key == "sidechain") {
        int flag = 0;
        if (!ReadInteger(value, 0, 1, flag))
            Fault("'sidechain' needs 0 or 1");
        else
            instrument.sidechainKey = flag == 1;
    } else {
        Fault("unknown instrument parameter '" + key + "'");
    }
}

void Parser::OpenPattern(const std::vector<std::string>& tokens)
{
    double steps = 0.0;
    if (tokens.size() != 3 || !ReadNumber(tokens[2], steps) || steps < kMinPatternSteps || steps > kMaxPatternSteps) {
        Fault("'pattern' needs a name and a length of 1 to 4096 steps");
        steps = 16.0;
    }
    if (tokens.size() >= 2 && score.FindPattern(tokens[1]) >= 0)
        Fault("pattern '" + tokens[1] + "' is defined twice");
    score.patterns.push_back(VS_Pattern{});
    score.patterns.back().name = tokens.size() >= 2 ? tokens[1] : std::string();
    score.patterns.back().steps = steps;
    block = Block::Pattern;
    blockLine = lineNumber;
}

// "4", "0,4,8" or "0-14/2" (first to last inclusive, every S steps; S defaults to 1).
bool Parser::StepList(const std::string& text, std::vector<double>& steps)
{
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        const std::string item = text.substr(start, comma - start);
        const std::size_t dash = item.find('-');
        double first = 0.0, last = 0.0, stride = 1.0;
        if (dash == std::string::npos) {
            if (!ReadNumber(item, first))
                return false;
            last = first;
        } else {
            const std::size_t slash = item.find('/', dash);
            const std::string lastText = item.substr(dash + 1, slash == std::string::npos ? std::string::npos : slash - dash - 1);
            if (!ReadNumber(item.substr(0, dash), first) || !ReadNumber(lastText, last))
                return false;
            if (slash != std::string::npos && !ReadNumber(item.substr(slash + 1), stride))
                return false;
            if (stride <= 0.0 || last < first)
                return false;
        }
        for (int i = 0; first + i * stride <= last + 1e-9; ++i) {
            if (steps.size() >= 4096)
                return false;
            steps.push_back(first + i * stride);
        }
        start = comma + 1;
    }
    return true;
}

void Parser::PatternNote(const std::vector<std::string>& tokens)
{
    VS_Pattern& pattern = score.patterns.back();
    std::vector<double> steps;
    VS_NoteEvent event;
    double velocity = 0.0;
    if (tokens.size() != 4) {
        Fault("a note needs STEPS NOTE LENGTH VELOCITY");
        return;
    }
    if (!StepList(tokens[0], steps)) {
        Fault("steps '" + tokens[0] + "' are not a number, a list (0,4,8) or a range (0-14/2)");
        return;
    }
    std::size_t start = 0;
    while (start <= tokens[1].size()) {
        std::size_t plus = tokens[1].find('+', start);
        if (plus == std::string::npos)
            plus = tokens[1].size();
        float note = 0.0f;
        if (!VS_ScoreParser::ParseNoteName(tokens[1].substr(start, plus - start), note) ||
            event.notes.size() >= kMaxChordNotes) {
            Fault("'" + tokens[1] + "' is not a note such as C#3 or a chord such as D3+F3+A3 (16 notes at most)");
            return;
        }
        event.notes.push_back(note);
        start = plus + 1;
    }
    if (!ReadNumber(tokens[2], event.length) || event.length <= 0.0 || event.length > kMaxPatternSteps) {
        Fault("length '" + tokens[2] + "' must be a positive number of steps");
        return;
    }
    if (!ReadNumber(tokens[3], velocity) || velocity < 1.0 || velocity > 127.0) {
        Fault("velocity '" + tokens[3] + "' must lie between 1 and 127");
        return;
    }
    event.velocity = float(velocity / 127.0);
    for (double step : steps) {
        if (step < 0.0 || step >= pattern.steps) {
            Fault("step " + Shortest(step) + " lies outside the pattern's " + Shortest(pattern.steps) + " steps");
            return;
        }
        event.step = step;
        pattern.events.push_back(event);
    }
}

bool Parser::BarRange(const std::string& from, const std::string& to, int& fromBar, int& toBar)
{
    if (!ReadInteger(from, 0, score.song.bars, fromBar) || !ReadInteger(to, 0, score.song.bars, toBar) || toBar <= fromBar) {
        Fault("bars " + from + " to " + to + " are not a range inside the song's " + std::to_string(score.song.bars) + " bars");
        return false;
    }
    return true;
}

void Parser::Play(const std::vector<std::string>& tokens)
{
    if (tokens.size() != 5 && tokens.size() != 6) {
        Fault("'play' needs FROM TO INSTRUMENT PATTERN [TRANSPOSE]");
        return;
    }
    VS_Placement placement;
    placement.line = lineNumber;
    if (!BarRange(tokens[1], tokens[2], placement.fromBar, placement.toBar))
        return;
    placement.instrument = score.FindInstrument(tokens[3]);
    placement.pattern = score.FindPattern(tokens[4]);
    double transpose = 0.0;
    if (placement.instrument < 0)
        Fault("no instrument '" + tokens[3] + "' (instruments come before the arrangement)");
    else if (placement.pattern < 0)
        Fault("no pattern '" + tokens[4] + "' (patterns come before the arrangement)");
    else if (tokens.size() == 6 && (!ReadNumber(tokens[5], transpose) || std::fabs(transpose) > 48.0))
        Fault("transpose '" + tokens[5] + "' must be semitones between -48 and 48");
    else {
        placement.transpose = float(transpose);
        score.placements.push_back(placement);
    }
}

void Parser::Sweep(const std::vector<std::string>& tokens)
{
    if (tokens.size() != 7) {
        Fault("'sweep' needs FROM TO INSTRUMENT PARAMETER START END");
        return;
    }
    VS_Sweep sweep;
    if (!BarRange(tokens[1], tokens[2], sweep.fromBar, sweep.toBar))
        return;
    sweep.instrument = score.FindInstrument(tokens[3]);
    const int target = FindName(kSweepNames, tokens[4]);
    double start = 0.0, end = 0.0;
    if (sweep.instrument < 0)
        Fault("no instrument '" + tokens[3] + "'");
    else if (target < 0)
        Fault("'" + tokens[4] + "' cannot be swept (cutoff, resonance, volume, pan, delay, reverb)");
    else if (!ReadNumber(tokens[5], start) || !ReadNumber(tokens[6], end))
        Fault("'sweep' needs numbers for START and END");
    else if (std::min(start, end) < kSweepRanges[target][0] || std::max(start, end) > kSweepRanges[target][1])
        Fault("a swept " + tokens[4] + " must stay between " + Shortest(kSweepRanges[target][0]) + " and " +
              Shortest(kSweepRanges[target][1]));
    else {
        sweep.target = VS_SweepTarget(target);
        sweep.start = float(start);
        sweep.end = float(end);
        score.sweeps.push_back(sweep);
    }
}

void Parser::Section(const std::vector<std::string>& tokens)
{
    if (tokens.size() != 4) {
        Fault("'section' needs NAME FROM TO");
        return;
    }
    VS_Section section;
    section.name = tokens[1];
    if (BarRange(tokens[2], tokens[3], section.fromBar, section.toBar))
        score.sections.push_back(section);
}
} // namespace

bool VS_ScoreParser::ParseNoteName(const std::string& text, float& note)
{
    static const int kPitchClass[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (text.size() < 2 || text[0] < 'A' || text[0] > 'G')
        return false;
    int pitch = kPitchClass[text[0] - 'A'];
    std::size_t position = 1;
    if (text[position] == '#') {
        ++pitch;
        ++position;
    } else if (text[position] == 'b') {
        --pitch;
        ++position;
    }
    int octave = 0;
    if (!ReadInteger(text.substr(position), -1, 9, octave))
        return false;
    note = float((octave + 1) * 12 + pitch);
    return true;
}

bool VS_ScoreParser::Parse(const std::string& text, const std::string& name, VS_Score& score)
{
    score = VS_Score{};
    Parser parser(name, score);
    std::istringstream stream(text);
    std::string line;
    int number = 0;
    while (std::getline(stream, line))
        parser.Line(++number, line);
    return parser.Finish();
}

bool VS_ScoreParser::ParseFile(const std::string& path, VS_Score& score)
{
    QC_String text;
    if (!QC_ReadFile(path.c_str(), text)) {
        QC_ERROR("Cannot read score %s.", path.c_str());
        return false;
    }
    return Parse(std::string(text.CStr(), text.Length()), path, score);
}
