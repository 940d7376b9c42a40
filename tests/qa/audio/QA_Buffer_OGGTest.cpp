#include "QA_Buffer_OGG.h"

#include "support/AudioTestSupport.h"
#include "support/OggWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

// The reference decode below uses the decoder directly (its implementation is in frame/qa).
#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

namespace
{
constexpr double kPi = 3.14159265358979323846;

std::function<float(std::uint64_t, int)> Tone(double leftHz, double rightHz, double rate)
{
    return [=](std::uint64_t frame, int channel) {
        const double hz = channel == 0 ? leftHz : rightHz;
        return float(0.5 * std::sin(2.0 * kPi * hz * double(frame) / rate));
    };
}

std::string WriteTone(const TempFolder& folder, const char* name, int channels, long rate, std::uint64_t frames,
                      double leftHz, double rightHz, std::int64_t lastGranuleShift = 0)
{
    OggWriteOptions options;
    options.channels = channels;
    options.sampleRate = rate;
    options.frames = frames;
    options.lastGranuleShift = lastGranuleShift;
    options.sample = Tone(leftHz, rightHz, double(rate));
    const std::string path = folder.File(name);
    EXPECT_TRUE(WriteOgg(path, options)) << path;
    return path;
}

std::string OpenFailure(const std::string& name, int error)
{
    return "Failed to open ogg " + name + ". Error is " + std::to_string(error) + ".";
}

// The level-2 lines of a failed load, which must be exactly the open failure.
void ExpectOpenFailure(const CapturedLog& log, const std::string& name, int error)
{
    EXPECT_TRUE(log.Contains(QC_LOG_ERROR, OpenFailure(name, error))) << name << " error " << error;
    for (const LoggedLine& line : log.lines) {
        if (line.message == OpenFailure(name, error)) {
            EXPECT_EQ(line.file, "frame/qa/QA_Buffer_OGG.cpp");
        }
    }
}
} // namespace

TEST(QA_Buffer_OGGTest, StereoFileDecodesToFourBytesPerFrameWithBothChannelsIntact)
{
    CapturedLog log;
    TempFolder folder;
    const std::string path = WriteTone(folder, "stereo.ogg", 2, 44100, 44100, 440.0, 1000.0);

    QC_Ptr<QA_Buffer> pcm;
    ASSERT_TRUE(QA_Buffer_OGG::Load(path.c_str(), pcm));
    ASSERT_TRUE(pcm);
    EXPECT_EQ(pcm->Size(), 44100u * 4);
    EXPECT_EQ(pcm->RefCount(), 1);

    const std::vector<float> left = Channel(pcm->Data(), pcm->Size(), 0);
    const std::vector<float> right = Channel(pcm->Data(), pcm->Size(), 1);
    EXPECT_NEAR(ToneFrequency(left, 44100.0), 440.0, 2.0);
    EXPECT_NEAR(ToneFrequency(right, 44100.0), 1000.0, 4.0);
    // A sine of amplitude 0.5 has an RMS of 0.354.
    EXPECT_NEAR(Rms(left), 0.3536, 0.02);
    EXPECT_NEAR(Rms(right), 0.3536, 0.02);
    EXPECT_EQ(log.CountAtLevel(QC_LOG_ERROR), 0);
}

TEST(QA_Buffer_OGGTest, MonoFileFillsBothChannelsOfAStereoBuffer)
{
    CapturedLog log;
    TempFolder folder;
    const std::string path = WriteTone(folder, "mono.ogg", 1, 44100, 22050, 660.0, 660.0);

    QC_Ptr<QA_Buffer> pcm;
    ASSERT_TRUE(QA_Buffer_OGG::Load(path.c_str(), pcm));
    ASSERT_EQ(pcm->Size(), 22050u * 4);
    const std::vector<float> left = Channel(pcm->Data(), pcm->Size(), 0);
    const std::vector<float> right = Channel(pcm->Data(), pcm->Size(), 1);
    EXPECT_EQ(left, right);
    EXPECT_NEAR(ToneFrequency(left, 44100.0), 660.0, 3.0);
    EXPECT_NEAR(Rms(left), 0.3536, 0.02);
}

