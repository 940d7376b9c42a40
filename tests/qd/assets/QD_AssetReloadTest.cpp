// Hot reload as editors save: saves in progress never become current, a watched root that is
// deleted and created again is watched again, a failed reload is never fatal, and a failed load
// says why until the file loads again.

#include "support/AssetsTestSupport.h"

#include "QD_AssetErrorLog.h"
#include "QD_Assets.h"
#include "QD_ScriptDocument.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <utility>

using namespace std::chrono_literals;

namespace
{
// Settle times far above the gaps the tests leave between the steps of one save, so a slow
// machine cannot make a step look finished.
constexpr QD_SaveSettling kTestSettling{.settleMilliseconds = 250, .emptyHoldMilliseconds = 600};

std::string TextOf(const QC_Ptr<QD_TextAsset>& asset)
{
    QC_Ptr<QD_Text> text = asset->GetCurrent();
    return text ? text->GetText().CStr() : "<none>";
}

// Channels 1 and 2 of the current sequencer, or (-1, -1) without one.
std::pair<float, float> ValuesOf(const QC_Ptr<QD_SequencerAsset>& asset)
{
    QC_Ptr<QD_Sequencer> sequencer = asset->GetCurrent();
    return sequencer ? std::make_pair(sequencer->GetValue(1), sequencer->GetValue(2)) : std::make_pair(-1.0f, -1.0f);
}

// Runs frames for duration, recording every state the observer returns.
template <typename State>
void WatchFramesFor(std::chrono::milliseconds duration, const std::function<State()>& observe, std::set<State>& seen)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        RunFrame();
        seen.insert(observe());
        QC_Sleep(1);
    }
}

// Reloads of watched files, on the assets' own set-up.
class QD_AssetReloadTest : public QD_AssetsTest
{
};
} // namespace

TEST_F(QD_AssetReloadTest, SavesInProgressNeverBecomeCurrentAndTheFinalContentAlwaysDoes)
{
    QD_SetSaveSettling(kTestSettling);
    const std::string script = Write("scene.qcs", "1 = 5;\n2 = 7;\n");
    const std::string notes = Write("notes.txt", "hello world");
    CreateAssets(true);
    QC_Ptr<QD_SequencerAsset> scene = QD_GetAssets()->LoadSequencer("scene.qcs");
    QC_Ptr<QD_TextAsset> text = QD_GetAssets()->LoadText("notes.txt");
    ASSERT_TRUE(PumpUntil([&] { return QD_GetAssets()->AllLoaded() && Idle(*scene) && Idle(*text); }));

    // A save in three steps: truncated, half written (a valid script without channel 2), whole.
    std::set<std::pair<float, float>> values;
    const std::function<std::pair<float, float>()> observeScene = [&] { return ValuesOf(scene); };
    SaveInPlace(script, "");
    WatchFramesFor(30ms, observeScene, values);
    SaveInPlace(script, "1 = 6;\n");
    WatchFramesFor(20ms, observeScene, values);
    SaveInPlace(script, "1 = 6;\n2 = 8;\n");
    ASSERT_TRUE(PumpUntil([&] {
        values.insert(ValuesOf(scene));
        return ValuesOf(scene).second == 8.0f && Idle(*scene);
    }));
    EXPECT_EQ(values, (std::set<std::pair<float, float>>{{5.0f, 7.0f}, {6.0f, 8.0f}}))
        << "an empty or half-written script was current for a while";
    EXPECT_GE(scene->GetLoadsPutOff(), 1u);

    // Deleted and created again (an editor that does not rename), and truncated then written:
    // the text is never seen empty.
    std::set<std::string> texts;
    const std::function<std::string()> observeText = [&] { return TextOf(text); };
    std::filesystem::remove(notes);
    WatchFramesFor(40ms, observeText, texts);
    SaveInPlace(notes, "hello again");
    ASSERT_TRUE(PumpUntil([&] { return TextOf(text) == "hello again" && Idle(*text); }));
    SaveInPlace(notes, "");
    WatchFramesFor(30ms, observeText, texts);
    SaveInPlace(notes, "hello at last");
    ASSERT_TRUE(PumpUntil([&] {
        texts.insert(TextOf(text));
        return TextOf(text) == "hello at last" && Idle(*text);
    }));
    EXPECT_EQ(texts.count(""), 0u) << "the text was empty for a while during a save";

    // A file that stays empty is an empty file after all, once it has stayed so for the hold.
    const auto emptied = std::chrono::steady_clock::now();
    SaveInPlace(script, "");
    ASSERT_TRUE(PumpUntil([&] { return ValuesOf(scene) == std::make_pair(0.0f, 0.0f) && Idle(*scene); }));
    EXPECT_GE(std::chrono::steady_clock::now() - emptied, std::chrono::milliseconds(kTestSettling.emptyHoldMilliseconds));
}

