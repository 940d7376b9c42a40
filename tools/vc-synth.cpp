// vc-synth: renders a score into the demo's music.
//
//   vc-synth SCORE OUT.ogg [--wav FILE] [--from BAR] [--to BAR] [--quality Q] [--levels]
//
// Parses SCORE (errors go to standard error as "SCORE(LINE): ..." and the exit status is 1),
// plays bars [--from, --to) (default: the whole song) plus the song's tail, masters the result
// to the score's loudness target and true-peak ceiling, and writes it as Ogg Vorbis (quality Q,
// default 0.5) and, with --wav, as 16-bit WAV too. Prints the integrated loudness, the true
// peak, each section's RMS and its side-chain key (kick) level, and the same figures measured
// on the decoded Ogg file; --levels adds each instrument's RMS per section (before mastering),
// for balancing a mix by numbers. The same score always gives the same bytes. Wrong arguments print
// the usage and exit with status 2.

#include "VC_ToolHelp.h"
#include "QA_Buffer_OGG.h"
#include "QC_Log.h"
#include "synth/VS_Loudness.h"
#include "synth/VS_Master.h"
#include "synth/VS_OggEncoder.h"
#include "synth/VS_Renderer.h"
#include "synth/VS_ScoreParser.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// The demo's music file never peaks above this, whatever the score's master ceiling.
constexpr double kFileCeilingDbtp = -1.0;

struct Options
{
    const char* score = nullptr;
    const char* ogg = nullptr;
    const char* wav = nullptr;
    long fromBar = -1;
    long toBar = -1;
    float quality = 0.5f;
    bool levels = false;
};

constexpr const char* kUsage =
    "usage: vc-synth SCORE OUT.ogg [--wav FILE] [--from BAR] [--to BAR] [--quality Q] [--levels]\n"
    "Renders a score of the soundtrack's synthesiser to an Ogg Vorbis file (and a WAV file with\n"
    "--wav); --from and --to pick bars, --levels adds each instrument's level per section.\n";

int Usage(const char* problem)
{
    std::fprintf(stderr, "vc-synth: %s\n%s", problem, kUsage);
    return kExitUsage;
}

bool ReadWhole(const char* text, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && errno != ERANGE && value >= 0;
}

// 0 when the arguments are good, else the exit status of the usage message.
int ReadOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argument, "--wav") == 0) {
            if (!hasValue)
                return Usage("--wav needs a file");
            options.wav = argv[++i];
        } else if (std::strcmp(argument, "--from") == 0 || std::strcmp(argument, "--to") == 0) {
            long& bar = argument[2] == 'f' ? options.fromBar : options.toBar;
            if (!hasValue || !ReadWhole(argv[++i], bar))
                return Usage("--from and --to need a bar number");
        } else if (std::strcmp(argument, "--quality") == 0) {
            char* end = nullptr;
            const float quality = hasValue ? std::strtof(argv[++i], &end) : 0.0f;
            if (!hasValue || *end != '\0' || !(quality >= -0.1f && quality <= 1.0f))
                return Usage("--quality needs a number from -0.1 to 1");
            options.quality = quality;
        } else if (std::strcmp(argument, "--levels") == 0) {
            options.levels = true;
        } else if (argument[0] == '-' && argument[1] != '\0') {
            return Usage("unknown option");
        } else if (!options.score) {
            options.score = argument;
        } else if (!options.ogg) {
            options.ogg = argument;
        } else {
            return Usage("one score and one output file");
        }
    }
    if (!options.score || !options.ogg)
        return Usage("a score and an output file are needed");
    return 0;
}

