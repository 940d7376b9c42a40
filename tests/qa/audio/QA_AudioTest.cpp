#include "QA_Audio.h"

#include "support/AudioTestSupport.h"
#include "support/OggWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace
{
// SDL's disk driver writes everything the device plays (silence included) to a file, in real
// time. It reads these variables when the audio subsystem starts, that is in QA_CreateAudio.
void UseDiskDriver(const std::string& file)
{
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
}

std::uintmax_t FileSize(const std::string& path)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// Waits until the file has grown to at least size bytes (false after ten seconds).
bool WaitForFileSize(const std::string& path, std::uintmax_t size)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (FileSize(path) < size) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Noise with no zero byte, so the first non-zero byte of the output is the buffer's first.
std::vector<std::uint8_t> NoisePcm(std::uint32_t frames, std::uint32_t seed)
{
    std::vector<std::uint8_t> pcm(std::size_t(frames) * 4);
    std::uint32_t state = seed;
    for (std::uint8_t& byte : pcm) {
        state = state * 1664525u + 1013904223u;
        byte = std::uint8_t(1 + (state >> 24) % 255);
    }
    return pcm;
}

QC_Ptr<QA_SoundBuffer> MakeSoundBuffer(const std::vector<std::uint8_t>& pcm)
{
    QA_Audio* audio = QA_GetAudio();
    QC_Ptr<QA_SoundBuffer> buffer = audio->CreateSoundBuffer(std::uint32_t(pcm.size()));
    void* bytes = audio->Lock(buffer.Get());
    std::memcpy(bytes, pcm.data(), pcm.size());
    audio->Unlock(buffer.Get(), bytes);
    return buffer;
}

std::size_t Find(const std::vector<std::uint8_t>& haystack, const std::uint8_t* needle, std::size_t length,
                 std::size_t from)
{
    if (from > haystack.size())
        return std::string::npos;
    const auto found = std::search(haystack.begin() + std::ptrdiff_t(from), haystack.end(), needle, needle + length);
    return found == haystack.end() ? std::string::npos : std::size_t(found - haystack.begin());
}

// The death tests run after other tests in the same process may have started SDL threads.
class QA_AudioDeathTest : public testing::Test
{
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};
} // namespace

TEST(QA_AudioTest, PlayWritesTheBufferFromItsStartOnceThenSilence)
{
    TempFolder folder;
    const std::string output = folder.File("out.raw");
    UseDiskDriver(output);
    QA_CreateAudio(QA_AudioSettings{.enabled = true});
    ASSERT_NE(QA_GetAudio(), nullptr);

    const std::vector<std::uint8_t> pcm = NoisePcm(11025, 7); // a quarter of a second
    {
        QC_Ptr<QA_SoundBuffer> buffer = MakeSoundBuffer(pcm);
        QA_GetAudio()->Play(buffer.Get());
        EXPECT_EQ(QA_GetAudio()->Playing(), buffer.Get());
        EXPECT_EQ(buffer->RefCount(), 2);
        // The caller's reference goes here; the device keeps the buffer alive while it plays.
    }
    EXPECT_EQ(QA_GetAudio()->Playing()->RefCount(), 1);
    ASSERT_TRUE(WaitForFileSize(output, pcm.size() + 64 * 1024));
    QA_DestroyAudio();
    EXPECT_EQ(QA_GetAudio(), nullptr);

    const std::vector<std::uint8_t> written = ReadBytes(output);
    const auto firstSound = std::find_if(written.begin(), written.end(), [](std::uint8_t b) { return b != 0; });
    ASSERT_NE(firstSound, written.end());
    const std::size_t start = std::size_t(firstSound - written.begin());
    EXPECT_EQ(start % 4, 0u);
    ASSERT_GE(written.size(), start + pcm.size() + 4096);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), written.begin() + std::ptrdiff_t(start)));
    // Once, never looping: silence to the end of the file.
    EXPECT_TRUE(std::all_of(written.begin() + std::ptrdiff_t(start + pcm.size()), written.end(),
                            [](std::uint8_t b) { return b == 0; }));
}

