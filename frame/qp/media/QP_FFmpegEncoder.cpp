#include "QP_FFmpegEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

// Sections: choices of encoder and formats; opening; pictures; sound; finishing.

struct QP_FFmpegEncoderState
{
    QP_VideoSettings settings;
    std::string partPath;
    const AVCodec* pictureCodec = nullptr;
    const AVCodec* soundCodec = nullptr;
    AVFormatContext* format = nullptr;
    AVCodecContext* picture = nullptr;
    AVCodecContext* sound = nullptr;
    AVStream* pictureStream = nullptr;
    AVStream* soundStream = nullptr;
    SwsContext* scaler = nullptr;
    SwrContext* resampler = nullptr;
    AVAudioFifo* soundQueue = nullptr;
    // Converted sound on its way to the queue; grown when a slice needs more, never per frame.
    std::uint8_t** convertedSound = nullptr;
    int convertedCapacity = 0;
    AVFrame* pictureFrame = nullptr;
    AVFrame* soundFrame = nullptr;
    AVPacket* packet = nullptr;
    std::int64_t pictures = 0;
    std::int64_t soundSamples = 0; // at the sound encoder's rate, the next frame's timestamp
    std::int32_t soundFrameSize = 0;
    bool fileOpen = false;
    bool fileCreated = false; // ours to remove: PATH.part never names a file we did not make
    bool headerWritten = false;
    bool finished = false;
    std::string pictureName;
    std::string soundName;
};

namespace
{
// Sound encoders that take any frame length get frames of this many samples.
constexpr int kVariableSoundFrame = 1024;
constexpr std::int64_t kAacBitRate = 192000;
constexpr std::int64_t kOpusBitRate = 160000;
constexpr int kMaxH264Quality = 51;
constexpr int kMaxVp9Quality = 63;

std::string SpeedPresetOf(const QP_VideoSettings& settings)
{
    return settings.speedPreset.empty() ? QP_DEFAULT_SPEED_PRESET : settings.speedPreset;
}

std::string ErrorString(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

// --- choices of encoder and formats -----------------------------------------------------------

const char* MuxerName(QP_VideoContainer container)
{
    switch (container) {
    case QP_VideoContainer::Mp4: return "mp4";
    case QP_VideoContainer::Matroska: return "matroska";
    case QP_VideoContainer::WebM: return "webm";
    }
    return "mp4";
}

// Lossless H.264 codes the RGB values themselves (4:4:4 RGB), so they come back exactly; the
// YUV encoder would round them through a colour matrix and halve the chroma.
std::string DefaultPictureEncoder(const QP_VideoSettings& settings)
{
    if (settings.container == QP_VideoContainer::WebM)
        return "libvpx-vp9";
    return settings.quality == 0 ? "libx264rgb" : "libx264";
}

std::string DefaultSoundEncoder(const QP_VideoSettings& settings)
{
    return settings.container == QP_VideoContainer::WebM ? "libopus" : "aac";
}

bool Supports(const AVPixelFormat* formats, AVPixelFormat wanted)
{
    for (; formats && *formats != AV_PIX_FMT_NONE; ++formats)
        if (*formats == wanted)
            return true;
    return false;
}

// 4:2:0 for ordinary quality, the format every player decodes; for lossless the first RGB
// layout the encoder takes, so no colour matrix touches the values.
AVPixelFormat ChoosePixelFormat(const AVCodec* codec, bool lossless)
{
    static const AVPixelFormat kLossless[] = {AV_PIX_FMT_RGB24, AV_PIX_FMT_BGR0, AV_PIX_FMT_BGR24, AV_PIX_FMT_GBRP,
                                              AV_PIX_FMT_YUV444P};
    if (lossless) {
        for (AVPixelFormat format : kLossless)
            if (Supports(codec->pix_fmts, format))
                return format;
    } else if (Supports(codec->pix_fmts, AV_PIX_FMT_YUV420P) || !codec->pix_fmts) {
        return AV_PIX_FMT_YUV420P;
    }
    return codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
}

bool IsRgb(AVPixelFormat format)
{
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    return descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_RGB);
}

AVSampleFormat ChooseSampleFormat(const AVCodec* codec)
{
    const AVSampleFormat* formats = codec->sample_fmts;
    if (!formats)
        return AV_SAMPLE_FMT_FLTP;
    for (const AVSampleFormat* format = formats; *format != AV_SAMPLE_FMT_NONE; ++format)
        if (*format == AV_SAMPLE_FMT_FLTP)
            return *format;
    return formats[0];
}

// The source rate when the encoder takes it; otherwise the nearest rate it takes (Opus has no
// 44.1 kHz: its sound is converted to 48 kHz).
int ChooseSampleRate(const AVCodec* codec, int wanted)
{
    const int* rates = codec->supported_samplerates;
    if (!rates)
        return wanted;
    int best = rates[0];
    for (const int* rate = rates; *rate; ++rate) {
        if (*rate == wanted)
            return wanted;
        if (std::abs(*rate - wanted) < std::abs(best - wanted) || (best < wanted && *rate > best))
            best = *rate;
    }
    return best;
}

void SetOption(AVDictionary** options, const char* name, long long value)
{
    av_dict_set(options, name, std::to_string(value).c_str(), 0);
}
} // namespace

