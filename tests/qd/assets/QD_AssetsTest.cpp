#include "support/AssetsTestSupport.h"

#include "QD_Assets.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace std::chrono_literals;

namespace
{
// Runs Update without the main-thread queue: loads that need their main-thread step stay in
// flight, so a test can make things happen while a load is running.
bool UpdateOnlyUntil(const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QD_GetAssets()->Update();
        QC_Sleep(1);
    }
    return true;
}

std::string TextOf(const QC_Ptr<QD_TextAsset>& asset)
{
    QC_Ptr<QD_Text> text = asset->GetCurrent();
    return text ? text->GetText().CStr() : "<none>";
}
} // namespace

TEST_F(QD_AssetsTest, RootGetsOneSlashAndPathsAreRootPlusName)
{
    {
        QD_Assets assets(QD_AssetsSettings{.root = "assets", .watch = false, .fatalOnLoadFailure = false});
        EXPECT_STREQ(assets.GetRoot().CStr(), "assets/");
        EXPECT_FALSE(assets.IsWatching());
    }
    {
        QD_Assets assets(QD_AssetsSettings{.root = "assets/", .watch = false, .fatalOnLoadFailure = false});
        EXPECT_STREQ(assets.GetRoot().CStr(), "assets/");
    }
    {
        // Empty means the working folder, never the file system's root.
        QD_Assets assets(QD_AssetsSettings{.root = "", .watch = false, .fatalOnLoadFailure = false});
        EXPECT_STREQ(assets.GetRoot().CStr(), "");
    }

    CreateAssets(false);
    QC_Ptr<QD_TextAsset> text = QD_GetAssets()->LoadText("sub/notes.txt");
    EXPECT_EQ(std::string(text->GetPath().CStr()), dir.Path().string() + "/sub/notes.txt");
}

TEST_F(QD_AssetsTest, AllLoadedIsTrueWithoutAssetsAndFalseWhileAnyLoadHasFailed)
{
    Write("broken.qcs", "1 = linear(0:0, ;\n");
    Write("notes.txt", "hello\r\nworld");
    CreateAssets(false);
    EXPECT_TRUE(QD_GetAssets()->AllLoaded());

    QC_Ptr<QD_TextAsset> text = QD_GetAssets()->LoadText("notes.txt");
    QC_Ptr<QD_TextAsset> missing = QD_GetAssets()->LoadText("missing.txt");
    QC_Ptr<QD_SequencerAsset> broken = QD_GetAssets()->LoadSequencer("broken.qcs");
    EXPECT_FALSE(QD_GetAssets()->AllLoaded()); // nothing has arrived before the first frame
    EXPECT_EQ(QD_GetAssets()->GetAssetCount(), 3u);

    ASSERT_TRUE(PumpUntil([&] { return Idle(*text) && Idle(*missing) && Idle(*broken); }));
    EXPECT_EQ(TextOf(text), "hello\nworld");
    // A missing text file is loaded, as an empty text.
    EXPECT_TRUE(missing->IsLoaded());
    EXPECT_EQ(TextOf(missing), "");
    // The script error was reported by the parser; without fatal failures nothing else is.
    EXPECT_FALSE(broken->IsLoaded());
    EXPECT_FALSE(log.Messages(QC_LOG_ERROR).empty());
    for (const std::string& message : log.Messages(QC_LOG_ERROR))
        EXPECT_EQ(message.find("Unable to load"), std::string::npos) << message;
    RunFramesFor(50ms);
    EXPECT_FALSE(QD_GetAssets()->AllLoaded());
}

TEST_F(QD_AssetsTest, FailedLoadIsFatalWhenLoadFailuresAreFatal)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child runs the test afresh, in a temporary folder of its own.
    const std::string expected = "\\[FATAL\\] Unable to load /.*/missing\\.qcs\\.";
    EXPECT_EXIT(
        {
            CreateAssets(false, true);
            QD_GetAssets()->LoadSequencer("missing.qcs");
            PumpUntil([] { return false; }, 30s);
            std::exit(0);
        },
        testing::ExitedWithCode(QC_FATAL_EXIT_CODE), expected);
}

