#include "support/SeqTestSupport.h"
#include "support/TempDir.h"

#include "QD_ScriptDocument.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/stat.h>

namespace
{
std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ino_t FileId(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

const char kTimeline[] = "// timeline\r\n"
                         "10 = constant(\r\n"
                         "      0:113,   //   intro\r\n"
                         "     16:119,   //   title\r\n"
                         "     32:117);  // end\r\n"
                         "11 = linear(0 : 0, +16 : 1.50, +16 : 0);\r\n"
                         "12 = 0.5;\r\n"
                         "13 = beat(0.25);\r\n";
} // namespace

TEST(QD_ScriptDocumentTest, EditsRewriteOnlyTheirTokensInTheAuthorsLayoutAndUndoToTheOriginalBytes)
{
    LogCapture log;
    QD_ScriptDocument script;
    script.OpenText(kTimeline, "timeline.qcs");
    ASSERT_TRUE(script.IsEditable());

    // 1.50 already reads 1.5: nothing to write, nothing to undo.
    ASSERT_TRUE(script.SetKeyValue({11, 1}, 1.5f));
    EXPECT_EQ(script.Text(), kTimeline);
    EXPECT_FALSE(script.CanUndo());

    // A relative key moves by its own step; the relative key after it keeps its beat (32).
    ASSERT_TRUE(script.SetKeyBeat({11, 1}, 8.0f));
    std::string expected = kTimeline;
    expected.replace(expected.find("+16 : 1.50, +16"), 15, "+8 : 1.50, +24");
    EXPECT_EQ(script.Text(), expected);

    // A deleted key takes its comma and blanks; the comment after them stays.
    ASSERT_TRUE(script.DeleteKeys({{10, 1}}));
    expected.replace(expected.find("16:119,   //   title"), 20, "//   title");
    EXPECT_EQ(script.Text(), expected);

    // A separator holding a comment is not copied: the new key gets ", ".
    ASSERT_TRUE(script.AddKey(10, 24.0f, 200.0f));
    expected.replace(expected.find("0:113,"), 6, "0:113, 24:200,");
    EXPECT_EQ(script.Text(), expected);
    EXPECT_EQ(script.Selection(), (std::vector<QD_KeyRef>{{10, 1}}));

    // The constant's own spelling becomes the one key's value.
    ASSERT_TRUE(script.SetSplineType(12, QD_SPLINE_CATMULLROM));
    expected.replace(expected.find("12 = 0.5;"), 9, "12 = catmullrom(0:0.5);");
    EXPECT_EQ(script.Text(), expected);

    ASSERT_TRUE(script.SetBeatRate(13, 1.0f));
    expected.replace(expected.find("beat(0.25)"), 10, "beat(1)");
    EXPECT_EQ(script.Text(), expected);

    // The curve's value at beat 40 (wrapped by its period of 32 to beat 8: 1.5), in the
    // spline's own spacing.
    ASSERT_TRUE(script.AddKey(11, 40.0f));
    expected.replace(expected.find("+24 : 0)"), 8, "+24 : 0, 40 : 1.5)");
    EXPECT_EQ(script.Text(), expected);
    ASSERT_TRUE(script.SetSplineType(11, QD_SPLINE_CONSTANT));
    expected.replace(expected.find("linear"), 6, "constant");
    EXPECT_EQ(script.Text(), expected);

    const QD_ScriptChannel* timeline = script.Channel(10);
    ASSERT_NE(timeline, nullptr);
    ASSERT_EQ(timeline->keys.size(), 3u);
    EXPECT_EQ(timeline->keys[1].beat, 24.0f);
    EXPECT_EQ(script.Sequencer()->GetValue(13), 0.0f) << "a fresh sequencer follows no song position yet";
    EXPECT_TRUE(log.Errors().empty());

    int undone = 0;
    while (script.Undo())
        ++undone;
    EXPECT_EQ(undone, 7);
    EXPECT_EQ(script.Text(), kTimeline);
    while (script.Redo()) {
    }
    EXPECT_EQ(script.Text(), expected);
}

TEST(QD_ScriptDocumentTest, RefusedEditsSayWhyAndChangeNothing)
{
    LogCapture log;
    QD_ScriptDocument script;
    script.OpenText(kTimeline, "timeline.qcs");
    script.SetSelection({{11, 2}});
    const struct
    {
        std::function<bool()> edit;
        const char* reason;
    } refusals[] = {
        {[&] { return script.SetKeyValue({11, 0}, NAN); }, "value nan is not a finite number."},
        {[&] { return script.SetKeyValue({11, 0}, -INFINITY); }, "value -inf is not a finite number."},
        {[&] { return script.SetKeyBeat({11, 1}, -1.0f); }, "beat -1 is below 0."},
        {[&] { return script.SetKeyBeat({11, 1}, 32.0f); }, "key 1 of channel 11 at beat 32 would reach or pass its neighbour at beat 32"},
        {[&] { return script.MoveKeys({{11, 0}, {11, 1}}, 20.0f, 0.0f); }, "key 1 of channel 11 at beat 36 would reach or pass its neighbour at beat 32"},
        {[&] { return script.MoveKeys({{11, 0}}, NAN, 0.0f); }, "beat offset nan is not a finite number."},
        {[&] { return script.AddKey(11, 16.0f); }, "channel 11 has a key at beat 16 already."},
        {[&] { return script.AddKey(11, -0.5f, 1.0f); }, "beat -0.5 is below 0."},
        {[&] { return script.DeleteKeys({{11, 0}, {11, 1}, {11, 2}}); }, "a spline keeps at least one key; channel 11 would have none."},
        {[&] { return script.SetKeyValue({12, 0}, 1.0f); }, "channel 12 is not a spline."},
        {[&] { return script.SetKeyValue({11, 9}, 1.0f); }, "channel 11 has no key 9 (it has 3)."},
        {[&] { return script.MoveKeys({{10, 0}, {99, 0}}, 1.0f, 0.0f); }, "channel 99 is not assigned."},
        {[&] { return script.SetSplineType(13, QD_SPLINE_LINEAR); }, "channel 13 is a beat ramp"},
        {[&] { return script.SetSplineType(11, 1); }, "there is no spline kind 1."},
        {[&] { return script.SetBeatRate(12, 2.0f); }, "channel 12 is not a beat channel."},
        {[&] { return script.SetConstantValue(11, 2.0f); }, "channel 11 is not a constant."},
        {[&] { return script.SetConstantValue(12, INFINITY); }, "value inf is not a finite number."},
    };
    for (const auto& refusal : refusals) {
        log.Clear();
        const std::uint32_t revision = script.Revision();
        EXPECT_FALSE(refusal.edit()) << refusal.reason;
        EXPECT_EQ(script.Text(), kTimeline) << refusal.reason;
        EXPECT_EQ(script.Revision(), revision) << refusal.reason;
        EXPECT_EQ(script.LastRefusal().rfind("timeline.qcs: ", 0), 0u) << script.LastRefusal();
        EXPECT_NE(script.LastRefusal().find(refusal.reason), std::string::npos) << script.LastRefusal();
        ASSERT_EQ(log.Errors().size(), 1u) << refusal.reason;
        EXPECT_EQ(log.Errors()[0], script.LastRefusal());
    }
    EXPECT_FALSE(script.CanUndo());
    EXPECT_EQ(script.Selection(), (std::vector<QD_KeyRef>{{11, 2}}));

    // A text with an error is shown with its messages and never edited.
    script.OpenText("1 = linear(0:0 4:1);\n", "broken.qcs");
    EXPECT_FALSE(script.IsEditable());
    EXPECT_EQ(script.ParseErrors(), "broken.qcs(1): error: , or ) for end of spline.\n"
                                    "broken.qcs(1): error: No channel of type 4.\n");
    EXPECT_FALSE(script.SetConstantValue(1, 2.0f));
    EXPECT_NE(script.LastRefusal().find("the script has an error"), std::string::npos);
    EXPECT_EQ(script.Write(), QD_ScriptWrite::Failed);
}

TEST(QD_ScriptDocumentTest, DragIsOneEditEachMoveStartingFromWhereItBegan)
{
    LogCapture log;
    QD_ScriptDocument script;
    const std::string original = "1 = linear(0:0, 4:1, 8:0);\n";
    script.OpenText(original, "drag.qcs");
    const std::vector<QD_KeyRef> middle = {{1, 1}};

    script.BeginGesture();
    ASSERT_TRUE(script.MoveKeys(middle, 1.0f, 0.0f));
    ASSERT_TRUE(script.MoveKeys(middle, 2.0f, 0.0f));
    EXPECT_EQ(script.Text(), "1 = linear(0:0, 6:1, 8:0);\n") << "offsets count from the drag's start";
    // Past the neighbour: refused, the drag stays where its last good move put it.
    EXPECT_FALSE(script.MoveKeys(middle, 4.0f, 0.0f));
    EXPECT_EQ(script.Text(), "1 = linear(0:0, 6:1, 8:0);\n");
    ASSERT_TRUE(script.MoveKeys(middle, 1.5f, 0.25f));
    script.EndGesture();
    EXPECT_EQ(script.Text(), "1 = linear(0:0, 5.5:1.25, 8:0);\n");
    ASSERT_TRUE(script.Undo());
    EXPECT_EQ(script.Text(), original);
    EXPECT_FALSE(script.CanUndo());
    ASSERT_TRUE(script.Redo());
    EXPECT_EQ(script.Text(), "1 = linear(0:0, 5.5:1.25, 8:0);\n");

    // A cancelled drag leaves nothing, not even an undo step.
    script.BeginGesture();
    ASSERT_TRUE(script.MoveKeys(middle, -1.0f, 0.0f));
    script.CancelGesture();
    EXPECT_EQ(script.Text(), "1 = linear(0:0, 5.5:1.25, 8:0);\n");
    ASSERT_TRUE(script.Undo());
    EXPECT_FALSE(script.CanUndo());

    // Where a drag stops: a step short of an unmoved neighbour, never below beat 0; keys moved
    // together do not hold each other back.
    EXPECT_EQ(script.LimitBeatOffset(middle, 10.0f, 0.25f), 3.75f);
    EXPECT_EQ(script.LimitBeatOffset(middle, -10.0f, 0.25f), -3.75f);
    EXPECT_EQ(script.LimitBeatOffset({{1, 1}, {1, 2}}, 10.0f, 0.25f), 10.0f);
    EXPECT_EQ(script.LimitBeatOffset({{1, 0}}, -5.0f, 0.25f), 0.0f);
    EXPECT_EQ(script.LimitBeatOffset(middle, 2.0f, 0.25f), 2.0f);

    // Deleting keys keeps the selection on the keys that remain.
    script.SetSelection({{1, 0}, {1, 2}, {1, 7}});
    EXPECT_EQ(script.Selection(), (std::vector<QD_KeyRef>{{1, 0}, {1, 2}}));
    ASSERT_TRUE(script.DeleteKeys({{1, 1}}));
    EXPECT_EQ(script.Text(), "1 = linear(0:0, 8:0);\n");
    EXPECT_EQ(script.Selection(), (std::vector<QD_KeyRef>{{1, 0}, {1, 1}}));
}

TEST(QD_ScriptDocumentTest, FileIsReplacedAtomicallyAndAChangeByAnotherEditorWins)
{
    LogCapture log;
    TempDir dir;
    const std::string path = dir.Write("scene.qcs", kTimeline);
    QD_ScriptDocument script;
    ASSERT_TRUE(script.Open(path.c_str()));
    script.SetSelection({{10, 2}, {11, 1}});

    ASSERT_TRUE(script.SetConstantValue(12, 0.75f));
    const ino_t before = FileId(path);
    ASSERT_EQ(script.Write(), QD_ScriptWrite::Written);
    EXPECT_EQ(ReadAll(path), script.Text());
    EXPECT_NE(FileId(path), before) << "replaced by a rename";

    // The watcher's notice of our own write: nothing to take up, the selection stays.
    const std::uint32_t revision = script.Revision();
    EXPECT_EQ(script.Reload(), QD_ScriptReload::Unchanged);
    EXPECT_EQ(script.Revision(), revision);
    EXPECT_EQ(script.Selection(), (std::vector<QD_KeyRef>{{10, 2}, {11, 1}}));
    EXPECT_TRUE(script.CanUndo());

    // Another editor moves channel 11 to the top and drops a key of channel 10: the text is
    // taken up, the selection follows the channel numbers, and there is nothing to undo.
    const std::string other = "11 = linear(0:0, 4:1);\n10 = constant(0:1, 8:2);\n12 = 1;\n";
    dir.Write("scene.qcs", other);
    EXPECT_EQ(script.Reload(), QD_ScriptReload::Changed);
    EXPECT_EQ(script.Text(), other);
    EXPECT_EQ(script.Selection(), (std::vector<QD_KeyRef>{{11, 1}}));
    EXPECT_FALSE(script.CanUndo());
    EXPECT_GT(script.Revision(), revision);

    // An edit not yet written meets a newer save: the save wins, nothing is written.
    ASSERT_TRUE(script.SetKeyValue({11, 1}, 3.0f));
    const std::string newer = "11 = linear(0:0, 4:5);\n";
    dir.Write("scene.qcs", newer);
    EXPECT_EQ(script.Write(), QD_ScriptWrite::Conflict);
    EXPECT_EQ(ReadAll(path), newer);
    EXPECT_EQ(script.Text(), newer);
    EXPECT_NE(script.LastRefusal().find("changed by another editor"), std::string::npos);

    // A save with an error: shown with its message, not editable, never written over; the
    // last good sequencer stays for the picture.
    const std::string broken = "11 = linear(0:0,\n 4 5);\n";
    dir.Write("scene.qcs", broken);
    EXPECT_EQ(script.Reload(), QD_ScriptReload::Changed);
    EXPECT_FALSE(script.IsEditable());
    EXPECT_NE(script.ParseErrors().find("scene.qcs(2): error: Expected : after spline beat."), std::string::npos)
        << script.ParseErrors();
    ASSERT_TRUE(script.Sequencer());
    EXPECT_NE(script.Sequencer()->GetChannel(11), nullptr);
    EXPECT_FALSE(script.SetKeyValue({11, 0}, 1.0f));
    EXPECT_EQ(script.Write(), QD_ScriptWrite::Failed);
    EXPECT_EQ(ReadAll(path), broken);

    // Mended in the other editor: editable again.
    dir.Write("scene.qcs", newer);
    EXPECT_EQ(script.Reload(), QD_ScriptReload::Changed);
    EXPECT_TRUE(script.IsEditable());

    // --out: another file gets the bytes, the document's own stays.
    ASSERT_TRUE(script.SetKeyBeat({11, 1}, 6.0f));
    ASSERT_TRUE(script.WriteTo(dir.File("copy.qcs").c_str()));
    EXPECT_EQ(ReadAll(dir.File("copy.qcs")), "11 = linear(0:0, 6:5);\n");
    EXPECT_EQ(ReadAll(path), newer);

    QD_ScriptDocument missing;
    EXPECT_FALSE(missing.Open(dir.File("missing.qcs").c_str()));
    EXPECT_NE(missing.LastRefusal().find("cannot read the file."), std::string::npos);
}