// --- opening ----------------------------------------------------------------------------------

QP_FFmpegEncoder::QP_FFmpegEncoder() = default;

QP_FFmpegEncoder::~QP_FFmpegEncoder()
{
    Release(true);
}

const std::string& QP_FFmpegEncoder::PictureEncoderName() const
{
    static const std::string none;
    return state ? state->pictureName : none;
}

const std::string& QP_FFmpegEncoder::SoundEncoderName() const
{
    static const std::string none;
    return state ? state->soundName : none;
}

bool QP_FFmpegEncoder::Fail(const std::string& what, int code)
{
    errorText = code < 0 ? what + ": " + ErrorString(code) : what;
    return false;
}

bool QP_FFmpegEncoder::Open(const QP_VideoSettings& settings)
{
    Release(true);
    errorText.clear();
    // The libraries' own notes (encoder statistics, option echoes) would bury the progress;
    // their errors still reach standard error, and every failure is also in ErrorText.
    av_log_set_level(AV_LOG_ERROR);
    state = std::make_unique<QP_FFmpegEncoderState>();
    state->settings = settings;
    state->partPath = settings.path + ".part";
    state->pictureName = settings.pictureEncoder.empty() ? DefaultPictureEncoder(settings) : settings.pictureEncoder;
    state->soundName = settings.soundEncoder.empty() ? DefaultSoundEncoder(settings) : settings.soundEncoder;
    if (settings.width <= 0 || settings.height <= 0 || settings.framesPerSecond <= 0)
        return Fail("the picture size and frame rate must be positive", 0);
    const int maxQuality = settings.container == QP_VideoContainer::WebM ? kMaxVp9Quality : kMaxH264Quality;
    if (settings.quality < 0 || settings.quality > maxQuality)
        return Fail("the quality (CRF) must be 0 to " + std::to_string(maxQuality) + ", not " +
                        std::to_string(settings.quality),
                    0);
    if (!QP_FindSpeedPreset(SpeedPresetOf(settings)))
        return Fail("the speed preset must be one of " + std::string(QP_SPEED_PRESET_NAMES) + ", not " +
                        SpeedPresetOf(settings),
                    0);
    const int formatResult =
        avformat_alloc_output_context2(&state->format, nullptr, MuxerName(settings.container), state->partPath.c_str());
    if (formatResult < 0 || !state->format)
        return Fail(std::string("the ") + MuxerName(settings.container) + " writer is not available", formatResult);
    const bool opened = OpenPicture() && (settings.soundChannels <= 0 || OpenSound()) && OpenFile();
    if (!opened) {
        const std::string why = errorText;
        Release(true);
        errorText = why;
    }
    return opened;
}

