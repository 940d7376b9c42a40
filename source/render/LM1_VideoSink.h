#pragma once
// The offline renderer's video output: each frame as a picture of the video, with the music of
// the same stretch of the demo beside it, encoded while the frames are rendered.
//
//   LM1_VideoSink sink(line);         // line.folder names the file: .mp4, .mkv or .webm
//   if (!sink.Open()) return 1;       // the music is read and the file created here
//   sink.WriteFrame(k, picture) ...;  sink.Finish();
//
// Frame k shows beat from + k x 2 / fps; the sound starts at the sample of beat from (at 120
// beats a minute, beat b starts at sample b x 22050 of the 44.1 kHz music) and after frame k
// exactly (k + 1) x 44100 / fps samples are written (rounded down), so the sound never runs
// ahead of or behind the pictures by a sample more than the rounding. Past the music's end the
// sound is silence. MP4 and Matroska get H.264 and AAC, WebM gets VP9 and Opus; --quality is
// the constant rate factor (18 unless given), 0 lossless; --preset the encoder's speed preset.
// The environment variables VC_VIDEO_ENCODER and VC_AUDIO_ENCODER name other encoders (for
// checking what happens when one is missing).

#include "LM1_RenderOptions.h"
#include "LM1_FrameSink.h"
#include "QA_Buffer.h"
#include "QC_Ptr.h"
#include "QP_VideoEncoder.h"

#include <cstdint>
#include <string>
#include <vector>

class LM1_VideoSink final : public LM1_FrameSink
{
public:
    // musicPath: the demo's music, in the asset folder the run found.
    LM1_VideoSink(const LM1_RenderOptions& line, std::string musicPath);

    bool Open() override;
    bool WriteFrame(std::int64_t frame, const QC_Image& picture) override;
    bool Finish() override;

    // The frames from beat from to the music's end: the expected length when --to is not given.
    std::int64_t FramesToMusicEnd() const;
    std::int64_t FramesWritten() const { return framesWritten; }
    // The finished file's size in bytes (0 before Finish).
    std::uint64_t OutputBytes() const { return outputBytes; }

    // Samples of one channel from the start of the sound to the end of frame: the exact count
    // the sound stream holds once that frame is written.
    static std::int64_t SamplesThrough(std::int64_t frame, std::int32_t framesPerSecond);
    // The first sample of beat.
    static std::int64_t SampleOfBeat(double beat);

private:
    bool WriteSoundThrough(std::int64_t frame);

    const LM1_RenderOptions& line;
    const std::string musicPath;
    QP_VideoEncoder encoder;
    QC_Ptr<QA_Buffer> music;
    std::int64_t firstSample = 0;
    std::int64_t samplesWritten = 0;
    std::int64_t framesWritten = 0;
    std::uint64_t outputBytes = 0;
    std::vector<std::int16_t> soundSlice;
};
