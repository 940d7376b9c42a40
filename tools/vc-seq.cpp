// vc-seq: evaluates a sequencer script at given song positions.
//
//   vc-seq FILE.qcs [--at BEAT]... [--channel N]...
//
// Parses FILE.qcs; on an error the log lines go to standard error and the exit status is 1.
// Otherwise the channels are subscribed to a sync and, for each BEAT in the order given
// (default 0), a beat event at BEAT is dispatched and one line "BEAT CHANNEL VALUE" is printed
// for each channel N given (default: every assigned channel, ascending), numbers in %.9g.
// Wrong arguments print the usage and exit with status 2.

#include "QC_File.h"
#include "QC_Log.h"
#include "QC_String.h"
#include "QD_Sequencer.h"
#include "QD_Sequencer_QCS.h"
#include "QD_Sync.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
constexpr int kExitParseFailed = 1;
constexpr int kExitUsage = 2;

int Usage(const char* problem)
{
    std::fprintf(stderr, "vc-seq: %s\nusage: vc-seq FILE.qcs [--at BEAT]... [--channel N]...\n", problem);
    return kExitUsage;
}

bool ReadBeat(const char* text, float* beat)
{
    char* end = nullptr;
    errno = 0;
    const float value = std::strtof(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(value))
        return false;
    *beat = value;
    return true;
}

bool ReadChannel(const char* text, std::int32_t* channel)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || value < 0 || value > long(QD_SEQUENCER_MAX_CHANNEL))
        return false;
    *channel = static_cast<std::int32_t>(value);
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    const char* path = nullptr;
    std::vector<float> beats;
    std::vector<std::int32_t> channels;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--at") == 0) {
            float beat = 0.0f;
            if (i + 1 >= argc || !ReadBeat(argv[i + 1], &beat))
                return Usage("--at needs a finite number of beats");
            beats.push_back(beat);
            ++i;
        } else if (std::strcmp(argument, "--channel") == 0) {
            std::int32_t channel = 0;
            if (i + 1 >= argc || !ReadChannel(argv[i + 1], &channel))
                return Usage("--channel needs a channel number from 0 to 65535");
            channels.push_back(channel);
            ++i;
        } else if (argument[0] == '-' && argument[1] != '\0') {
            return Usage("unknown option");
        } else if (path) {
            return Usage("one script at a time");
        } else {
            path = argument;
        }
    }
    if (!path)
        return Usage("no script given");
    if (beats.empty())
        beats.push_back(0.0f);

    QC_CreateLog(QC_LogConfig{});
    // The parser is silent about files it cannot read; the tool says so.
    QC_String probe;
    if (!QC_ReadFile(path, probe)) {
        std::fprintf(stderr, "vc-seq: cannot read %s\n", path);
        QC_DestroyLog();
        return kExitParseFailed;
    }
    QC_Ptr<QD_Sequencer> sequencer;
    if (!QD_ParseSequencerScript(path, sequencer)) {
        QC_DestroyLog();
        return kExitParseFailed;
    }

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
    // Channels leave the sync as they die, so the sequencer goes first.
    sequencer = nullptr;
    QD_DestroySync();
    QC_DestroyLog();
    return std::fflush(stdout) == 0 ? 0 : kExitParseFailed;
}
