#include "support/AssetsTestSupport.h"
#include "support/OggWriter.h"

#include "QA_Audio.h"
#include "QA_Buffer_OGG.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

using namespace std::chrono_literals;

namespace
{
// Ogg files written by the audio suite's encoder and kept as fuzz seeds.
std::string SeedOgg(const char* name)
{
    return std::string(VC_SOURCE_DIR) + "/tests/fuzz/seeds/ogg_loader/" + name;
}

class QD_SoundAssetTest : public QD_AssetsTest
{
protected:
    void SetUp() override
    {
        QD_AssetsTest::SetUp();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        QA_CreateAudio(QA_AudioSettings{.enabled = true});
    }
    void TearDown() override
    {
        buffer = nullptr;
        music = nullptr;
        QD_AssetsTest::TearDown(); // the assets and their buffers go first
        QA_DestroyAudio();
    }

    // Decodes the file at path as the reference, then loads it as the assets' music (watched or
    // not) until its sound buffer is there, of the reference's size.
    void LoadMusic(const std::string& path, bool watch)
    {
        ASSERT_TRUE(QA_Buffer_OGG::Load(path.c_str(), expected));
        CreateAssets(watch);
        music = QD_GetAssets()->LoadSound("music.ogg");
        ASSERT_TRUE(PumpUntil([&] { return music->IsLoaded() && Idle(*music); }));
        buffer = music->GetCurrent();
        ASSERT_EQ(buffer->Size(), expected->Size());
    }

    QC_Ptr<QA_Buffer> expected;
    QC_Ptr<QD_SoundAsset> music;
    QC_Ptr<QA_SoundBuffer> buffer;
};
} // namespace

TEST_F(QD_SoundAssetTest, MusicArrivesAsASoundBufferOfTheDecodedPcmAndIgnoresChanges)
{
    const std::string path = dir.File("music.ogg");
    std::filesystem::copy_file(SeedOgg("stereo-44100.ogg"), path);
    ASSERT_NO_FATAL_FAILURE(LoadMusic(path, true));
    void* bytes = QA_GetAudio()->Lock(buffer.Get());
    EXPECT_EQ(std::memcmp(bytes, expected->Data(), expected->Size()), 0);
    QA_GetAudio()->Unlock(buffer.Get(), bytes);

    // Neither a changed file nor another request loads it again.
    SaveInPlace(path, ReadBytes(SeedOgg("mono-22050.ogg")));
    music->Reload();
    RunFramesFor(300ms);
    EXPECT_EQ(music->GetLoadsRun(), 1u);
    EXPECT_EQ(music->GetCurrent(), buffer);
    EXPECT_EQ(music->GetPendingReloads(), 0);
}

TEST_F(QD_SoundAssetTest, LongMusicLoadsWithItsFirstSecondsAndPlaysInPlaceWhileTheRestDecodes)
{
    const std::string path = dir.File("music.ogg");
    OggWriteOptions options;
    options.frames = 25 * 44100;
    options.sample = [](std::uint64_t frame, int channel) { return 0.3f * std::sin(float(frame) * 0.013f + float(channel)); };
    ASSERT_TRUE(WriteOgg(path, options));
    ASSERT_NO_FATAL_FAILURE(LoadMusic(path, false));
    // Loaded with the head alone: the rest waits for the music to be played or asked for.
    EXPECT_TRUE(buffer->IsFilling());
    EXPECT_LT(buffer->Filled(), buffer->Size());
    EXPECT_EQ(std::memcmp(buffer->Pcm(), expected->Data(), buffer->Filled()), 0);
    // Locking waits for the whole decode; the bytes are the whole-file decode's.
    void* bytes = QA_GetAudio()->Lock(buffer.Get());
    EXPECT_FALSE(buffer->IsFilling());
    EXPECT_EQ(buffer->Filled(), expected->Size());
    EXPECT_EQ(std::memcmp(bytes, expected->Data(), expected->Size()), 0);
    QA_GetAudio()->Unlock(buffer.Get(), bytes);
}

TEST_F(QD_SoundAssetTest, MissingMusicIsReportedAndStaysNotLoaded)
{
    CreateAssets(false);
    QC_Ptr<QD_SoundAsset> music = QD_GetAssets()->LoadSound("music.ogg");
    ASSERT_TRUE(PumpUntil([&] { return Idle(*music); }));
    EXPECT_FALSE(music->IsLoaded());
    EXPECT_FALSE(QD_GetAssets()->AllLoaded());
    const std::vector<std::string> errors = log.Messages(QC_LOG_ERROR);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Failed to open ogg " + dir.File("music.ogg") + ". Error is ", 0), 0u) << errors[0];
}

TEST_F(QD_SoundAssetTest, MissingMusicWithFatalFailuresReportsTheOggErrorThenEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child runs the test afresh, in a temporary folder of its own.
    const std::string expected = "\\[ERROR\\] Failed to open ogg (/[^ ]*)/music\\.ogg\\. Error is -?[0-9]+\\.\n"
                                 ".*\\[FATAL\\] Unable to load /[^ ]*/music\\.ogg\\.";
    EXPECT_EXIT(
        {
            CreateAssets(false, true);
            QD_GetAssets()->LoadSound("music.ogg");
            PumpUntil([] { return false; }, 30s);
            std::exit(0);
        },
        testing::ExitedWithCode(QC_FATAL_EXIT_CODE), testing::ContainsRegex(expected));
}
