#pragma once
// Writing a video file: pictures as H.264 or VP9, sound as AAC or Opus, in MP4, Matroska or
// WebM, encoded while the caller produces them (nothing is held beyond the codecs' own
// look-ahead). The codecs live in a module of their own that the first Open loads
// (QP_VideoBackend.h): beside the program, or in the installed libexec/velvet-cascade, or where
// VC_VIDEO_MODULE names it. Without it Open fails and says why. Nothing outside frame/qp
// includes the codec libraries' headers, and this file includes none either.
//
//   QP_VideoEncoder encoder;
//   QP_VideoSettings settings;  settings.path = "demo.mp4";  settings.width = 1280; ...
//   if (!encoder.Open(settings)) report(encoder.ErrorText());
//   per frame: encoder.WritePicture(rgba, stride) and encoder.WriteSound(pcm, frames)
//   encoder.Finish();            // false with ErrorText when the file could not be completed
//
// Timestamps come from counts, never from clocks: picture k has the timestamp k in the time
// base 1 / framesPerSecond, and sound is timed by the number of samples written before it, so
// both streams start at 0 together. The file is written under PATH.part and renamed to PATH
// by a successful Finish, so PATH only ever names a complete file; a failed Open or Finish, or
// a destroyed encoder that was never finished, removes what was written.

#include "QP_VideoBackend.h"

#include <cstdint>
#include <memory>
#include <string>

class QP_VideoEncoder
{
public:
    QP_VideoEncoder();
    ~QP_VideoEncoder();
    QP_VideoEncoder(const QP_VideoEncoder&) = delete;
    QP_VideoEncoder& operator=(const QP_VideoEncoder&) = delete;

    // Finds and opens the encoders and creates the file with its header. False, with ErrorText
    // set and nothing left on disk, when an encoder is missing or refuses the settings, or the
    // file cannot be created (or the codec module cannot be loaded).
    bool Open(const QP_VideoSettings& settings);
    // Encodes one picture: width x height RGBA pixels, the top row first, rows stride bytes
    // apart. The alpha channel is ignored.
    bool WritePicture(const void* rgba, std::int32_t stride);
    // Encodes frames sample frames (one sample per channel each) of interleaved 16-bit sound.
    bool WriteSound(const std::int16_t* samples, std::int64_t frames);
    // Drains the encoders, completes the file and gives it its name.
    bool Finish();

    // Every speed preset, fastest first, separated by ", "; the one a capture gets unless told.
    static const char* SpeedPresetNames() { return QP_SPEED_PRESET_NAMES; }
    static bool IsSpeedPreset(const std::string& name) { return QP_FindSpeedPreset(name) != nullptr; }
    static constexpr const char* kDefaultSpeedPreset = QP_DEFAULT_SPEED_PRESET;

    // The names of the encoders in use (empty before Open).
    const std::string& PictureEncoderName() const;
    const std::string& SoundEncoderName() const;
    const std::string& ErrorText() const;

private:
    std::unique_ptr<QP_VideoBackend> backend;
    std::string loadError;
};
