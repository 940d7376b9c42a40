#pragma once
// What the video encoder and its codec module share: the settings, the speed presets and the
// interface the module implements. The module (velvet-cascade-video.so, built from
// QP_FFmpegEncoder) is the only code that links the codec libraries: QP_VideoEncoder loads it
// when it first opens a video, so a process that writes none (the demo, the workbench, a
// render of pictures) does not spend its start-up loading a hundred libraries it never calls.
// This file includes none of their headers.

#include <cstdint>
#include <string>

enum class QP_VideoContainer
{
    Mp4,
    Matroska,
    WebM,
};

struct QP_VideoSettings
{
    std::string path;
    QP_VideoContainer container = QP_VideoContainer::Mp4;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t framesPerSecond = 0;
    // Constant rate factor: 0 is lossless (the RGB values come back exactly, in 4:4:4 RGB); up to
    // 51 for H.264 and 63 for VP9, higher is smaller and worse.
    std::int32_t quality = 18;
    // How much time the picture encoder spends per frame for a given quality: one of
    // QP_SPEED_PRESET_NAMES, fastest first (empty: QP_DEFAULT_SPEED_PRESET). H.264 takes the
    // name as its own preset; VP9 takes the place in the list as its speed, 8 (ultrafast) to 0.
    std::string speedPreset;
    // Sound given to WriteSound: signed 16-bit interleaved samples. 0 channels: no sound stream.
    std::int32_t soundRate = 44100;
    std::int32_t soundChannels = 2;
    // An encoder's name instead of the container's usual one (libx264, libvpx-vp9, aac,
    // libopus); a name the libraries do not know fails Open.
    std::string pictureEncoder;
    std::string soundEncoder;
};

// The encoders' speed presets, fastest first; VP9 has no names, only a speed from 8 to 0.
struct QP_SpeedPreset
{
    const char* name;
    int vp9Speed;
};
inline constexpr QP_SpeedPreset QP_SPEED_PRESETS[] = {
    {"ultrafast", 8}, {"superfast", 7}, {"veryfast", 6}, {"faster", 5},   {"fast", 4},
    {"medium", 3},    {"slow", 2},      {"slower", 1},   {"veryslow", 0},
};
inline constexpr const char* QP_SPEED_PRESET_NAMES =
    "ultrafast, superfast, veryfast, faster, fast, medium, slow, slower, veryslow";
// The preset a capture gets unless told: a software renderer draws the frames slowly enough
// that any slower preset makes the encoding, not the drawing, set the pace on a small machine.
inline constexpr const char* QP_DEFAULT_SPEED_PRESET = "ultrafast";

// The preset of that name, or null.
inline const QP_SpeedPreset* QP_FindSpeedPreset(const std::string& name)
{
    for (const QP_SpeedPreset& preset : QP_SPEED_PRESETS)
        if (name == preset.name)
            return &preset;
    return nullptr;
}

// One video file's encoders and writer, as QP_VideoEncoder describes them.
class QP_VideoBackend
{
public:
    virtual ~QP_VideoBackend() = default;
    virtual bool Open(const QP_VideoSettings& settings) = 0;
    virtual bool WritePicture(const void* rgba, std::int32_t stride) = 0;
    virtual bool WriteSound(const std::int16_t* samples, std::int64_t frames) = 0;
    virtual bool Finish() = 0;
    virtual const std::string& PictureEncoderName() const = 0;
    virtual const std::string& SoundEncoderName() const = 0;
    virtual const std::string& ErrorText() const = 0;
};

// The module's one entry point, looked up by this name: a new backend, the caller's to delete.
extern "C" QP_VideoBackend* QP_CreateVideoBackend();
using QP_CreateVideoBackendFunction = QP_VideoBackend* (*)();
inline constexpr const char* QP_VIDEO_BACKEND_ENTRY = "QP_CreateVideoBackend";
inline constexpr const char* QP_VIDEO_MODULE_NAME = "velvet-cascade-video.so";