TEST_F(QD_AssetsTest, WithWatchingOffNothingReloads)
{
    const std::string path = Write("notes.txt", "first");
    CreateAssets(false);
    QC_Ptr<QD_TextAsset> text = QD_GetAssets()->LoadText("notes.txt");
    ASSERT_TRUE(PumpUntil([&] { return text->IsLoaded() && Idle(*text); }));

    SaveInPlace(path, "second version");
    SaveAtomically(path, "third version!");
    RunFramesFor(300ms);
    EXPECT_EQ(TextOf(text), "first");
    EXPECT_EQ(text->GetLoadsRun(), 1u);
}

TEST_F(QD_AssetsTest, SavingOneScriptReloadsOnlyThatScript)
{
    const std::string a = Write("a.qcs", "1 = 10;\n");
    Write("b.qcs", "1 = 20;\n");
    Write("notes.txt", "notes");
    CreateAssets(true);
    ASSERT_TRUE(QD_GetAssets()->IsWatching());
    QC_Ptr<QD_SequencerAsset> first = QD_GetAssets()->LoadSequencer("a.qcs");
    QC_Ptr<QD_SequencerAsset> second = QD_GetAssets()->LoadSequencer("b.qcs");
    QC_Ptr<QD_TextAsset> text = QD_GetAssets()->LoadText("notes.txt");
    ASSERT_TRUE(PumpUntil([&] { return QD_GetAssets()->AllLoaded() && Idle(*first) && Idle(*second) && Idle(*text); }));
    const QC_Ptr<QD_Sequencer> firstBefore = first->GetCurrent();
    const QC_Ptr<QD_Sequencer> secondBefore = second->GetCurrent();
    const QC_Ptr<QD_Text> textBefore = text->GetCurrent();

    SaveInPlace(a, "1 = 11.5;\n");
    ASSERT_TRUE(PumpUntil([&] {
        return first->GetCurrent() != firstBefore && second->GetLoadsRun() >= 2 && text->GetLoadsRun() >= 2 &&
               Idle(*first) && Idle(*second) && Idle(*text);
    }));
    EXPECT_FLOAT_EQ(first->GetCurrent()->GetValue(1), 11.5f);
    // The others ran their loader for the notification, found their stamps unchanged and kept
    // their content.
    EXPECT_EQ(second->GetCurrent(), secondBefore);
    EXPECT_EQ(text->GetCurrent(), textBefore);
    EXPECT_EQ(second->GetLoadsRun() - second->GetLoadsUnchanged(), 1u);
    EXPECT_EQ(text->GetLoadsRun() - text->GetLoadsUnchanged(), 1u);
    EXPECT_EQ(first->GetLoadsRun() - first->GetLoadsUnchanged(), 2u);
}

TEST_F(QD_AssetsTest, AtomicSaveAndFilesInFoldersCreatedLaterAreReloaded)
{
    const std::string path = Write("notes.txt", "first");
    CreateAssets(true);
    QC_Ptr<QD_TextAsset> text = QD_GetAssets()->LoadText("notes.txt");
    QC_Ptr<QD_TextAsset> later = QD_GetAssets()->LoadText("later/deeper/notes.txt");
    ASSERT_TRUE(PumpUntil([&] { return QD_GetAssets()->AllLoaded() && Idle(*text) && Idle(*later); }));
    EXPECT_EQ(TextOf(later), "");

    // Written to a temporary file and renamed over the asset.
    SaveAtomically(path, "second");
    ASSERT_TRUE(PumpUntil([&] { return TextOf(text) == "second" && Idle(*text); }));

    // Both folders appear at once; the notification for them is seen (every asset runs its
    // loader once more) before the file inside is written, so only a watch on the deeper folder
    // can report the file.
    const std::uint32_t loadsBefore = later->GetLoadsRun();
    std::filesystem::create_directories(dir.Path() / "later" / "deeper");
    ASSERT_TRUE(PumpUntil([&] { return later->GetLoadsRun() > loadsBefore && Idle(*later); }));
    EXPECT_EQ(TextOf(later), "");
    SaveInPlace(dir.File("later/deeper/notes.txt"), "arrived");
    ASSERT_TRUE(PumpUntil([&] { return TextOf(later) == "arrived"; }));

    // Deleting the file is a change too: the text asset then reads it as empty.
    std::filesystem::remove(path);
    ASSERT_TRUE(PumpUntil([&] { return TextOf(text) == "" && Idle(*text); }));
}

