#include "LM1_VideoSink.h"

#include "QA_Buffer_OGG.h"
#include "QC_Image.h"
#include "QC_Log.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

namespace
{
constexpr std::int32_t kSampleRate = 44100;
constexpr std::int32_t kChannels = 2;
// 120 beats a minute: half a second a beat.
constexpr std::int64_t kSamplesPerBeat = kSampleRate / 2;

QP_VideoContainer ContainerOf(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".mkv")
        return QP_VideoContainer::Matroska;
    if (extension == ".webm")
        return QP_VideoContainer::WebM;
    return QP_VideoContainer::Mp4;
}

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}
} // namespace

LM1_VideoSink::LM1_VideoSink(const LM1_RenderOptions& commandLine, std::string music)
    : line(commandLine), musicPath(std::move(music))
{
}

std::int64_t LM1_VideoSink::SamplesThrough(std::int64_t frame, std::int32_t framesPerSecond)
{
    return (frame + 1) * kSampleRate / framesPerSecond;
}

std::int64_t LM1_VideoSink::SampleOfBeat(double beat)
{
    return std::llround(beat * static_cast<double>(kSamplesPerBeat));
}

std::int64_t LM1_VideoSink::FramesToMusicEnd() const
{
    if (!music)
        return 0;
    const std::int64_t musicSamples = music->Size() / (kChannels * sizeof(std::int16_t));
    const std::int64_t left = std::max<std::int64_t>(0, musicSamples - firstSample);
    return (left * line.framesPerSecond + kSampleRate - 1) / kSampleRate;
}

bool LM1_VideoSink::Open()
{
    firstSample = SampleOfBeat(line.fromBeat);
    // Like the PNG folder, the file's folder is made when missing; when it cannot be, the
    // encoder's failure to create the file says why.
    const std::filesystem::path folder = std::filesystem::path(line.folder).parent_path();
    std::error_code ignored;
    if (!folder.empty())
        std::filesystem::create_directories(folder, ignored);
    QP_VideoSettings settings;
    settings.path = line.folder;
    settings.container = ContainerOf(line.folder);
    settings.width = line.width;
    settings.height = line.height;
    settings.framesPerSecond = line.framesPerSecond;
    settings.quality = line.quality;
    settings.speedPreset = line.preset;
    settings.soundRate = kSampleRate;
    settings.soundChannels = kChannels;
    settings.pictureEncoder = Environment("VC_VIDEO_ENCODER");
    settings.soundEncoder = Environment("VC_AUDIO_ENCODER");
    if (!encoder.Open(settings)) {
        QC_ERROR("Cannot make the video %s: %s.", line.folder.c_str(), encoder.ErrorText().c_str());
        return false;
    }
    // After the encoder, whose refusals are quick to find: the music takes a moment to decode.
    // The encoder removes its unfinished file when the sink goes without Finish.
    if (!QA_Buffer_OGG::Load(musicPath.c_str(), music)) {
        QC_ERROR("Cannot make the video %s: the music %s could not be read.", line.folder.c_str(), musicPath.c_str());
        return false;
    }
    QC_INFO("Writing %s: %s and %s, %d x %d at %d frames per second, quality %d, preset %s.", line.folder.c_str(),
            encoder.PictureEncoderName().c_str(), encoder.SoundEncoderName().c_str(), line.width, line.height,
            line.framesPerSecond, line.quality, line.preset.empty() ? LM1_DefaultVideoPreset() : line.preset.c_str());
    return true;
}

// The music from firstSample + samplesWritten on, up to the end of frame, in slices of bounded
// size; silence past the music's end.
bool LM1_VideoSink::WriteSoundThrough(std::int64_t frame)
{
    constexpr std::int64_t kSliceSamples = 4096;
    const std::int64_t target = SamplesThrough(frame, line.framesPerSecond);
    const auto* pcm = reinterpret_cast<const std::int16_t*>(music->Data());
    const std::int64_t musicSamples = music->Size() / (kChannels * sizeof(std::int16_t));
    soundSlice.resize(static_cast<std::size_t>(kSliceSamples * kChannels));
    while (samplesWritten < target) {
        const std::int64_t count = std::min(kSliceSamples, target - samplesWritten);
        const std::int64_t from = firstSample + samplesWritten;
        const std::int64_t available = std::clamp<std::int64_t>(musicSamples - from, 0, count);
        if (available > 0)
            std::memcpy(soundSlice.data(), pcm + from * kChannels,
                        static_cast<std::size_t>(available * kChannels) * sizeof(std::int16_t));
        std::fill(soundSlice.begin() + available * kChannels, soundSlice.begin() + count * kChannels, 0);
        if (!encoder.WriteSound(soundSlice.data(), count))
            return false;
        samplesWritten += count;
    }
    return true;
}

bool LM1_VideoSink::WriteFrame(std::int64_t frame, const QC_Image& picture)
{
    // Frames arrive in order; a gap or repeat would put the pictures out of step with the sound.
    if (frame != framesWritten) {
        QC_ERROR("Video frame %lld arrived where frame %lld was due.", static_cast<long long>(frame),
                 static_cast<long long>(framesWritten));
        return false;
    }
    if (picture.Width() != static_cast<std::uint32_t>(line.width) ||
        picture.Height() != static_cast<std::uint32_t>(line.height)) {
        QC_ERROR("Video frame %lld is %u x %u, not %d x %d.", static_cast<long long>(frame), picture.Width(),
                 picture.Height(), line.width, line.height);
        return false;
    }
    const auto stride = static_cast<std::int32_t>(picture.Width() * sizeof(std::uint32_t));
    if (!encoder.WritePicture(picture.Pixels(), stride) || !WriteSoundThrough(frame)) {
        QC_ERROR("Cannot write the video %s: %s.", line.folder.c_str(), encoder.ErrorText().c_str());
        return false;
    }
    ++framesWritten;
    return true;
}

bool LM1_VideoSink::Finish()
{
    if (!encoder.Finish()) {
        QC_ERROR("Cannot complete the video %s: %s.", line.folder.c_str(), encoder.ErrorText().c_str());
        return false;
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(line.folder, error);
    outputBytes = error ? 0 : static_cast<std::uint64_t>(size);
    return true;
}
