#pragma once
// The score of a piece: song settings, instruments, patterns of notes on a step grid and the
// arrangement that places patterns in bars. VS_ScoreParser fills it from text; VS_Sequencer
// turns it into timed notes; VS_Renderer plays it.
//
//   VS_Score score;
//   if (!VS_ScoreParser::ParseFile("music/velvet-cascade.score", score))
//       ...;   // each fault was logged as "FILE(LINE): what is wrong"
//
// Invariants after a successful parse: every placement and sweep names an existing instrument
// (and a placement an existing pattern), bar ranges are non-empty and lie inside the song,
// every parameter is inside its range (the parser's parameter tables list them).

#include <cstdint>
#include <string>
#include <vector>

enum VS_Waveform : std::uint8_t
{
    VS_WAVE_NONE,
    VS_WAVE_SAW,
    VS_WAVE_SQUARE, // pulse of width VS_Instrument::pulseWidth
    VS_WAVE_TRIANGLE,
    VS_WAVE_SINE,
    VS_WAVE_NOISE,
    VS_WAVE_COUNT
};

enum VS_FilterMode : std::uint8_t
{
    VS_FILTER_NONE,
    VS_FILTER_LOWPASS,
    VS_FILTER_HIGHPASS,
    VS_FILTER_BANDPASS,
    VS_FILTER_MODE_COUNT
};

enum VS_ArpMode : std::uint8_t
{
    VS_ARP_UP,
    VS_ARP_DOWN,
    VS_ARP_UPDOWN,
    VS_ARP_MODE_COUNT
};

// Parameters an arrangement can move over a range of bars (the "sweep" statement).
enum VS_SweepTarget : std::uint8_t
{
    VS_SWEEP_CUTOFF,    // Hz
    VS_SWEEP_RESONANCE, // 0-1
    VS_SWEEP_VOLUME,    // dB
    VS_SWEEP_PAN,       // -1 left to 1 right
    VS_SWEEP_DELAY,     // send 0-1
    VS_SWEEP_REVERB,    // send 0-1
    VS_SWEEP_TARGET_COUNT
};

// Amplitude or filter envelope: times in seconds, sustain as a level 0-1.
struct VS_EnvelopeShape
{
    float attack = 0.005f;
    float decay = 0.2f;
    float sustain = 1.0f;
    float release = 0.1f;
};

struct VS_Instrument
{
    std::string name;

    VS_Waveform osc1 = VS_WAVE_SAW;
    VS_Waveform osc2 = VS_WAVE_NONE;
    float osc1Level = 1.0f;
    float osc2Level = 0.5f;
    float osc2Semitones = 0.0f; // interval of the second oscillator above the note
    float pulseWidth = 0.5f;
    int unison = 1;              // copies of each oscillator, detuned and spread across the stereo field
    float unisonDetune = 10.0f;  // cents between the outermost copies
    float unisonWidth = 0.8f;    // 0 mono, 1 outermost copies hard left and right
    float subLevel = 0.0f;       // sine an octave below the note
    float noiseLevel = 0.0f;
    float noiseDecay = 0.0f;     // seconds for the noise to fall by 1/e; 0 holds it

    VS_EnvelopeShape amp;
    float velocitySense = 0.7f; // 0: velocity ignored, 1: level proportional to velocity

    float pitchEnvelope = 0.0f; // semitones added at the onset, falling away
    float pitchDecay = 0.05f;   // seconds for the pitch offset to fall by 1/e
    float vibratoRate = 5.0f;   // Hz
    float vibratoDepth = 0.0f;  // cents

    VS_FilterMode filter = VS_FILTER_NONE;
    float cutoff = 20000.0f;   // Hz
    float resonance = 0.0f;    // 0 (Butterworth) to 1 (near self-oscillation)
    float keyTrack = 0.0f;     // 1: the cut-off follows the note's pitch fully
    float filterEnvelope = 0.0f; // octaves the filter envelope adds to the cut-off at its peak
    VS_EnvelopeShape filterShape{0.005f, 0.3f, 0.0f, 0.1f};
    float lfoRate = 0.25f;     // Hz, phase-locked to the song position
    float lfoCutoff = 0.0f;    // octaves of cut-off swing

    float drive = 0.0f; // soft saturation before the filter; 0 is clean

    float volume = 0.0f;   // dB
    float pan = 0.0f;      // -1 left to 1 right
    float delaySend = 0.0f;
    float reverbSend = 0.0f;
    float duck = 0.0f;         // depth of the dip this instrument takes from the side-chain keys
    bool sidechainKey = false; // this instrument's notes key the ducking

    float arpSteps = 0.0f;  // > 0: chords become arpeggios of notes this many steps apart
    float arpGate = 0.8f;   // fraction of an arpeggio step each note sounds
    int arpOctaves = 1;
    VS_ArpMode arpMode = VS_ARP_UP;
};

struct VS_NoteEvent
{
    double step = 0.0;           // grid steps from the pattern's start
    std::vector<float> notes;    // MIDI note numbers (69 = A4 = 440 Hz); several for a chord
    double length = 1.0;         // grid steps
    float velocity = 1.0f;       // 0-1
};

struct VS_Pattern
{
    std::string name;
    double steps = 16.0; // the pattern's length; placements repeat it
    std::vector<VS_NoteEvent> events;
};

struct VS_Placement
{
    int fromBar = 0;
    int toBar = 0; // exclusive
    int instrument = 0; // index into VS_Score::instruments
    int pattern = 0;    // index into VS_Score::patterns
    float transpose = 0.0f; // semitones
    int line = 0;
};

// A parameter moving linearly (in its own unit) from start to end across bars [fromBar, toBar);
// outside that range the instrument's own value holds.
struct VS_Sweep
{
    int fromBar = 0;
    int toBar = 0;
    int instrument = 0;
    VS_SweepTarget target = VS_SWEEP_CUTOFF;
    float start = 0.0f;
    float end = 0.0f;
};

struct VS_Section
{
    std::string name;
    int fromBar = 0;
    int toBar = 0; // exclusive
};

struct VS_Song
{
    double tempo = 120.0;     // beats a minute
    int stepsPerBeat = 4;
    int beatsPerBar = 4;
    int bars = 16;
    double tail = 1.5;        // seconds rendered after the last bar, faded out over its second half
    double sampleRate = 44100.0;
    float loudness = -14.0f;  // LUFS, integrated
    float ceiling = -1.0f;    // dBTP
    float delaySteps = 3.0f;  // delay time in grid steps
    float delayFeedback = 0.4f;
    float delayTone = 4000.0f; // Hz low-pass in the delay's feedback
    float reverbTime = 3.0f;   // seconds to fall by 60 dB
    float reverbTone = 6000.0f; // Hz damping inside the reverb
    float reverbPredelay = 0.02f; // seconds
    float duckRelease = 0.18f; // seconds for a ducked instrument to come back
};

struct VS_Score
{
    VS_Song song;
    std::vector<VS_Instrument> instruments;
    std::vector<VS_Pattern> patterns;
    std::vector<VS_Placement> placements;
    std::vector<VS_Sweep> sweeps;
    std::vector<VS_Section> sections;

    int FindInstrument(const std::string& name) const;
    int FindPattern(const std::string& name) const;
    // Samples a grid step lasts (5512.5 for sixteenths at 120 BPM), and the first sample of a
    // bar (exact whenever a bar is a whole number of samples).
    double SamplesPerStep() const;
    std::int64_t BarStartSample(int bar) const;
    std::int64_t TotalSamples() const; // the bars plus the tail
};