TEST(QA_Buffer_OGGTest, OtherSampleRatesAreConvertedTo44100)
{
    CapturedLog log;
    TempFolder folder;

    // Two seconds at 48 kHz: played unconverted, 440 Hz would come out at 404 Hz.
    const std::string path48 = WriteTone(folder, "48k.ogg", 2, 48000, 96000, 440.0, 880.0);
    QC_Ptr<QA_Buffer> pcm;
    ASSERT_TRUE(QA_Buffer_OGG::Load(path48.c_str(), pcm));
    EXPECT_EQ(pcm->Size() % 4, 0u);
    EXPECT_EQ(pcm->Size(), 88200u * 4);
    EXPECT_NEAR(ToneFrequency(Channel(pcm->Data(), pcm->Size(), 0), 44100.0), 440.0, 2.0);
    EXPECT_NEAR(ToneFrequency(Channel(pcm->Data(), pcm->Size(), 1), 44100.0), 880.0, 4.0);
    EXPECT_NEAR(Rms(Channel(pcm->Data(), pcm->Size(), 0)), 0.3536, 0.03);

    // Up-sampling a mono file: one second at 22050 Hz becomes 44100 frames on both channels.
    const std::string path22 = WriteTone(folder, "22k.ogg", 1, 22050, 22050, 300.0, 300.0);
    QC_Ptr<QA_Buffer> upsampled;
    ASSERT_TRUE(QA_Buffer_OGG::Load(path22.c_str(), upsampled));
    EXPECT_EQ(upsampled->Size(), 44100u * 4);
    const std::vector<float> left = Channel(upsampled->Data(), upsampled->Size(), 0);
    EXPECT_EQ(left, Channel(upsampled->Data(), upsampled->Size(), 1));
    EXPECT_NEAR(ToneFrequency(left, 44100.0), 300.0, 2.0);

    // Nothing is shifted in time: a tone starting at half a second still starts there.
    OggWriteOptions onset;
    onset.sampleRate = 48000;
    onset.frames = 48000;
    onset.sample = [](std::uint64_t frame, int) {
        return frame < 24000 ? 0.0f : float(0.5 * std::sin(2.0 * kPi * 500.0 * double(frame) / 48000.0));
    };
    const std::string onsetPath = folder.File("onset.ogg");
    ASSERT_TRUE(WriteOgg(onsetPath, onset));
    QC_Ptr<QA_Buffer> delayed;
    ASSERT_TRUE(QA_Buffer_OGG::Load(onsetPath.c_str(), delayed));
    const std::vector<float> samples = Channel(delayed->Data(), delayed->Size(), 0);
    const auto loud = std::find_if(samples.begin(), samples.end(), [](float v) { return std::fabs(v) > 0.25f; });
    EXPECT_NEAR(double(loud - samples.begin()), 22050.0, 60.0);
    EXPECT_EQ(log.CountAtLevel(QC_LOG_ERROR), 0);
}

TEST(QA_Buffer_OGGTest, MissingFileOrFolderFailsWithTheOpenMessageAndLeavesTheResult)
{
    CapturedLog log;
    TempFolder folder;
    const std::string missing = folder.File("music.ogg");

    QC_Ptr<QA_Buffer> pcm;
    EXPECT_FALSE(QA_Buffer_OGG::Load(missing.c_str(), pcm));
    EXPECT_FALSE(pcm);
    ExpectOpenFailure(log, missing, 6); // the decoder's "file open failure"

    const std::string folderPath = folder.File("");
    EXPECT_FALSE(QA_Buffer_OGG::Load(folderPath.c_str(), pcm));
    EXPECT_FALSE(pcm);
    ExpectOpenFailure(log, folderPath, 6);
}

