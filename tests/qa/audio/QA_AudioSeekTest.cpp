// The play cursor: reading it, pausing it and moving it, checked both through the cursor and
// through what the device really played (SDL's disk driver writes the output to a file).

#include "support/AudioTestSupport.h"

#include "QA_Audio.h"

#include <gtest/gtest.h>


#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace
{
// Sixteen-bit stereo frames whose left sample is the frame number modulo 32768: any stretch of
// output tells which frame it was cut from.
std::vector<std::uint8_t> CountingPcm(std::uint32_t frames)
{
    std::vector<std::uint8_t> pcm(std::size_t(frames) * 4);
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        const std::uint16_t left = static_cast<std::uint16_t>(frame % 32768u);
        pcm[frame * 4] = std::uint8_t(left & 0xFF);
        pcm[frame * 4 + 1] = std::uint8_t(left >> 8);
        pcm[frame * 4 + 2] = 0x55;
        pcm[frame * 4 + 3] = 0x55;
    }
    return pcm;
}

QC_Ptr<QA_SoundBuffer> Load(const std::vector<std::uint8_t>& pcm)
{
    QC_Ptr<QA_SoundBuffer> buffer = QA_GetAudio()->CreateSoundBuffer(static_cast<std::uint32_t>(pcm.size()));
    void* bytes = QA_GetAudio()->Lock(buffer.Get());
    std::memcpy(bytes, pcm.data(), pcm.size());
    QA_GetAudio()->Unlock(buffer.Get(), bytes);
    return buffer;
}

class QA_AudioSeekTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vc-audio-seek-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        output = folder + "/out.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
        QA_CreateAudio(QA_AudioSettings{.enabled = true});
    }
    void TearDown() override
    {
        QA_DestroyAudio();
        std::filesystem::remove_all(folder);
    }

    CapturedLog log;
    std::string folder;
    std::string output;
};

void WaitFor(const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}
} // namespace

TEST_F(QA_AudioSeekTest, PausedCursorStandsStillAndSeeksLandOnTheSample)
{
    const std::vector<std::uint8_t> pcm = CountingPcm(44100 * 6);
    QC_Ptr<QA_SoundBuffer> music = Load(pcm);
    QA_Audio* audio = QA_GetAudio();
    EXPECT_EQ(audio->GetPlayPosition(), 0u); // nothing plays yet
    audio->Play(music.Get());
    WaitFor([&] { return audio->GetPlayPosition() >= 4096; });
    ASSERT_GE(audio->GetPlayPosition(), 4096u) << "the cursor never moved";

    audio->SetPaused(true);
    EXPECT_TRUE(audio->IsPaused());
    const std::uint32_t held = audio->GetPlayPosition();
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_EQ(audio->GetPlayPosition(), held) << "a paused cursor moved";

    // Two seconds forward, to the sample, while paused; then back before the start of a bar.
    audio->SetPlayPosition(held + 88200);
    EXPECT_EQ(audio->GetPlayPosition(), held + 88200);
    audio->SetPlayPosition(44100);
    EXPECT_EQ(audio->GetPlayPosition(), 44100u);
    // Past the end is the end: silence follows.
    audio->SetPlayPosition(44100 * 100);
    EXPECT_EQ(audio->GetPlayPosition(), 44100u * 6);

    // Resumed at frame 88200: what the device plays next starts with that frame's sample.
    audio->SetPlayPosition(88200);
    const std::uintmax_t writtenBefore = std::filesystem::file_size(output);
    audio->SetPaused(false);
    WaitFor([&] { return audio->GetPlayPosition() >= 88200 + 8192; });
    EXPECT_GE(audio->GetPlayPosition(), 88200u + 8192u);
    QA_DestroyAudio();
    const std::vector<std::uint8_t> written = ReadBytes(output);
    // The first non-silent frame written after resuming is frame 88200 (88200 mod 32768).
    std::size_t at = std::size_t(writtenBefore);
    at -= at % 4;
    while (at + 4 <= written.size() && written[at + 2] != 0x55)
        at += 4;
    ASSERT_LT(at + 4, written.size()) << "nothing was played after resuming";
    const std::uint16_t left = std::uint16_t(written[at] | (written[at + 1] << 8));
    EXPECT_EQ(left, 88200u % 32768u);
    QA_CreateAudio(QA_AudioSettings{.enabled = true}); // for TearDown
}