bool WriteWav(const char* path, const VS_StereoBuffer& buffer, std::uint32_t sampleRate)
{
    FILE* file = std::fopen(path, "wb");
    if (!file) {
        QC_ERROR("Cannot open %s for writing.", path);
        return false;
    }
    const std::uint32_t dataBytes = std::uint32_t(buffer.Frames() * 4);
    auto put32 = [file](std::uint32_t v) { const std::uint8_t b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)}; std::fwrite(b, 1, 4, file); };
    auto put16 = [file](std::uint16_t v) { const std::uint8_t b[2] = {std::uint8_t(v), std::uint8_t(v >> 8)}; std::fwrite(b, 1, 2, file); };
    std::fwrite("RIFF", 1, 4, file);
    put32(36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, file);
    put32(16);
    put16(1);
    put16(2);
    put32(sampleRate);
    put32(sampleRate * 4);
    put16(4);
    put16(16);
    std::fwrite("data", 1, 4, file);
    put32(dataBytes);
    for (std::size_t n = 0; n < buffer.Frames(); ++n) {
        put16(std::uint16_t(std::int16_t(std::lround(std::clamp(buffer.left[n], -1.0f, 1.0f) * 32767.0f))));
        put16(std::uint16_t(std::int16_t(std::lround(std::clamp(buffer.right[n], -1.0f, 1.0f) * 32767.0f))));
    }
    const bool ok = !std::ferror(file);
    return std::fclose(file) == 0 && ok;
}

double RangeRms(const VS_StereoBuffer& buffer, std::int64_t first, std::int64_t end)
{
    first = std::clamp<std::int64_t>(first, 0, std::int64_t(buffer.Frames()));
    end = std::clamp<std::int64_t>(end, first, std::int64_t(buffer.Frames()));
    double sum = 0.0;
    for (std::int64_t n = first; n < end; ++n)
        sum += double(buffer.left[std::size_t(n)]) * buffer.left[std::size_t(n)] +
               double(buffer.right[std::size_t(n)]) * buffer.right[std::size_t(n)];
    return end > first ? VS_Loudness::GainToDecibels(std::sqrt(sum / double(2 * (end - first)))) : VS_Loudness::kSilence;
}

// Section levels of the master and of the side-chain keys (the kick), which show where drums play.
void PrintSections(const VS_Score& score, const VS_Renderer& renderer, const VS_StereoBuffer& master, int fromBar, int toBar)
{
    std::printf("section      bars      RMS dBFS   key dBFS\n");
    const std::int64_t origin = score.BarStartSample(fromBar);
    for (const VS_Section& section : score.sections) {
        const int first = std::max(section.fromBar, fromBar);
        const int last = std::min(section.toBar, toBar);
        if (first >= last)
            continue;
        double keyEnergy = 0.0;
        for (std::size_t i = 0; i < score.instruments.size(); ++i)
            if (score.instruments[i].sidechainKey)
                keyEnergy += std::pow(10.0, renderer.InstrumentLevel(int(i), first, last) / 10.0);
        std::printf("%-10s %4d-%-4d %9.2f %10.2f\n", section.name.c_str(), first, last,
                    RangeRms(master, score.BarStartSample(first) - origin, score.BarStartSample(last) - origin),
                    keyEnergy > 1e-20 ? 10.0 * std::log10(keyEnergy) : VS_Loudness::kSilence);
    }
}

// Each instrument's own level per section, in dBFS before mastering ("-" for silence).
void PrintInstrumentLevels(const VS_Score& score, const VS_Renderer& renderer, int fromBar, int toBar)
{
    std::printf("%-10s", "instrument");
    for (const VS_Section& section : score.sections)
        std::printf(" %7.7s", section.name.c_str());
    std::printf("\n");
    for (std::size_t i = 0; i < score.instruments.size(); ++i) {
        std::printf("%-10.10s", score.instruments[i].name.c_str());
        for (const VS_Section& section : score.sections) {
            const int first = std::max(section.fromBar, fromBar);
            const int last = std::min(section.toBar, toBar);
            const double level = first < last ? renderer.InstrumentLevel(int(i), first, last) : VS_Loudness::kSilence;
            if (level > -120.0)
                std::printf(" %7.1f", level);
            else
                std::printf(" %7s", "-");
        }
        std::printf("\n");
    }
}

struct DecodedFigures
{
    double seconds = 0.0;
    double loudness = 0.0; // LUFS
    double truePeak = 0.0; // dBTP
};