TEST(QA_Buffer_OGGTest, CorruptOrTruncatedFilesFailSoftly)
{
    CapturedLog log;
    TempFolder folder;
    const std::string good = WriteTone(folder, "good.ogg", 2, 44100, 10 * 44100, 440.0, 550.0);
    const std::vector<std::uint8_t> bytes = ReadBytes(good);
    ASSERT_GT(bytes.size(), 4000u);
    QC_Ptr<QA_Buffer> full;
    ASSERT_TRUE(QA_Buffer_OGG::Load(good.c_str(), full));

    // Cut in the middle of the audio: what decodes is the file's own start, and it is said.
    const std::string half = folder.File("half.ogg");
    WriteBytes(half, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2));
    QC_Ptr<QA_Buffer> pcm;
    ASSERT_TRUE(QA_Buffer_OGG::Load(half.c_str(), pcm));
    EXPECT_LT(pcm->Size(), full->Size());
    ASSERT_GT(pcm->Size(), full->Size() / 4);
    EXPECT_EQ(std::memcmp(pcm->Data(), full->Data(), full->Size() / 4), 0);

    // Cut inside the headers, empty, and noise: nothing to decode.
    struct Broken
    {
        const char* name;
        std::vector<std::uint8_t> content;
    };
    std::vector<std::uint8_t> noise(5000);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = std::uint8_t(i * 2654435761u >> 13);
    std::vector<std::uint8_t> zeroedAudio = bytes;
    std::fill(zeroedAudio.begin() + 4000, zeroedAudio.end(), 0);
    const Broken broken[] = {
        {"headers.ogg", std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 100)},
        {"empty.ogg", {}},
        {"noise.ogg", noise},
        {"zeroed.ogg", zeroedAudio},
    };
    for (const Broken& file : broken) {
        const std::string path = folder.File(file.name);
        ASSERT_TRUE(WriteBytes(path, file.content));
        QC_Ptr<QA_Buffer> none;
        const std::size_t linesBefore = log.lines.size();
        EXPECT_FALSE(QA_Buffer_OGG::Load(path.c_str(), none)) << file.name;
        EXPECT_FALSE(none) << file.name;
        ASSERT_GT(log.lines.size(), linesBefore) << file.name;
        EXPECT_EQ(log.lines.back().level, QC_LOG_ERROR) << file.name;
        EXPECT_EQ(log.lines.back().message.rfind("Failed to open ogg " + path + ". Error is ", 0), 0u)
            << log.lines.back().message;
    }
}

TEST(QA_Buffer_OGGTest, StatedLengthBoundsTheBufferAndAShortStreamStopsTheDecode)
{
    CapturedLog log;
    TempFolder folder;

    // Claims ten seconds more than it holds: decoding stops when the audio ends.
    const std::string longer = WriteTone(folder, "claims-more.ogg", 2, 44100, 44100, 440.0, 440.0, 441000);
    QC_Ptr<QA_Buffer> pcm;
    ASSERT_TRUE(QA_Buffer_OGG::Load(longer.c_str(), pcm));
    EXPECT_GE(pcm->Size(), 44100u * 4);
    EXPECT_LE(pcm->Size(), (44100u + 4096u) * 4);
    EXPECT_TRUE(log.Contains(QC_LOG_ERROR, "Ogg " + longer + " ended after " + std::to_string(pcm->Size() / 4) +
                                                " of its 485100 frames."));

    // Claims fewer frames than it holds: the buffer is exactly the stated length.
    const std::string shorter = WriteTone(folder, "claims-less.ogg", 2, 44100, 44100, 440.0, 440.0, -10000);
    ASSERT_TRUE(QA_Buffer_OGG::Load(shorter.c_str(), pcm));
    EXPECT_EQ(pcm->Size(), 34100u * 4);
}