TEST(QA_AudioTest, PlayAgainRestartsFromTheFirstByte)
{
    TempFolder folder;
    const std::string output = folder.File("out.raw");
    UseDiskDriver(output);
    QA_CreateAudio(QA_AudioSettings{.enabled = true});

    const std::vector<std::uint8_t> pcm = NoisePcm(44100, 11); // one second
    QC_Ptr<QA_SoundBuffer> buffer = MakeSoundBuffer(pcm);
    const std::uintmax_t before = FileSize(output);
    QA_GetAudio()->Play(buffer.Get());
    // Let about a third of it play, then start it again.
    ASSERT_TRUE(WaitForFileSize(output, before + pcm.size() / 3));
    QA_GetAudio()->Play(buffer.Get());
    EXPECT_EQ(buffer->RefCount(), 2);
    const std::uintmax_t restarted = FileSize(output);
    ASSERT_TRUE(WaitForFileSize(output, restarted + pcm.size() + 64 * 1024));
    QA_DestroyAudio();
    EXPECT_EQ(buffer->RefCount(), 1);

    const std::vector<std::uint8_t> written = ReadBytes(output);
    const std::size_t first = Find(written, pcm.data(), 64, 0);
    ASSERT_NE(first, std::string::npos);
    const std::size_t second = Find(written, pcm.data(), 64, first + 4);
    ASSERT_NE(second, std::string::npos) << "the second Play did not start from the first byte";
    // The first play was cut off by the second, which then ran to the end once.
    ASSERT_LT(second - first, pcm.size());
    EXPECT_TRUE(std::equal(written.begin() + std::ptrdiff_t(first), written.begin() + std::ptrdiff_t(second),
                           pcm.begin()));
    ASSERT_GE(written.size(), second + pcm.size());
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), written.begin() + std::ptrdiff_t(second)));
    EXPECT_EQ(Find(written, pcm.data(), 64, second + 4), std::string::npos);
}

TEST(QA_AudioTest, DisabledAudioStillOpensTheDeviceAndPlayDoesNothing)
{
    TempFolder folder;
    const std::string output = folder.File("out.raw");
    UseDiskDriver(output);
    QA_CreateAudio(QA_AudioSettings{.enabled = false});
    ASSERT_NE(QA_GetAudio(), nullptr);
    EXPECT_FALSE(QA_GetAudio()->IsEnabled());

    const std::vector<std::uint8_t> pcm = NoisePcm(4410, 3);
    QC_Ptr<QA_SoundBuffer> buffer = MakeSoundBuffer(pcm);
    QA_GetAudio()->Play(buffer.Get());
    EXPECT_EQ(QA_GetAudio()->Playing(), nullptr);
    EXPECT_EQ(buffer->RefCount(), 1);
    // The device runs (it writes silence) but never plays the buffer.
    ASSERT_TRUE(WaitForFileSize(output, pcm.size() + 32 * 1024));
    QA_DestroyAudio();
    const std::vector<std::uint8_t> written = ReadBytes(output);
    EXPECT_TRUE(std::all_of(written.begin(), written.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(QA_AudioTest, LockingThePlayingBufferHoldsTheMixerUntilUnlock)
{
    TempFolder folder;
    const std::string output = folder.File("out.raw");
    UseDiskDriver(output);
    QA_CreateAudio(QA_AudioSettings{.enabled = true});

    const std::vector<std::uint8_t> pcm = NoisePcm(44100, 5);
    QC_Ptr<QA_SoundBuffer> buffer = MakeSoundBuffer(pcm);
    EXPECT_EQ(buffer->Size(), pcm.size());
    QA_GetAudio()->Play(buffer.Get());

    void* bytes = QA_GetAudio()->Lock(buffer.Get());
    EXPECT_TRUE(buffer->IsLocked());
    // At most the period the mixer had already filled is written after the lock is taken.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const std::uintmax_t held = FileSize(output);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(FileSize(output), held);
    QA_GetAudio()->Unlock(buffer.Get(), bytes);
    EXPECT_FALSE(buffer->IsLocked());
    EXPECT_TRUE(WaitForFileSize(output, held + 16 * 1024));
    QA_DestroyAudio();
}

TEST_F(QA_AudioDeathTest, NoDeviceIsFatal)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EXIT(QA_CreateAudio(QA_AudioSettings{}), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "frame/qa/QA_Audio.cpp\\([0-9]+\\): +[0-9]+ \\[FATAL\\] Failed to create direct sounds\\.");
}

TEST_F(QA_AudioDeathTest, LockingTwiceOrUnlockingAnotherPointerIsFatal)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    QA_CreateAudio(QA_AudioSettings{});
    QC_Ptr<QA_SoundBuffer> buffer = QA_GetAudio()->CreateSoundBuffer(4096);
    void* bytes = QA_GetAudio()->Lock(buffer.Get());
    ASSERT_NE(bytes, nullptr);
    EXPECT_EXIT(QA_GetAudio()->Lock(buffer.Get()), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "frame/qa/QA_SoundBuffer.cpp.*Failed to lock buffer\\.");
    char other[4];
    EXPECT_EXIT(QA_GetAudio()->Unlock(buffer.Get(), other), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "frame/qa/QA_SoundBuffer.cpp.*Failed to unlock buffer\\.");
    QA_GetAudio()->Unlock(buffer.Get(), bytes);
    EXPECT_EXIT(QA_GetAudio()->Unlock(buffer.Get(), bytes), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "Failed to unlock buffer\\.");
    EXPECT_EXIT(QA_GetAudio()->CreateSoundBuffer(0), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "Failed to create sound buffer\\.");
    QA_DestroyAudio();
}
