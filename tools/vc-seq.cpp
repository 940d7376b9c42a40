// vc-seq: evaluates a sequencer script at given song positions, and edits its keys from a shell.
//
//   vc-seq FILE.qcs [EDIT]... [--out FILE] [--at BEAT]... [--channel N]...
//
// Parses FILE.qcs; on an error the log lines go to standard error and the exit status is 1.
// Edits (see Usage) are made in the order given with the same editing code as the workbench:
// only the tokens that change are rewritten and the file is replaced atomically (or FILE given
// with --out is written); one refused edit writes nothing and exits with 1. Then, for each BEAT
// in the order given (default 0 when there is no edit), a beat event at BEAT is dispatched and
// one line "BEAT CHANNEL VALUE" is printed for each channel N given (default: every assigned
// channel, ascending), numbers in %.9g. Wrong arguments print the usage and exit with status 2.

#include "QC_File.h"
#include "QC_Log.h"
#include "QC_String.h"
#include "QD_ScriptDocument.h"
#include "QD_Sequencer.h"
#include "QD_Sequencer_QCS.h"
#include "QD_Sync.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: vc-seq FILE.qcs [EDIT]... [--out FILE] [--at BEAT]... [--channel N]...\n"
    "Prints channel values of a sequencer script; with edits, changes the script first.\n"
    "\n"
    "  --at BEAT               print the channels at BEAT (repeatable; beat 0 when none and no edit)\n"
    "  --channel N             only channel N (repeatable; every assigned channel when none)\n"
    "\n"
    "Edits, made in the order given (K counts a spline's keys from 0); a refused edit writes nothing:\n"
    "  --set-value N VALUE     the value of constant channel N\n"
    "  --set-value N:K VALUE   the value of key K of spline N\n"
    "  --move-key N:K BEAT     key K of spline N to BEAT\n"
    "  --add-key N BEAT[:VALUE]  a key at BEAT, with the curve's value there unless VALUE is given\n"
    "  --delete-key N:K        key K of spline N\n"
    "  --set-kind N KIND       linear, catmullrom or constant; a constant channel becomes a spline\n"
    "  --set-rate N RATE       the rate of beat channel N\n"
    "  --out FILE              write the edited script to FILE; FILE.qcs stays as it is\n"
    "\n"
    "  --help                  this text\n"
    "Exit status: 0 done; 1 a script error, an unreadable file or a refused edit; 2 a wrong command line.\n";

int Usage(const char* problem)
{
    std::fprintf(stderr, "vc-seq: %s\n%s", problem, kUsage);
    return kExitUsage;
}

// A number as typed: "nan" and "inf" are read too, so that the editor refuses them by name.
bool ReadNumber(const char* text, float* number)
{
    char* end = nullptr;
    const float value = std::strtof(text, &end);
    if (end == text || *end != '\0')
        return false;
    *number = value;
    return true;
}

bool ReadBeat(const char* text, float* beat)
{
    errno = 0;
    return ReadNumber(text, beat) && errno != ERANGE && std::isfinite(*beat);
}

bool ReadWhole(const char* text, const char** end, std::uint32_t limit, std::uint32_t* number)
{
    if (*text < '0' || *text > '9')
        return false;
    char* stop = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &stop, 10);
    if (errno == ERANGE || value > limit)
        return false;
    *number = static_cast<std::uint32_t>(value);
    *end = stop;
    return true;
}

bool ReadChannel(const char* text, std::uint32_t* channel)
{
    const char* end = nullptr;
    return ReadWhole(text, &end, QD_SEQUENCER_MAX_CHANNEL, channel) && *end == '\0';
}

// "N:K": channel N's key K.
bool ReadKey(const char* text, QD_KeyRef* key)
{
    const char* end = nullptr;
    if (!ReadWhole(text, &end, QD_SEQUENCER_MAX_CHANNEL, &key->channel) || *end != ':')
        return false;
    return ReadWhole(end + 1, &end, UINT32_MAX, &key->key) && *end == '\0';
}

bool ReadKind(const char* text, std::int32_t* kind)
{
    for (std::int32_t type : {QD_SPLINE_LINEAR, QD_SPLINE_CATMULLROM, QD_SPLINE_CONSTANT}) {
        if (std::strcmp(text, QD_SplineTypeName(type)) == 0) {
            *kind = type;
            return true;
        }
    }
    return false;
}