TEST(QA_Buffer_OGGTest, FilesBeyondTheLimitsAreRefusedAsFailedOpens)
{
    CapturedLog log;
    TempFolder folder;
    QC_Ptr<QA_Buffer> pcm;

    // Over 256 MB (a sparse file: nothing is read before the size is checked).
    const std::string huge = folder.File("huge.ogg");
    {
        std::ofstream out(huge, std::ios::binary);
        out << "OggS";
    }
    std::filesystem::resize_file(huge, QA_Buffer_OGG::MaxFileBytes + 1);
    EXPECT_FALSE(QA_Buffer_OGG::Load(huge.c_str(), pcm));
    ExpectOpenFailure(log, huge, QA_Buffer_OGG::ErrorFileTooLarge);

    // Stated longer than one hour (the final page claims it).
    const std::string hour = WriteTone(folder, "hour.ogg", 2, 44100, 4410, 440.0, 440.0, 3600LL * 44100);
    EXPECT_FALSE(QA_Buffer_OGG::Load(hour.c_str(), pcm));
    ExpectOpenFailure(log, hour, QA_Buffer_OGG::ErrorTooLong);

    // A sample rate no music is stored at.
    const std::string good = WriteTone(folder, "rate.ogg", 2, 44100, 4410, 440.0, 440.0);
    std::vector<std::uint8_t> bytes = ReadBytes(good);
    PatchSampleRate(bytes, 1000);
    const std::string slow = folder.File("slow.ogg");
    WriteBytes(slow, bytes);
    EXPECT_FALSE(QA_Buffer_OGG::Load(slow.c_str(), pcm));
    ExpectOpenFailure(log, slow, QA_Buffer_OGG::ErrorSampleRate);
    EXPECT_FALSE(pcm);

    // Exactly at the limit is accepted: 3600 s stated is not over an hour.
    const std::string atLimit = WriteTone(folder, "limit.ogg", 2, 44100, 4410, 440.0, 440.0, 3600LL * 44100 - 4410);
    EXPECT_TRUE(QA_Buffer_OGG::Load(atLimit.c_str(), pcm));
}

TEST(QA_Buffer_OGGTest, LoadFromMemoryDecodesTheSameAsFromFile)
{
    CapturedLog log;
    TempFolder folder;
    const std::string path = WriteTone(folder, "memory.ogg", 2, 48000, 9600, 440.0, 660.0);
    const std::vector<std::uint8_t> bytes = ReadBytes(path);

    QC_Ptr<QA_Buffer> fromFile, fromMemory;
    ASSERT_TRUE(QA_Buffer_OGG::Load(path.c_str(), fromFile));
    ASSERT_TRUE(QA_Buffer_OGG::LoadFromMemory(bytes.data(), bytes.size(), "memory", fromMemory));
    ASSERT_EQ(fromFile->Size(), fromMemory->Size());
    EXPECT_EQ(std::memcmp(fromFile->Data(), fromMemory->Data(), fromFile->Size()), 0);

    EXPECT_FALSE(QA_Buffer_OGG::LoadFromMemory(bytes.data(), 50, "cut", fromMemory));
    EXPECT_FALSE(QA_Buffer_OGG::LoadFromMemory(nullptr, 0, "nothing", fromMemory));
    EXPECT_EQ(log.CountAtLevel(QC_LOG_ERROR), 2);
}

TEST(QA_Buffer_OGGTest, CommentHeaderIsCheckedBeforeTheDecoderTrustsItsLengths)
{
    CapturedLog log;
    TempFolder folder;

    // A long tag spans many pages and is accepted.
    OggWriteOptions tagged;
    tagged.frames = 4410;
    tagged.sample = Tone(440.0, 440.0, 44100.0);
    tagged.comment = std::string(300000, 'x');
    const std::string taggedPath = folder.File("tagged.ogg");
    ASSERT_TRUE(WriteOgg(taggedPath, tagged));
    QC_Ptr<QA_Buffer> pcm;
    ASSERT_TRUE(QA_Buffer_OGG::Load(taggedPath.c_str(), pcm));
    EXPECT_EQ(pcm->Size(), 4410u * 4);

    // The same header stating more comments than it holds is refused before decoding. The
    // count follows "\x03vorbis", the vendor length and the vendor string on the second page.
    std::vector<std::uint8_t> bytes = ReadBytes(WriteTone(folder, "plain.ogg", 2, 44100, 4410, 440.0, 440.0));
    const std::size_t page = 58, packet = page + 27 + bytes[page + 26];
    std::uint32_t vendor = 0;
    std::memcpy(&vendor, &bytes[packet + 7], 4);
    const std::size_t countAt = packet + 7 + 4 + vendor;
    const std::uint32_t huge = 0x20000000;
    std::memcpy(&bytes[countAt], &huge, 4);
    RewritePageCrc(bytes, page);
    const std::string lying = folder.File("lying.ogg");
    WriteBytes(lying, bytes);
    EXPECT_FALSE(QA_Buffer_OGG::Load(lying.c_str(), pcm));
    ExpectOpenFailure(log, lying, QA_Buffer_OGG::ErrorHeader);
}