TEST_F(QA_AudioSeekTest, WithoutMusicOrWithAudioDisabledTheCursorReadsZero)
{
    QA_Audio* audio = QA_GetAudio();
    audio->SetPlayPosition(1000);
    EXPECT_EQ(audio->GetPlayPosition(), 0u);
    audio->SetPaused(true);
    EXPECT_TRUE(audio->IsPaused());
    audio->SetPaused(false);
    QA_DestroyAudio();

    QA_CreateAudio(QA_AudioSettings{.enabled = false});
    const std::vector<std::uint8_t> pcm = CountingPcm(4410);
    QC_Ptr<QA_SoundBuffer> music = Load(pcm);
    QA_GetAudio()->Play(music.Get());
    QA_GetAudio()->SetPlayPosition(100);
    EXPECT_EQ(QA_GetAudio()->GetPlayPosition(), 0u);
}

namespace
{
// Stands in for a decode: the test publishes the progress itself.
class HeldFill final : public QA_BufferFill
{
public:
    void Wait() override {}
};
} // namespace

TEST_F(QA_AudioSeekTest, MusicStillDecodingPlaysWhatIsFilledThenSilenceAndTheCursorKeepsTime)
{
    const std::vector<std::uint8_t> pcm = CountingPcm(44100 * 4);
    QC_Ptr<QA_Buffer> decoded = QA_Buffer::Create(static_cast<std::uint32_t>(pcm.size()));
    std::memcpy(decoded->Data(), pcm.data(), pcm.size());
    // Only the first 2,000 frames count as decoded; the rest stays unread until published.
    decoded->BeginFilling(2000 * 4, std::make_unique<HeldFill>());
    QA_Audio* audio = QA_GetAudio();
    QC_Ptr<QA_SoundBuffer> music = audio->CreateSoundBuffer(decoded);
    EXPECT_EQ(music->Pcm(), decoded->Data()) << "the music is played in place";
    EXPECT_TRUE(music->IsFilling());
    EXPECT_EQ(music->Filled(), 2000u * 4);

    audio->Play(music.Get());
    WaitFor([&] { return audio->GetPlayPosition() >= 8000; });
    ASSERT_GE(audio->GetPlayPosition(), 8000u) << "the cursor stopped where the decode was";
    decoded->PublishFilled(decoded->Size());
    decoded->EndFilling();
    const std::uint32_t publishedAt = audio->GetPlayPosition();
    WaitFor([&] { return audio->GetPlayPosition() >= publishedAt + 8192; });
    QA_DestroyAudio();

    const std::vector<std::uint8_t> written = ReadBytes(output);
    std::size_t at = 0;
    while (at + 4 <= written.size() && written[at + 2] != 0x55)
        at += 4;
    ASSERT_LT(at + 2000 * 4, written.size());
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.begin() + 2000 * 4, written.begin() + std::ptrdiff_t(at)))
        << "the decoded part plays as it is";
    at += 2000 * 4;
    std::size_t silent = 0;
    while (at + 4 <= written.size() && written[at + 2] != 0x55) {
        silent += 4;
        at += 4;
    }
    EXPECT_GE(silent, (8000u - 2000u) * 4) << "bytes not yet decoded were played";
    ASSERT_LT(at + 4, written.size()) << "nothing played after the rest was published";
    // Play resumes where the cursor has got to, not where the decode stood.
    const std::uint16_t left = std::uint16_t(written[at] | (written[at + 1] << 8));
    EXPECT_GE(left, 8000u);
    EXPECT_LE(left, publishedAt + 8192u);
    QA_CreateAudio(QA_AudioSettings{.enabled = true}); // for TearDown
}
