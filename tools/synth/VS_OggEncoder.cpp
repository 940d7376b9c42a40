#include "synth/VS_OggEncoder.h"

#include "QC_Log.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>

namespace
{
constexpr int kSerialNumber = 0x56435331;
constexpr int kChunkFrames = 4096;

// Owns the encoder's state for one file; every member is cleared however writing ends.
class Encoder
{
public:
    explicit Encoder(FILE* file) : file(file)
    {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~Encoder()
    {
        if (started) {
            ogg_stream_clear(&stream);
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }

    bool Start(long sampleRate, float quality)
    {
        if (vorbis_encode_init_vbr(&info, 2, sampleRate, quality) != 0)
            return false;
        vorbis_comment_add_tag(&comment, "TITLE", "Velvet Cascade");
        vorbis_analysis_init(&dsp, &info);
        vorbis_block_init(&dsp, &block);
        ogg_stream_init(&stream, kSerialNumber);
        started = true;
        ogg_packet header, commentPacket, codebooks;
        vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebooks);
        ogg_stream_packetin(&stream, &header);
        ogg_stream_packetin(&stream, &commentPacket);
        ogg_stream_packetin(&stream, &codebooks);
        ogg_page page;
        while (ogg_stream_flush(&stream, &page) != 0)
            if (!WritePage(page))
                return false;
        return true;
    }

    bool Feed(const float* left, const float* right, int frames)
    {
        float** channels = vorbis_analysis_buffer(&dsp, frames);
        // Anything outside full scale is clipped here rather than wrapped by the codec.
        for (int i = 0; i < frames; ++i) {
            channels[0][i] = std::clamp(left[i], -1.0f, 1.0f);
            channels[1][i] = std::clamp(right[i], -1.0f, 1.0f);
        }
        vorbis_analysis_wrote(&dsp, frames);
        return Drain();
    }

    bool Finish()
    {
        vorbis_analysis_wrote(&dsp, 0);
        return Drain();
    }

private:
    bool WritePage(const ogg_page& page)
    {
        return std::fwrite(page.header, 1, std::size_t(page.header_len), file) == std::size_t(page.header_len) &&
               std::fwrite(page.body, 1, std::size_t(page.body_len), file) == std::size_t(page.body_len);
    }

    bool Drain()
    {
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                ogg_page page;
                while (ogg_stream_pageout(&stream, &page) != 0)
                    if (!WritePage(page))
                        return false;
            }
        }
        return true;
    }

    FILE* file;
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_stream_state stream;
    bool started = false;
};
} // namespace

bool VS_OggEncoder::Write(const std::string& path, const VS_StereoBuffer& buffer, long sampleRate, float quality)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        QC_ERROR("Cannot open %s for writing.", path.c_str());
        return false;
    }
    bool ok = true;
    {
        Encoder encoder(file);
        ok = encoder.Start(sampleRate, quality);
        for (std::size_t at = 0; ok && at < buffer.Frames(); at += kChunkFrames) {
            const int frames = int(std::min<std::size_t>(kChunkFrames, buffer.Frames() - at));
            ok = encoder.Feed(buffer.left.data() + at, buffer.right.data() + at, frames);
        }
        ok = ok && encoder.Finish();
    }
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
        QC_ERROR("Failed to encode %s.", path.c_str());
    return ok;
}