bool QP_FFmpegEncoder::OpenPicture()
{
    QP_FFmpegEncoderState& s = *state;
    const QP_VideoSettings& settings = s.settings;
    s.pictureCodec = avcodec_find_encoder_by_name(s.pictureName.c_str());
    if (!s.pictureCodec || s.pictureCodec->type != AVMEDIA_TYPE_VIDEO)
        return Fail("the video encoder " + s.pictureName + " is not available in this build of the codec libraries", 0);
    const bool lossless = settings.quality == 0;
    const AVPixelFormat pixelFormat = ChoosePixelFormat(s.pictureCodec, lossless);
    const AVPixFmtDescriptor* layout = av_pix_fmt_desc_get(pixelFormat);
    if (layout && ((settings.width % (1 << layout->log2_chroma_w)) || (settings.height % (1 << layout->log2_chroma_h))))
        return Fail("the video size " + std::to_string(settings.width) + "x" + std::to_string(settings.height) +
                        " must be even in both directions for " + av_get_pix_fmt_name(pixelFormat) + " video",
                    0);
    s.picture = avcodec_alloc_context3(s.pictureCodec);
    if (!s.picture)
        return Fail("out of memory for the video encoder", AVERROR(ENOMEM));
    AVCodecContext& codec = *s.picture;
    codec.width = settings.width;
    codec.height = settings.height;
    codec.pix_fmt = pixelFormat;
    codec.time_base = AVRational{1, settings.framesPerSecond};
    codec.framerate = AVRational{settings.framesPerSecond, 1};
    codec.sample_aspect_ratio = AVRational{1, 1};
    // One key frame every two seconds, so a player can seek in the capture.
    codec.gop_size = 2 * settings.framesPerSecond;
    if (IsRgb(pixelFormat)) {
        codec.colorspace = AVCOL_SPC_RGB;
        codec.color_range = AVCOL_RANGE_JPEG;
    } else {
        codec.colorspace = AVCOL_SPC_BT709;
        codec.color_primaries = AVCOL_PRI_BT709;
        codec.color_trc = AVCOL_TRC_BT709;
        codec.color_range = AVCOL_RANGE_MPEG;
    }
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER)
        codec.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    const QP_SpeedPreset* preset = QP_FindSpeedPreset(SpeedPresetOf(settings));
    if (s.pictureName == "libvpx-vp9") {
        // Constant quality: CRF with no bit-rate cap, the "good" deadline at the preset's
        // speed, with row threads.
        codec.bit_rate = 0;
        SetOption(&options, "crf", settings.quality);
        SetOption(&options, "cpu-used", preset->vp9Speed);
        SetOption(&options, "row-mt", 1);
        av_dict_set(&options, "deadline", "good", 0);
        if (lossless)
            SetOption(&options, "lossless", 1);
    } else {
        SetOption(&options, "crf", settings.quality);
        av_dict_set(&options, "preset", preset->name, 0);
    }
    const int result = avcodec_open2(s.picture, s.pictureCodec, &options);
    av_dict_free(&options);
    if (result < 0)
        return Fail("the video encoder " + s.pictureName + " refused the settings", result);
    s.pictureStream = avformat_new_stream(s.format, nullptr);
    if (!s.pictureStream)
        return Fail("out of memory for the video stream", AVERROR(ENOMEM));
    s.pictureStream->time_base = codec.time_base;
    s.pictureStream->avg_frame_rate = codec.framerate;
    const int copied = avcodec_parameters_from_context(s.pictureStream->codecpar, s.picture);
    if (copied < 0)
        return Fail("the video stream's parameters", copied);
    s.pictureFrame = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (!s.pictureFrame || !s.packet)
        return Fail("out of memory for the video frames", AVERROR(ENOMEM));
    s.pictureFrame->format = pixelFormat;
    s.pictureFrame->width = settings.width;
    s.pictureFrame->height = settings.height;
    const int buffer = av_frame_get_buffer(s.pictureFrame, 0);
    if (buffer < 0)
        return Fail("out of memory for the video frames", buffer);
    s.scaler = sws_getContext(settings.width, settings.height, AV_PIX_FMT_RGBA, settings.width, settings.height,
                              pixelFormat, SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    if (!s.scaler)
        return Fail(std::string("no conversion from RGBA to ") + av_get_pix_fmt_name(pixelFormat), 0);
    if (!IsRgb(pixelFormat)) {
        // Limited-range BT.709, matching what the stream is tagged with.
        const int* matrix = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(s.scaler, matrix, 1, matrix, 0, 0, 1 << 16, 1 << 16);
    }
    return true;
}