TEST_F(QD_AssetReloadTest, ABurstOfSavesEndsOnTheFinalContentWithFewReads)
{
    QD_SetSaveSettling(QD_SaveSettling{.settleMilliseconds = 100, .emptyHoldMilliseconds = 600});
    const std::string notes = Write("notes.txt", "version 0");
    CreateAssets(true);
    QC_Ptr<QD_TextAsset> text = QD_GetAssets()->LoadText("notes.txt");
    ASSERT_TRUE(PumpUntil([&] { return text->IsLoaded() && Idle(*text); }));
    const std::uint32_t readsBefore = text->GetLoadsRun() - text->GetLoadsUnchanged();

    // Alternating in-place and atomic saves, one every 5 ms.
    for (int save = 1; save <= 40; ++save) {
        const std::string content = "version " + std::to_string(save);
        if (save % 2)
            SaveInPlace(notes, content);
        else
            SaveAtomically(notes, content);
        RunFrame();
        QC_Sleep(5);
    }
    ASSERT_TRUE(PumpUntil([&] { return TextOf(text) == "version 40" && Idle(*text); }));
    // The burst settles before it is read: a handful of reads, not one per save.
    EXPECT_LE(text->GetLoadsRun() - text->GetLoadsUnchanged() - readsBefore, 5u);
}

TEST_F(QD_AssetReloadTest, ARootDeletedAndCreatedAgainIsWatchedAgain)
{
    QD_SetSaveSettling(QD_SaveSettling{.settleMilliseconds = 20, .emptyHoldMilliseconds = 100});
    const std::filesystem::path tree = dir.Path() / "tree";
    std::filesystem::create_directories(tree);
    Write("tree/notes.txt", "one");
    QD_CreateAssets(QD_AssetsSettings{.root = tree.c_str(), .watch = true, .fatalOnLoadFailure = false});
    QC_Ptr<QD_TextAsset> text = QD_GetAssets()->LoadText("notes.txt");
    QC_Ptr<QD_TextAsset> deeper = QD_GetAssets()->LoadText("sub/deeper.txt");
    ASSERT_TRUE(PumpUntil([&] { return QD_GetAssets()->AllLoaded() && Idle(*text) && Idle(*deeper); }));

    // What a checkout tool does: the folder goes, and comes back with new content.
    std::filesystem::remove_all(tree);
    const std::string abandoned = "Abandoned WaitForSingleObject. Last error is 0.";
    ASSERT_TRUE(PumpUntil([&] { return log.Contains(QC_LOG_ERROR, abandoned); }));
    std::filesystem::create_directories(tree / "sub");
    Write("tree/notes.txt", "two");
    Write("tree/sub/deeper.txt", "below");
    ASSERT_TRUE(PumpUntil([&] { return TextOf(text) == "two" && TextOf(deeper) == "below"; }, 10s))
        << "the watch did not come back with the folder";
    EXPECT_TRUE(log.Contains(QC_LOG_INFO, "Watching " + tree.string() + "/ again."));

    // And it keeps watching: later saves, also in folders of the new tree, reload.
    SaveInPlace(dir.File("tree/notes.txt"), "three");
    SaveAtomically(dir.File("tree/sub/deeper.txt"), "further below");
    ASSERT_TRUE(PumpUntil([&] { return TextOf(text) == "three" && TextOf(deeper) == "further below"; }, 10s));
    int reports = 0;
    for (const std::string& message : log.Messages(QC_LOG_ERROR))
        reports += message == abandoned;
    EXPECT_EQ(reports, 1);
}

