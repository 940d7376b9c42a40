#pragma once
// The codec module's encoder: FFmpeg's encoders and writers behind QP_VideoBackend. Built
// into velvet-cascade-video.so alone, which QP_VideoEncoder loads; see QP_VideoEncoder.h for
// what it does.

#include "QP_VideoBackend.h"

#include <cstdint>
#include <memory>
#include <string>

struct QP_FFmpegEncoderState;

class QP_FFmpegEncoder final : public QP_VideoBackend
{
public:
    QP_FFmpegEncoder();
    ~QP_FFmpegEncoder() override;
    QP_FFmpegEncoder(const QP_FFmpegEncoder&) = delete;
    QP_FFmpegEncoder& operator=(const QP_FFmpegEncoder&) = delete;

    bool Open(const QP_VideoSettings& settings) override;
    bool WritePicture(const void* rgba, std::int32_t stride) override;
    bool WriteSound(const std::int16_t* samples, std::int64_t frames) override;
    bool Finish() override;
    const std::string& PictureEncoderName() const override;
    const std::string& SoundEncoderName() const override;
    const std::string& ErrorText() const override { return errorText; }

private:
    bool Fail(const std::string& what, int code);
    bool OpenPicture();
    bool OpenSound();
    bool OpenFile();
    bool Send(void* codec, void* stream, const void* frame);
    bool EncodeBufferedSound(bool final);
    bool ReserveConvertedSound(int samples);
    void Release(bool removeFile);

    std::unique_ptr<QP_FFmpegEncoderState> state;
    std::string errorText;
};
