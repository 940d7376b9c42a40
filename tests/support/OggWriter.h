#pragma once
// Writes Ogg Vorbis files for the audio tests, the benchmark and the fuzz seeds, with
// libvorbisenc (decoding at run time is always the engine's own loader).
//
//   OggWriteOptions options;
//   options.channels = 1; options.sampleRate = 48000; options.frames = 96000;
//   options.sample = [](std::uint64_t frame, int channel) { return 0.5f * std::sin(...); };
//   ASSERT_TRUE(WriteOgg(path, options));
//
// lastGranuleShift moves the position stated on the final page, which is where a decoder
// reads the stream's length: positive makes the file claim more frames than it holds.

#include <vorbis/vorbisenc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

struct OggWriteOptions
{
    int channels = 2;
    long sampleRate = 44100;
    std::uint64_t frames = 44100;
    float quality = 0.4f; // libvorbisenc's VBR quality, -0.1 to 1.0
    std::int64_t lastGranuleShift = 0;
    // A COMMENT tag of this text (long ones make the comment header span several pages).
    std::string comment;
    // Sample value in [-1, 1] of one channel at one frame.
    std::function<float(std::uint64_t frame, int channel)> sample;
};

inline bool WriteOgg(const std::string& path, const OggWriteOptions& options)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;

    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, options.channels, options.sampleRate, options.quality) != 0) {
        vorbis_info_clear(&info);
        std::fclose(out);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    if (!options.comment.empty())
        vorbis_comment_add_tag(&comment, "COMMENT", options.comment.c_str());
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 20261208);

    bool ok = true;
    auto writePage = [&](const ogg_page& page) {
        ok = ok && std::fwrite(page.header, 1, page.header_len, out) == std::size_t(page.header_len);
        ok = ok && std::fwrite(page.body, 1, page.body_len, out) == std::size_t(page.body_len);
    };

    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0)
        writePage(page);

    constexpr int kChunk = 1024;
    std::uint64_t frame = 0;
    bool finished = false;
    while (!finished) {
        if (frame < options.frames) {
            const int count = int(options.frames - frame < kChunk ? options.frames - frame : kChunk);
            float** buffer = vorbis_analysis_buffer(&dsp, count);
            for (int i = 0; i < count; ++i)
                for (int c = 0; c < options.channels; ++c)
                    buffer[c][i] = options.sample ? options.sample(frame + i, c) : 0.0f;
            vorbis_analysis_wrote(&dsp, count);
            frame += count;
        } else {
            vorbis_analysis_wrote(&dsp, 0); // end of stream: the loop below drains it all
            finished = true;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                if (packet.e_o_s)
                    packet.granulepos += options.lastGranuleShift;
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0)
                    writePage(page);
            }
        }
    }
    while (ogg_stream_flush(&stream, &page) != 0)
        writePage(page);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return std::fclose(out) == 0 && ok;
}

// A fresh folder under /tmp, removed by the destructor.
class TempFolder
{
public:
    TempFolder()
    {
        char pattern[] = "/tmp/vc-audio-XXXXXX";
        if (const char* made = mkdtemp(pattern))
            path = made;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string File(const char* name) const { return path + "/" + name; }
    bool IsValid() const { return !path.empty(); }

private:
    std::string path;
};
