#pragma once
// Writing a video file: pictures as H.264 or VP9, sound as AAC or Opus, in MP4, Matroska or
// WebM, encoded while the caller produces them (nothing is held beyond the codecs' own
// look-ahead). The only unit that knows the codec libraries; nothing outside frame/qp includes
// their headers, and this file includes none either.
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

#include <cstdint>
#include <memory>
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
    // SpeedPresetNames(), fastest first (empty: kDefaultSpeedPreset). H.264 takes the name as
    // its own preset; VP9 takes the place in the list as its speed, 8 (ultrafast) down to 0.
    std::string speedPreset;
    // Sound given to WriteSound: signed 16-bit interleaved samples. 0 channels: no sound stream.
    std::int32_t soundRate = 44100;
    std::int32_t soundChannels = 2;
    // An encoder's name instead of the container's usual one (libx264, libvpx-vp9, aac,
    // libopus); a name the libraries do not know fails Open.
    std::string pictureEncoder;
    std::string soundEncoder;
};

struct QP_VideoEncoderState;

class QP_VideoEncoder
{
public:
    QP_VideoEncoder();
    ~QP_VideoEncoder();
    QP_VideoEncoder(const QP_VideoEncoder&) = delete;
    QP_VideoEncoder& operator=(const QP_VideoEncoder&) = delete;

    // Finds and opens the encoders and creates the file with its header. False, with ErrorText
    // set and nothing left on disk, when an encoder is missing or refuses the settings, or the
    // file cannot be created.
    bool Open(const QP_VideoSettings& settings);
    // Encodes one picture: width x height RGBA pixels, the top row first, rows stride bytes
    // apart. The alpha channel is ignored.
    bool WritePicture(const void* rgba, std::int32_t stride);
    // Encodes frames sample frames (one sample per channel each) of interleaved 16-bit sound.
    bool WriteSound(const std::int16_t* samples, std::int64_t frames);
    // Drains the encoders, completes the file and gives it its name.
    bool Finish();

    // Every speed preset, fastest first, separated by ", "; the one a capture gets unless told:
    // a software renderer draws the frames slowly enough that any slower preset makes the
    // encoding, not the drawing, set the pace on a small machine.
    static const char* SpeedPresetNames();
    static bool IsSpeedPreset(const std::string& name);
    static constexpr const char* kDefaultSpeedPreset = "ultrafast";

    // The names of the encoders in use (empty before Open).
    const std::string& PictureEncoderName() const;
    const std::string& SoundEncoderName() const;
    const std::string& ErrorText() const { return errorText; }

private:
    bool Fail(const std::string& what, int code);
    bool OpenPicture();
    bool OpenSound();
    bool OpenFile();
    bool Send(void* codec, void* stream, const void* frame);
    bool EncodeBufferedSound(bool final);
    bool ReserveConvertedSound(int samples);
    void Release(bool removeFile);

    std::unique_ptr<QP_VideoEncoderState> state;
    std::string errorText;
};