TEST_F(QD_AssetsTest, TwoNotificationsDuringOneLoadRunTwoLoadsTheSecondFindingTheStampUnchanged)
{
    const std::string script = Write("scene.qcs", "1 = 1;\n");
    const std::string unrelated = Write("unrelated.txt", "x");
    // Counts loads exactly: a changed file is read at once instead of after it settles.
    QD_SetSaveSettling(QD_SaveSettling{.settleMilliseconds = 0, .emptyHoldMilliseconds = 0});
    CreateAssets(true);
    QC_Ptr<QD_SequencerAsset> scene = QD_GetAssets()->LoadSequencer("scene.qcs");
    ASSERT_TRUE(PumpUntil([&] { return scene->IsLoaded() && Idle(*scene); }));
    ASSERT_EQ(scene->GetLoadsRun(), 1u);

    // The first notification starts a load, which then waits for its main-thread step.
    SaveInPlace(script, "1 = 2.25;\n");
    ASSERT_TRUE(UpdateOnlyUntil([&] { return scene->IsLoading() && scene->GetLoadsRun() == 2; }));
    // The second arrives while that load is in flight: it is counted, not started. (A removal
    // is a single event, so it cannot be read as two notifications in two frames.)
    std::filesystem::remove(unrelated);
    ASSERT_TRUE(UpdateOnlyUntil([&] { return scene->GetPendingReloads() == 2; }));
    EXPECT_EQ(scene->GetLoadsRun(), 2u);
    EXPECT_FLOAT_EQ(scene->GetCurrent()->GetValue(1), 1.0f);

    ASSERT_TRUE(PumpUntil([&] { return Idle(*scene); }));
    EXPECT_EQ(scene->GetLoadsRun(), 3u);
    EXPECT_EQ(scene->GetLoadsUnchanged(), 1u);
    EXPECT_FLOAT_EQ(scene->GetCurrent()->GetValue(1), 2.25f);

    // A reload asked for while a load is in flight waits for it instead of running beside it.
    scene->Reload();
    scene->Reload();
    EXPECT_EQ(scene->GetPendingReloads(), 2);
    ASSERT_TRUE(PumpUntil([&] { return Idle(*scene); }));
    EXPECT_EQ(scene->GetLoadsRun(), 5u);
    EXPECT_EQ(scene->GetLoadsUnchanged(), 3u);
}

TEST_F(QD_AssetsTest, ScriptEditedToASyntaxErrorKeepsThePreviousSequencerAndItsSubscriptions)
{
    const std::string script = Write("scene.qcs", "1 = beat(1.0);\n2 = 7;\n");
    CreateAssets(true);
    QC_Ptr<QD_SequencerAsset> scene = QD_GetAssets()->LoadSequencer("scene.qcs");
    ASSERT_TRUE(PumpUntil([&] { return scene->IsLoaded() && Idle(*scene); }));
    EXPECT_EQ(QD_GetSync()->ListenerCount(), 1u);
    QD_GetSync()->UpdateAtMilliseconds(1000); // 2 beats at 120 BPM
    EXPECT_FLOAT_EQ(scene->GetCurrent()->GetValue(1), 2.0f);
    const QD_Sequencer* working = scene->GetCurrent().Get();

    SaveInPlace(script, "1 = beat(;\n2 = 8;\n");
    ASSERT_TRUE(PumpUntil([&] { return scene->GetLoadsRun() == 2 && Idle(*scene); }));
    EXPECT_FALSE(log.Messages(QC_LOG_ERROR).empty()); // the parser's report
    EXPECT_EQ(scene->GetCurrent().Get(), working);
    EXPECT_EQ(QD_GetSync()->ListenerCount(), 1u);
    QD_GetSync()->UpdateAtMilliseconds(2000);
    EXPECT_FLOAT_EQ(scene->GetCurrent()->GetValue(1), 4.0f);
    EXPECT_FLOAT_EQ(scene->GetCurrent()->GetValue(2), 7.0f);

    // Fixed: the new sequencer replaces the old one, whose channel unsubscribes as it dies.
    SaveInPlace(script, "1 = beat(0.5);\n2 = 9;\n");
    ASSERT_TRUE(PumpUntil([&] { return scene->GetCurrent().Get() != working && Idle(*scene); }));
    EXPECT_EQ(QD_GetSync()->ListenerCount(), 1u);
    QD_GetSync()->UpdateAtMilliseconds(3000);
    EXPECT_FLOAT_EQ(scene->GetCurrent()->GetValue(1), 3.0f);
    EXPECT_FLOAT_EQ(scene->GetCurrent()->GetValue(2), 9.0f);
}