bool QP_FFmpegEncoder::OpenSound()
{
    QP_FFmpegEncoderState& s = *state;
    const QP_VideoSettings& settings = s.settings;
    s.soundCodec = avcodec_find_encoder_by_name(s.soundName.c_str());
    if (!s.soundCodec || s.soundCodec->type != AVMEDIA_TYPE_AUDIO)
        return Fail("the audio encoder " + s.soundName + " is not available in this build of the codec libraries", 0);
    s.sound = avcodec_alloc_context3(s.soundCodec);
    if (!s.sound)
        return Fail("out of memory for the audio encoder", AVERROR(ENOMEM));
    AVCodecContext& codec = *s.sound;
    codec.sample_fmt = ChooseSampleFormat(s.soundCodec);
    codec.sample_rate = ChooseSampleRate(s.soundCodec, settings.soundRate);
    av_channel_layout_default(&codec.ch_layout, settings.soundChannels);
    codec.bit_rate = s.soundName == "libopus" ? kOpusBitRate : kAacBitRate;
    codec.time_base = AVRational{1, codec.sample_rate};
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER)
        codec.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int result = avcodec_open2(s.sound, s.soundCodec, nullptr);
    if (result < 0)
        return Fail("the audio encoder " + s.soundName + " refused the settings", result);
    s.soundFrameSize = (codec.frame_size > 0 && !(s.soundCodec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
                           ? codec.frame_size
                           : kVariableSoundFrame;
    s.soundStream = avformat_new_stream(s.format, nullptr);
    if (!s.soundStream)
        return Fail("out of memory for the audio stream", AVERROR(ENOMEM));
    s.soundStream->time_base = codec.time_base;
    const int copied = avcodec_parameters_from_context(s.soundStream->codecpar, s.sound);
    if (copied < 0)
        return Fail("the audio stream's parameters", copied);
    AVChannelLayout input = {};
    av_channel_layout_default(&input, settings.soundChannels);
    const int made = swr_alloc_set_opts2(&s.resampler, &codec.ch_layout, codec.sample_fmt, codec.sample_rate, &input,
                                         AV_SAMPLE_FMT_S16, settings.soundRate, 0, nullptr);
    av_channel_layout_uninit(&input);
    if (made < 0 || !s.resampler)
        return Fail("no conversion for the sound", made);
    const int started = swr_init(s.resampler);
    if (started < 0)
        return Fail("no conversion for the sound", started);
    s.soundQueue = av_audio_fifo_alloc(codec.sample_fmt, codec.ch_layout.nb_channels, s.soundFrameSize * 4);
    s.soundFrame = av_frame_alloc();
    if (!s.soundQueue || !s.soundFrame)
        return Fail("out of memory for the sound frames", AVERROR(ENOMEM));
    s.soundFrame->format = codec.sample_fmt;
    s.soundFrame->sample_rate = codec.sample_rate;
    s.soundFrame->nb_samples = s.soundFrameSize;
    av_channel_layout_copy(&s.soundFrame->ch_layout, &codec.ch_layout);
    const int buffer = av_frame_get_buffer(s.soundFrame, 0);
    if (buffer < 0)
        return Fail("out of memory for the sound frames", buffer);
    return true;
}

bool QP_FFmpegEncoder::OpenFile()
{
    QP_FFmpegEncoderState& s = *state;
    const int opened = avio_open(&s.format->pb, s.partPath.c_str(), AVIO_FLAG_WRITE);
    if (opened < 0)
        return Fail("cannot write " + s.partPath, opened);
    s.fileOpen = true;
    s.fileCreated = true;
    const int header = avformat_write_header(s.format, nullptr);
    if (header < 0)
        return Fail("cannot write the header of " + s.partPath, header);
    s.headerWritten = true;
    return true;
}

// --- pictures ---------------------------------------------------------------------------------

// Sends frame (null: the end of the stream) to codec and writes every packet it has ready. The
// muxer interleaves the two streams by time, so sound and pictures given in step stay in step
// in the file without any queue growing.
bool QP_FFmpegEncoder::Send(void* codecPointer, void* streamPointer, const void* framePointer)
{
    QP_FFmpegEncoderState& s = *state;
    auto* codec = static_cast<AVCodecContext*>(codecPointer);
    auto* stream = static_cast<AVStream*>(streamPointer);
    const int sent = avcodec_send_frame(codec, static_cast<const AVFrame*>(framePointer));
    if (sent < 0)
        return Fail("the encoder " + std::string(codec->codec->name) + " failed", sent);
    for (;;) {
        const int received = avcodec_receive_packet(codec, s.packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            break;
        if (received < 0)
            return Fail("the encoder " + std::string(codec->codec->name) + " failed", received);
        av_packet_rescale_ts(s.packet, codec->time_base, stream->time_base);
        s.packet->stream_index = stream->index;
        const int written = av_interleaved_write_frame(s.format, s.packet);
        if (written < 0)
            return Fail("cannot write " + s.partPath, written);
    }
    // Write errors of the buffered file show up here before the muxer returns them.
    if (s.format->pb && s.format->pb->error < 0)
        return Fail("cannot write " + s.partPath, s.format->pb->error);
    return true;
}

bool QP_FFmpegEncoder::WritePicture(const void* rgba, std::int32_t stride)
{
    if (!state || !state->headerWritten || state->finished)
        return Fail("the video file is not open", 0);
    QP_FFmpegEncoderState& s = *state;
    const int writable = av_frame_make_writable(s.pictureFrame);
    if (writable < 0)
        return Fail("out of memory for a video frame", writable);
    const std::uint8_t* const sourceRows[1] = {static_cast<const std::uint8_t*>(rgba)};
    const int sourceStrides[1] = {stride};
    sws_scale(s.scaler, sourceRows, sourceStrides, 0, s.settings.height, s.pictureFrame->data,
              s.pictureFrame->linesize);
    s.pictureFrame->pts = s.pictures;
    if (!Send(s.picture, s.pictureStream, s.pictureFrame))
        return false;
    ++s.pictures;
    return true;
}

// --- sound ------------------------------------------------------------------------------------

bool QP_FFmpegEncoder::ReserveConvertedSound(int samples)
{
    QP_FFmpegEncoderState& s = *state;
    if (samples <= s.convertedCapacity)
        return true;
    if (s.convertedSound)
        av_freep(&s.convertedSound[0]);
    av_freep(&s.convertedSound);
    s.convertedCapacity = 0;
    if (av_samples_alloc_array_and_samples(&s.convertedSound, nullptr, s.sound->ch_layout.nb_channels, samples,
                                           s.sound->sample_fmt, 0) < 0)
        return false;
    s.convertedCapacity = samples;
    return true;
}

// Encodes whole frames from the queue; with final, also the last short one (padded with
// silence for encoders that only take full frames).
bool QP_FFmpegEncoder::EncodeBufferedSound(bool final)
{
    QP_FFmpegEncoderState& s = *state;
    for (;;) {
        const int queued = av_audio_fifo_size(s.soundQueue);
        if (queued == 0 || (queued < s.soundFrameSize && !final))
            return true;
        const int writable = av_frame_make_writable(s.soundFrame);
        if (writable < 0)
            return Fail("out of memory for a sound frame", writable);
        const int take = std::min(queued, s.soundFrameSize);
        const bool shortAllowed = s.soundCodec->capabilities &
                                  (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
        s.soundFrame->nb_samples = shortAllowed ? take : s.soundFrameSize;
        if (take < s.soundFrame->nb_samples)
            av_samples_set_silence(s.soundFrame->data, take, s.soundFrame->nb_samples - take,
                                   s.sound->ch_layout.nb_channels, s.sound->sample_fmt);
        if (av_audio_fifo_read(s.soundQueue, reinterpret_cast<void**>(s.soundFrame->data), take) != take)
            return Fail("the sound queue lost samples", 0);
        s.soundFrame->pts = s.soundSamples;
        s.soundSamples += s.soundFrame->nb_samples;
        if (!Send(s.sound, s.soundStream, s.soundFrame))
            return false;
    }
}

bool QP_FFmpegEncoder::WriteSound(const std::int16_t* samples, std::int64_t frames)
{
    if (!state || !state->headerWritten || state->finished)
        return Fail("the video file is not open", 0);
    QP_FFmpegEncoderState& s = *state;
    if (!s.sound || frames <= 0)
        return true;
    // Converted in slices, so one call with a long stretch never needs a large buffer.
    constexpr std::int64_t kSlice = 4096;
    const int channels = s.settings.soundChannels;
    for (std::int64_t done = 0; done < frames;) {
        const int slice = static_cast<int>(std::min(kSlice, frames - done));
        const std::uint8_t* input[1] = {reinterpret_cast<const std::uint8_t*>(samples + done * channels)};
        const int room = swr_get_out_samples(s.resampler, slice);
        if (!ReserveConvertedSound(room))
            return Fail("out of memory for the sound conversion", AVERROR(ENOMEM));
        const int converted = swr_convert(s.resampler, s.convertedSound, room, input, slice);
        const int queued =
            converted > 0 ? av_audio_fifo_write(s.soundQueue, reinterpret_cast<void**>(s.convertedSound), converted)
                          : converted;
        if (converted < 0)
            return Fail("the sound conversion failed", converted);
        if (queued < converted)
            return Fail("out of memory for the sound queue", queued < 0 ? queued : AVERROR(ENOMEM));
        done += slice;
        if (!EncodeBufferedSound(false))
            return false;
    }
    return true;
}

// --- finishing --------------------------------------------------------------------------------

bool QP_FFmpegEncoder::Finish()
{
    if (!state || !state->headerWritten || state->finished)
        return Fail("the video file is not open", 0);
    QP_FFmpegEncoderState& s = *state;
    bool good = true;
    if (s.sound) {
        // The converter keeps a few samples of history; they belong at the end of the sound.
        const int room = swr_get_out_samples(s.resampler, 0);
        if (room > 0 && ReserveConvertedSound(room)) {
            const int converted = swr_convert(s.resampler, s.convertedSound, room, nullptr, 0);
            if (converted > 0 &&
                av_audio_fifo_write(s.soundQueue, reinterpret_cast<void**>(s.convertedSound), converted) < converted)
                good = Fail("out of memory for the sound queue", AVERROR(ENOMEM));
        }
        good = good && EncodeBufferedSound(true) && Send(s.sound, s.soundStream, nullptr);
    }
    good = good && Send(s.picture, s.pictureStream, nullptr);
    if (good) {
        const int trailer = av_write_trailer(s.format);
        if (trailer < 0)
            good = Fail("cannot complete " + s.partPath, trailer);
    }
    if (good) {
        s.fileOpen = false;
        const int closed = avio_closep(&s.format->pb);
        if (closed < 0)
            good = Fail("cannot complete " + s.partPath, closed);
    }
    if (good) {
        std::error_code renameError;
        std::filesystem::rename(s.partPath, s.settings.path, renameError);
        if (renameError)
            good = Fail("cannot rename " + s.partPath + " to " + s.settings.path + ": " + renameError.message(), 0);
    }
    s.finished = good;
    Release(!good);
    return good;
}

void QP_FFmpegEncoder::Release(bool removeFile)
{
    if (!state)
        return;
    QP_FFmpegEncoderState& s = *state;
    removeFile = removeFile && !s.finished && s.fileCreated;
    if (s.format && s.fileOpen)
        avio_closep(&s.format->pb);
    if (removeFile) {
        std::error_code ignored;
        std::filesystem::remove(s.partPath, ignored);
    }
    sws_freeContext(s.scaler);
    swr_free(&s.resampler);
    if (s.soundQueue)
        av_audio_fifo_free(s.soundQueue);
    if (s.convertedSound)
        av_freep(&s.convertedSound[0]);
    av_freep(&s.convertedSound);
    av_frame_free(&s.pictureFrame);
    av_frame_free(&s.soundFrame);
    av_packet_free(&s.packet);
    avcodec_free_context(&s.picture);
    avcodec_free_context(&s.sound);
    avformat_free_context(s.format);
    // The names stay readable after the file is done; the rest goes.
    QP_FFmpegEncoderState kept;
    kept.pictureName = s.pictureName;
    kept.soundName = s.soundName;
    kept.pictures = s.pictures;
    kept.finished = s.finished;
    *state = kept;
}

extern "C" __attribute__((visibility("default"))) QP_VideoBackend* QP_CreateVideoBackend()
{
    return new QP_FFmpegEncoder;
}