enum class EditKind
{
    SetConstant,
    SetKeyValue,
    MoveKey,
    AddKey,
    AddKeyWithValue,
    DeleteKey,
    SetKind,
    SetRate,
};

struct Edit
{
    EditKind kind;
    QD_KeyRef key;       // the channel, and the key where the edit names one
    float number = 0.0f; // value, beat or rate
    float value = 0.0f;  // the value of an added key
    std::int32_t splineType = 0;
};

struct Options
{
    const char* path = nullptr;
    const char* out = nullptr;
    std::vector<Edit> edits;
    std::vector<float> beats;
    std::vector<std::int32_t> channels;
    bool help = false;
};

// Reads the edit option at argv[i] and its operands; false with *problem set when they are
// wrong. *used: how many arguments it took.
bool ReadEdit(const char* option, char** operands, int available, Edit* edit, int* used, const char** problem)
{
    const auto operand = [&](int n) { return n < available ? operands[n] : nullptr; };
    if (std::strcmp(option, "--set-value") == 0) {
        *used = 2;
        *problem = "--set-value needs a channel N or key N:K and a number";
        if (!operand(1) || !ReadNumber(operand(1), &edit->number))
            return false;
        if (ReadChannel(operand(0), &edit->key.channel)) {
            edit->kind = EditKind::SetConstant;
            return true;
        }
        edit->kind = EditKind::SetKeyValue;
        return ReadKey(operand(0), &edit->key);
    }
    if (std::strcmp(option, "--move-key") == 0) {
        *used = 2;
        *problem = "--move-key needs a key N:K and a beat";
        edit->kind = EditKind::MoveKey;
        return operand(1) && ReadKey(operand(0), &edit->key) && ReadNumber(operand(1), &edit->number);
    }
    if (std::strcmp(option, "--add-key") == 0) {
        *used = 2;
        *problem = "--add-key needs a channel N and BEAT or BEAT:VALUE";
        if (!operand(1) || !ReadChannel(operand(0), &edit->key.channel))
            return false;
        std::string beat = operand(1);
        const std::string::size_type colon = beat.find(':');
        edit->kind = colon == std::string::npos ? EditKind::AddKey : EditKind::AddKeyWithValue;
        if (colon != std::string::npos && !ReadNumber(beat.c_str() + colon + 1, &edit->value))
            return false;
        if (colon != std::string::npos)
            beat.resize(colon);
        return ReadNumber(beat.c_str(), &edit->number);
    }
    if (std::strcmp(option, "--delete-key") == 0) {
        *used = 1;
        *problem = "--delete-key needs a key N:K";
        edit->kind = EditKind::DeleteKey;
        return operand(0) && ReadKey(operand(0), &edit->key);
    }
    if (std::strcmp(option, "--set-kind") == 0) {
        *used = 2;
        *problem = "--set-kind needs a channel N and linear, catmullrom or constant";
        edit->kind = EditKind::SetKind;
        return operand(1) && ReadChannel(operand(0), &edit->key.channel) && ReadKind(operand(1), &edit->splineType);
    }
    if (std::strcmp(option, "--set-rate") == 0) {
        *used = 2;
        *problem = "--set-rate needs a channel N and a number";
        edit->kind = EditKind::SetRate;
        return operand(1) && ReadChannel(operand(0), &edit->key.channel) && ReadNumber(operand(1), &edit->number);
    }
    *used = 0;
    *problem = "unknown option";
    return false;
}

// 0 when the command line is good; else the usage's exit status.
int ReadOptions(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(argument, "--help") == 0) {
            options->help = true;
            return 0;
        } else if (std::strcmp(argument, "--at") == 0) {
            float beat = 0.0f;
            if (!next || !ReadBeat(next, &beat))
                return Usage("--at needs a finite number of beats");
            options->beats.push_back(beat);
            ++i;
        } else if (std::strcmp(argument, "--channel") == 0) {
            std::uint32_t channel = 0;
            if (!next || !ReadChannel(next, &channel))
                return Usage("--channel needs a channel number from 0 to 65535");
            options->channels.push_back(static_cast<std::int32_t>(channel));
            ++i;
        } else if (std::strcmp(argument, "--out") == 0) {
            if (!next)
                return Usage("--out needs a file");
            options->out = next;
            ++i;
        } else if (argument[0] == '-' && argument[1] == '-') {
            Edit edit{};
            int used = 0;
            const char* problem = nullptr;
            if (!ReadEdit(argument, argv + i + 1, argc - i - 1, &edit, &used, &problem))
                return Usage(problem);
            options->edits.push_back(edit);
            i += used;
        } else if (argument[0] == '-' && argument[1] != '\0') {
            return Usage("unknown option");
        } else if (options->path) {
            return Usage("one script at a time");
        } else {
            options->path = argument;
        }
    }
    if (!options->path)
        return Usage("no script given");
    if (options->out && options->edits.empty())
        return Usage("--out needs an edit");
    return 0;
}