TEST_F(QD_AssetsTest, DestroyingTheManagerWithLoadsInFlightNeitherHangsNorCrashes)
{
    Write("a.qcs", "1 = beat(1.0);\n");
    Write("b.qcs", "1 = beat(2.0);\n");
    Write("notes.txt", "notes");
    CreateAssets(true);
    QC_Ptr<QD_SequencerAsset> first = QD_GetAssets()->LoadSequencer("a.qcs");
    QC_Ptr<QD_SequencerAsset> second = QD_GetAssets()->LoadSequencer("b.qcs");
    QC_Ptr<QD_TextAsset> text = QD_GetAssets()->LoadText("notes.txt");
    // Without the main-thread queue running, both sequencer loads end up waiting for their step.
    ASSERT_TRUE(UpdateOnlyUntil([&] { return first->GetLoadsRun() == 1 && second->GetLoadsRun() == 1; }));
    QC_Sleep(50);

    QD_DestroyAssets();
    EXPECT_TRUE(first->LoadFinished());
    EXPECT_TRUE(second->LoadFinished());
    EXPECT_FALSE(first->IsLoaded());
    // The steps still queued run late and do nothing: no channel subscribes.
    QC_GetTasks()->RunMainThreadTasks();
    EXPECT_EQ(QD_GetSync()->ListenerCount(), 0u);
    EXPECT_FALSE(second->IsLoaded());
}

TEST_F(QD_AssetsTest, AWatchThatCannotBeSetUpIsFatalWithTheErrorNumber)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QD_CreateAssets(QD_AssetsSettings{.root = (dir.Path() / "missing").c_str(), .watch = true, .fatalOnLoadFailure = false});
            std::exit(0);
        },
        testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
        "\\[FATAL\\] Could not create FindFirstChangeNotification\\. Last error is 2\\."); // ENOENT
}

TEST_F(QD_AssetsTest, AWatchedRootThatGoesAwayIsReportedOnceAsAbandoned)
{
    std::filesystem::create_directories(dir.Path() / "tree");
    Write("tree/notes.txt", "notes");
    QD_CreateAssets(QD_AssetsSettings{.root = (dir.Path() / "tree").c_str(), .watch = true, .fatalOnLoadFailure = false});
    QC_Ptr<QD_TextAsset> text = QD_GetAssets()->LoadText("notes.txt");
    ASSERT_TRUE(PumpUntil([&] { return text->IsLoaded() && Idle(*text); }));

    std::filesystem::remove_all(dir.Path() / "tree");
    const std::string abandoned = "Abandoned WaitForSingleObject. Last error is 0.";
    ASSERT_TRUE(PumpUntil([&] { return log.Contains(QC_LOG_ERROR, abandoned); }));
    // The changes seen with it are handed out in the next frames: the text reads as empty.
    ASSERT_TRUE(PumpUntil([&] { return TextOf(text) == "" && Idle(*text); }));
    RunFramesFor(50ms);
    int reports = 0;
    for (const std::string& message : log.Messages(QC_LOG_ERROR))
        reports += message == abandoned;
    EXPECT_EQ(reports, 1);
}