// The figures that matter are those of the file the demo plays, after lossy coding.
bool MeasureDecoded(const char* path, DecodedFigures& figures)
{
    QC_Ptr<QA_Buffer> pcm;
    if (!QA_Buffer_OGG::Load(path, pcm))
        return false;
    const std::size_t frames = pcm->Size() / 4;
    VS_StereoBuffer decoded;
    decoded.Resize(frames);
    const std::int16_t* samples = reinterpret_cast<const std::int16_t*>(pcm->Data());
    for (std::size_t n = 0; n < frames; ++n) {
        decoded.left[n] = float(samples[2 * n]) / 32768.0f;
        decoded.right[n] = float(samples[2 * n + 1]) / 32768.0f;
    }
    figures.seconds = double(frames) / 44100.0;
    figures.loudness = VS_Loudness::Integrated(decoded.left.data(), decoded.right.data(), frames, 44100.0);
    figures.truePeak =
        VS_Loudness::GainToDecibels(VS_Loudness::TruePeak(decoded.left.data(), decoded.right.data(), frames));
    return true;
}

// Lossy coding can raise peaks a little above the master's. The ceiling holds for the file:
// while the decoded file peaks above it, the master is turned down by the excess and coded again.
bool EncodeUnderCeiling(const char* path, VS_StereoBuffer& master, const VS_Song& song, float quality)
{
    constexpr int kAttempts = 4;
    constexpr double kMarginDb = 0.05;
    DecodedFigures figures;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!VS_OggEncoder::Write(path, master, long(song.sampleRate), quality) || !MeasureDecoded(path, figures))
            return false;
        if (figures.truePeak <= kFileCeilingDbtp)
            break;
        const double trim = kFileCeilingDbtp - figures.truePeak - kMarginDb;
        std::printf("coded file peaks at %.2f dBTP: master turned down %.2f dB\n", figures.truePeak, -trim);
        const float factor = float(std::pow(10.0, trim / 20.0));
        for (std::size_t n = 0; n < master.Frames(); ++n) {
            master.left[n] *= factor;
            master.right[n] *= factor;
        }
    }
    std::printf("decoded %s: %.3f s, %.2f LUFS, %.2f dBTP\n", path, figures.seconds, figures.loudness, figures.truePeak);
    if (figures.truePeak > kFileCeilingDbtp) {
        QC_ERROR("%s still peaks at %.2f dBTP after %d attempts.", path, figures.truePeak, kAttempts);
        return false;
    }
    return true;
}

int Run(const Options& options)
{
    VS_Score score;
    if (!VS_ScoreParser::ParseFile(options.score, score))
        return kExitFailed;
    const int fromBar = options.fromBar < 0 ? 0 : int(std::min<long>(options.fromBar, score.song.bars - 1));
    const int toBar = options.toBar < 0 ? score.song.bars : int(std::clamp<long>(options.toBar, fromBar + 1, score.song.bars));

    VS_Renderer renderer(score);
    VS_StereoBuffer mix;
    renderer.Render(fromBar, toBar, mix);
    const std::size_t fadeFrames = std::size_t(std::llround(score.song.tail * 0.5 * score.song.sampleRate));
    const VS_MasterResult master =
        VS_Master::Process(mix, score.song.loudness, score.song.ceiling, fadeFrames, score.song.sampleRate);

    std::printf("bars %d-%d: %.3f s\n", fromBar, toBar, double(mix.Frames()) / score.song.sampleRate);
    std::printf("integrated loudness %.2f LUFS, true peak %.2f dBTP (gain %+.2f dB, limiter at most %.2f dB after %d "
                "passes, DC %.2g)\n",
                master.loudness, master.truePeak, master.gain, master.maxReduction, master.passes, master.dcOffset);
    PrintSections(score, renderer, mix, fromBar, toBar);
    if (options.levels)
        PrintInstrumentLevels(score, renderer, fromBar, toBar);

    if (!EncodeUnderCeiling(options.ogg, mix, score.song, options.quality))
        return kExitFailed;
    return !options.wav || WriteWav(options.wav, mix, std::uint32_t(score.song.sampleRate)) ? 0 : kExitFailed;
}
} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (VC_AskedForHelp(argc, argv)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (const int usage = ReadOptions(argc, argv, options))
        return usage;
    QC_CreateLog(QC_LogConfig{});
    const int status = Run(options);
    QC_DestroyLog();
    return std::fflush(stdout) == 0 ? status : kExitFailed;
}