// Inputs that would crash or leak inside the decoder without the loader's guards (the comment
// header check and the loader-owned arena); each fails softly and leaks nothing.
TEST(QA_Buffer_OGGTest, InputsThatWouldBreakTheDecoderFailSoftly)
{
    CapturedLog log;
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VC_SOURCE_DIR "/tests/fuzz/crashers")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("ogg_loader-", 0) != 0)
            continue;
        QC_Ptr<QA_Buffer> pcm;
        const std::string path = entry.path().string();
        if (QA_Buffer_OGG::Load(path.c_str(), pcm)) {
            EXPECT_GT(pcm->Size(), 0u) << name;
            EXPECT_EQ(pcm->Size() % 4, 0u) << name;
        } else {
            EXPECT_EQ(log.lines.back().message.rfind("Failed to open ogg " + path + ". Error is ", 0), 0u) << name;
        }
        ++checked;
    }
    EXPECT_GE(checked, 2);
}

namespace
{
// The whole stream decoded by one decoder from the start, up to its stated length: what the
// loader's whole and streamed decodes must give, sample for sample.
std::string DecodeWithOneDecoder(const std::string& path)
{
    int error = 0;
    stb_vorbis* decoder = stb_vorbis_open_filename(path.c_str(), &error, nullptr);
    if (!decoder)
        return std::string();
    const std::uint32_t frames = stb_vorbis_stream_length_in_samples(decoder);
    std::vector<short> samples(std::size_t(frames) * 2);
    std::uint32_t decoded = 0;
    for (int got = 1; got > 0 && decoded < frames; decoded += std::uint32_t(got))
        got = stb_vorbis_get_samples_short_interleaved(decoder, 2, samples.data() + std::size_t(decoded) * 2,
                                                       int(frames - decoded) * 2);
    stb_vorbis_close(decoder);
    return std::string(reinterpret_cast<const char*>(samples.data()), std::size_t(decoded) * 4);
}

std::string Bytes(const QA_Buffer& pcm)
{
    return std::string(reinterpret_cast<const char*>(pcm.Data()), pcm.Size());
}

// A sweep, so that no two packets of the stream are alike.
std::string WriteSweep(const TempFolder& folder, const char* name, double seconds, double claimedExtraSeconds)
{
    OggWriteOptions options;
    options.frames = std::uint64_t(seconds * 44100);
    options.lastGranuleShift = std::int64_t(claimedExtraSeconds * 44100);
    options.sample = [](std::uint64_t frame, int channel) {
        const double t = double(frame) / 44100.0;
        return float(0.4 * std::sin(2.0 * kPi * (200.0 + 30.0 * t) * t + channel));
    };
    const std::string path = folder.File(name);
    EXPECT_TRUE(WriteOgg(path, options)) << path;
    return path;
}
} // namespace

TEST(QA_Buffer_OGGTest, LongMusicDecodedWholeHasTheSamplesOfOneDecoder)
{
    CapturedLog log;
    TempFolder folder;
    struct Case
    {
        const char* what;
        std::string path;
    } cases[] = {
        {"the demo's music", std::string(VC_SOURCE_DIR) + "/assets/music.ogg"},
        {"a whole 25 s stream", WriteSweep(folder, "whole.ogg", 25.0, 0.0)},
        // The audio ends past the middle of its stated length.
        {"25 s claiming 45 s", WriteSweep(folder, "ends-in-second-half.ogg", 25.0, 20.0)},
        // The audio ends before the middle of its stated length: nothing after the end may count.
        {"12 s claiming 42 s", WriteSweep(folder, "ends-in-first-half.ogg", 12.0, 30.0)},
    };
    std::size_t lastSize = 0;
    for (const Case& c : cases) {
        const std::string expected = DecodeWithOneDecoder(c.path);
        ASSERT_GT(expected.size(), 10u * 44100u * 4u) << c.what;
        QC_Ptr<QA_Buffer> pcm;
        ASSERT_TRUE(QA_Buffer_OGG::Load(c.path.c_str(), pcm)) << c.what;
        EXPECT_EQ(pcm->Size(), expected.size()) << c.what;
        EXPECT_TRUE(Bytes(*pcm) == expected) << c.what << ": the samples differ from one decoder's";
        lastSize = pcm->Size();
    }
    EXPECT_TRUE(log.Contains(QC_LOG_ERROR, "Ogg " + cases[3].path + " ended after " + std::to_string(lastSize / 4) +
                                               " of its " + std::to_string(42 * 44100) + " frames."));
}