TEST_F(QD_AssetReloadTest, AFailedReloadIsNeverFatalEvenWhenLoadFailuresAre)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A first load that fails stays fatal (see FailedLoadIsFatalWhenLoadFailuresAreFatal); a
    // half-written save seen while watching must not end the program.
    EXPECT_EXIT(
        {
            QD_SetSaveSettling(QD_SaveSettling{.settleMilliseconds = 0, .emptyHoldMilliseconds = 0});
            const std::string script = Write("scene.qcs", "1 = 3;\n");
            CreateAssets(true, true);
            QC_Ptr<QD_SequencerAsset> scene = QD_GetAssets()->LoadSequencer("scene.qcs");
            if (!PumpUntil([&] { return scene->IsLoaded() && Idle(*scene); }))
                std::exit(10);
            const QD_Sequencer* working = scene->GetCurrent().Get();
            SaveInPlace(script, "1 = linear(0:");
            if (!PumpUntil([&] { return scene->HasLoadError() && Idle(*scene); }))
                std::exit(11);
            std::exit(scene->GetCurrent().Get() == working ? 0 : 12);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(QD_AssetReloadTest, ALoadErrorCarriesTheParserLinesUntilTheFileLoadsAgain)
{
    QC_GetLog()->AddBackend(new QD_AssetErrorLog);
    QD_SetSaveSettling(QD_SaveSettling{.settleMilliseconds = 0, .emptyHoldMilliseconds = 0});
    const std::string script = Write("scene.qcs", "1 = 3;\n");
    CreateAssets(true);
    QC_Ptr<QD_SequencerAsset> scene = QD_GetAssets()->LoadSequencer("scene.qcs");
    QC_Ptr<QD_TextAsset> missing = QD_GetAssets()->LoadText("missing.txt");
    ASSERT_TRUE(PumpUntil([&] { return QD_GetAssets()->AllLoaded() && Idle(*scene) && Idle(*missing); }));
    EXPECT_FALSE(scene->HasLoadError());
    // The missing text loads as empty, and says it could not be read.
    EXPECT_STREQ(missing->GetLoadError().CStr(), "Cannot read the file; the text is empty.\n");

    SaveInPlace(script, "1 = 3;\n2 = beat(;\n");
    ASSERT_TRUE(PumpUntil([&] { return scene->HasLoadError() && Idle(*scene); }));
    const std::string error = scene->GetLoadError().CStr();
    EXPECT_EQ(error.rfind("The script cannot be read or has an error.\n", 0), 0u) << error;
    // The parser's own report follows, as the log has it.
    bool parserLineFound = false;
    for (const std::string& message : log.Messages(QC_LOG_ERROR))
        parserLineFound |= error.find(message) != std::string::npos;
    EXPECT_TRUE(parserLineFound) << error;
    EXPECT_FLOAT_EQ(scene->GetCurrent()->GetValue(1), 3.0f);

    SaveInPlace(script, "1 = 4;\n");
    ASSERT_TRUE(PumpUntil([&] { return !scene->HasLoadError() && Idle(*scene); }));
    EXPECT_FLOAT_EQ(scene->GetCurrent()->GetValue(1), 4.0f);
    EXPECT_EQ(scene->GetReloadsDone(), 1u);
}

TEST_F(QD_AssetReloadTest, AnEditorsOwnWriteIsAdoptedAtOnceAndNotBuiltAgain)
{
    QD_SetSaveSettling(QD_SaveSettling{.settleMilliseconds = 0, .emptyHoldMilliseconds = 0});
    const std::string script = Write("scene.qcs", "1 = linear(0:0, 8:4);\r\n2 = beat(1);\r\n");
    CreateAssets(true);
    QC_Ptr<QD_SequencerAsset> scene = QD_GetAssets()->LoadSequencer("scene.qcs");
    ASSERT_TRUE(PumpUntil([&] { return QD_GetAssets()->AllLoaded() && Idle(*scene); }));

    QD_ScriptDocument editor;
    ASSERT_TRUE(editor.Open(script.c_str()));
    ASSERT_TRUE(editor.SetKeyValue({1, 1}, 6.0f));
    ASSERT_EQ(editor.Write(), QD_ScriptWrite::Written);
    scene->Adopt(editor.Sequencer(), editor.Text());
    EXPECT_EQ(scene->GetCurrent().Get(), editor.Sequencer().Get()) << "current at once, before the watcher speaks";

    // The watcher's notice of that write: the file is read, and the adopted sequencer stays.
    const std::uint32_t loadsBefore = scene->GetLoadsRun();
    ASSERT_TRUE(PumpUntil([&] { return scene->GetLoadsRun() > loadsBefore && Idle(*scene); }));
    EXPECT_EQ(scene->GetCurrent().Get(), editor.Sequencer().Get());
    EXPECT_EQ(editor.Reload(), QD_ScriptReload::Unchanged);
    // Subscribed once per channel (the first sequencer's channels are gone with it).
    EXPECT_EQ(QD_GetSync()->ListenerCount(), 2u);
    QD_GetSync()->DispatchBeat(4.0f);
    EXPECT_FLOAT_EQ(scene->GetCurrent()->GetValue(1), 3.0f);

    // Another editor's save wins: built from the file, the editor takes it up too.
    SaveInPlace(script, "1 = 9;\n");
    ASSERT_TRUE(PumpUntil([&] { return scene->GetCurrent()->GetValue(1) == 9.0f && Idle(*scene); }));
    EXPECT_NE(scene->GetCurrent().Get(), editor.Sequencer().Get());
    EXPECT_EQ(editor.Reload(), QD_ScriptReload::Changed);
    EXPECT_EQ(QD_GetSync()->ListenerCount(), 0u) << "the adopted sequencer was let go";
}

TEST(QD_AssetErrorLogTest, LinesAreCutAtTheLimitWithOneMarker)
{
    QC_String text;
    const std::string line(100, 'x');
    for (int i = 0; i < 100; ++i)
        QD_AssetErrorLog::AppendLine(text, line.c_str());
    const std::string result = text.CStr();
    EXPECT_LT(result.size(), QD_AssetErrorLog::MaxTextLength);
    EXPECT_EQ(result.find("(more errors not shown)\n"), result.size() - 24);
    EXPECT_EQ(result.find("(more errors"), result.rfind("(more errors"));
    // Every line kept is whole and ends with a line feed.
    EXPECT_EQ((result.size() - 24) % 101, 0u);
}