bool ApplyEdit(QD_ScriptDocument& script, const Edit& edit)
{
    switch (edit.kind) {
    case EditKind::SetConstant:
        return script.SetConstantValue(edit.key.channel, edit.number);
    case EditKind::SetKeyValue:
        return script.SetKeyValue(edit.key, edit.number);
    case EditKind::MoveKey:
        return script.SetKeyBeat(edit.key, edit.number);
    case EditKind::AddKey:
        return script.AddKey(edit.key.channel, edit.number);
    case EditKind::AddKeyWithValue:
        return script.AddKey(edit.key.channel, edit.number, edit.value);
    case EditKind::DeleteKey:
        return script.DeleteKeys({edit.key});
    case EditKind::SetKind:
        return script.SetSplineType(edit.key.channel, edit.splineType);
    case EditKind::SetRate:
        return script.SetBeatRate(edit.key.channel, edit.number);
    }
    return false;
}

// Every edit, then the file; false (nothing written) when any is refused.
bool EditScript(const Options& options, QC_Ptr<QD_Sequencer>& sequencer)
{
    QD_ScriptDocument script;
    // A script with an error opens, and its first edit is refused with the reason.
    if (!script.Open(options.path))
        return false;
    for (const Edit& edit : options.edits) {
        if (!ApplyEdit(script, edit))
            return false;
    }
    const bool written = options.out ? script.WriteTo(options.out) : script.Write() == QD_ScriptWrite::Written;
    if (written)
        sequencer = script.Sequencer();
    return written;
}

bool ReadScript(const char* path, QC_Ptr<QD_Sequencer>& sequencer)
{
    // The parser is silent about files it cannot read; the tool says so.
    QC_String probe;
    if (!QC_ReadFile(path, probe)) {
        std::fprintf(stderr, "vc-seq: cannot read %s\n", path);
        return false;
    }
    return QD_ParseSequencerScript(path, sequencer);
}

// Prints the values and lets go of the sequencer: its channels leave the sync as they die, so
// they go before the sync does.
void PrintValues(QC_Ptr<QD_Sequencer>& sequencer, const std::vector<float>& beats, std::vector<std::int32_t> channels)
{
    if (channels.empty()) {
        for (std::uint32_t number = 0; number < sequencer->ChannelTableSize(); ++number) {
            if (sequencer->GetChannel(static_cast<std::int32_t>(number)))
                channels.push_back(static_cast<std::int32_t>(number));
        }
    }
    QD_SyncSettings settings;
    settings.method = QD_SYNC_METHOD_BPM;
    QD_Sync* sync = QD_CreateSync(settings);
    sequencer->SubscribeChannels();
    for (float beat : beats) {
        sync->DispatchBeat(beat);
        for (std::int32_t channel : channels)
            std::printf("%.9g %d %.9g\n", static_cast<double>(beat), channel,
                        static_cast<double>(sequencer->GetValue(channel)));
    }
    sequencer = nullptr;
    QD_DestroySync();
}
} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const int status = ReadOptions(argc, argv, &options))
        return status;
    if (options.help) {
        std::fputs(kUsage, stdout);
        return std::fflush(stdout) == 0 ? 0 : kExitFailed;
    }
    if (options.beats.empty() && options.edits.empty())
        options.beats.push_back(0.0f);

    QC_CreateLog(QC_LogConfig{});
    QC_Ptr<QD_Sequencer> sequencer;
    const bool ready = options.edits.empty() ? ReadScript(options.path, sequencer) : EditScript(options, sequencer);
    if (ready)
        PrintValues(sequencer, options.beats, options.channels);
    QC_DestroyLog();
    if (!ready)
        return kExitFailed;
    return std::fflush(stdout) == 0 ? 0 : kExitFailed;
}