TEST(QA_Buffer_OGGTest, StreamedMusicStartsWithItsHeadAndEndsWithTheSamplesOfOneDecoder)
{
    CapturedLog log;
    TempFolder folder;
    constexpr std::uint32_t kHeadBytes = 5 * 44100 * 4;
    struct Case
    {
        const char* what;
        std::string path;
        bool streamed; // false: decoded whole before the loader returns
    } cases[] = {
        {"the demo's music", std::string(VC_SOURCE_DIR) + "/assets/music.ogg", true},
        {"a whole 25 s stream", WriteSweep(folder, "whole.ogg", 25.0, 0.0), true},
        {"12 s claiming 42 s", WriteSweep(folder, "ends-early.ogg", 12.0, 30.0), true},
        {"3 s claiming 33 s", WriteSweep(folder, "ends-in-head.ogg", 3.0, 30.0), false},
        {"a short 8 s sound", WriteSweep(folder, "short.ogg", 8.0, 0.0), false},
    };
    for (const Case& c : cases) {
        const std::string expected = DecodeWithOneDecoder(c.path);
        ASSERT_GT(expected.size(), 44100u * 4u) << c.what;
        QC_Ptr<QA_Buffer> pcm;
        ASSERT_TRUE(QA_Buffer_OGG::LoadStreamed(c.path.c_str(), pcm)) << c.what;
        EXPECT_EQ(pcm->IsFilling(), c.streamed) << c.what;
        if (c.streamed) {
            // The head is there at once; the rest waits for the first reader.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_EQ(pcm->Filled(), kHeadBytes) << c.what;
            EXPECT_EQ(std::memcmp(pcm->Data(), expected.data(), kHeadBytes), 0) << c.what;
        }
        pcm->WaitUntilFilled();
        EXPECT_FALSE(pcm->IsFilling()) << c.what;
        ASSERT_EQ(pcm->Filled(), expected.size()) << c.what;
        EXPECT_EQ(std::memcmp(pcm->Data(), expected.data(), expected.size()), 0)
            << c.what << ": the samples differ from one decoder's";
        // The buffer keeps the stated length when the rest of a streamed decode ends early.
        if (!c.streamed) {
            EXPECT_EQ(pcm->Size(), expected.size()) << c.what;
        }
    }
    for (const Case& c : {cases[2], cases[3]}) {
        const std::size_t decoded = DecodeWithOneDecoder(c.path).size() / 4;
        EXPECT_TRUE(log.Contains(QC_LOG_ERROR, "Ogg " + c.path + " ended after " + std::to_string(decoded) +
                                                   " of its " + std::to_string(std::size_t(c.what[0] == '1' ? 42 : 33) * 44100) +
                                                   " frames."))
            << c.what;
    }

    // Dropped while it waits for a reader, and while it decodes: the decode stops, quietly.
    const std::size_t linesBefore = log.lines.size();
    QC_Ptr<QA_Buffer> waiting, decoding;
    ASSERT_TRUE(QA_Buffer_OGG::LoadStreamed(cases[0].path.c_str(), waiting));
    ASSERT_TRUE(QA_Buffer_OGG::LoadStreamed(cases[0].path.c_str(), decoding));
    decoding->Want();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (decoding->Filled() == kHeadBytes && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GT(decoding->Filled(), kHeadBytes);
    waiting = nullptr;
    decoding = nullptr;
    EXPECT_EQ(log.lines.size(), linesBefore);
}
