// The timeline panel's key editing without a window, on real script files watched by the
// assets: drags snapped and stopped at neighbours, shown at once and written once, undo back to
// the original bytes, our own write taken calmly, another editor's save winning, a script with
// an error left alone, and the lane menu's edits.

#include "support/AssetsTestSupport.h"
#include "support/FramePump.h"
#include "LM1_DevKeyEditor.h"
#include "QD_Assets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace
{
const std::string kScript = "// Part O\r\n"
                            "100 = linear(0:2, 64:3, 72:6);   // layers\r\n"
                            "101 = 5;  // depth\r\n"
                            "102 = beat( 1 );\r\n";

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}

class LM1_DevKeyEditorTest : public QD_AssetsTest
{
protected:
    void Open(const std::string& text = kScript)
    {
        QD_SetSaveSettling(QD_SaveSettling{.settleMilliseconds = 0, .emptyHoldMilliseconds = 0});
        path = Write("o.qcs", text);
        CreateAssets(true);
        asset = QD_GetAssets()->LoadSequencer("o.qcs");
        ASSERT_TRUE(PumpUntil([&] { return QD_GetAssets()->AllLoaded() && Idle(*asset); }));
        editor.Follow(asset.Get());
        ASSERT_NE(editor.Document("o.qcs"), nullptr);
    }

    // Frames until the asset has read its file again, the editor following as the panel does.
    void PumpReload(std::uint32_t loadsBefore)
    {
        ASSERT_TRUE(PumpUntil([&] { return asset->GetLoadsRun() > loadsBefore && Idle(*asset); }));
        editor.Follow(asset.Get());
    }

    float ValueAt(float beat)
    {
        QD_GetSync()->DispatchBeat(beat);
        return asset->GetCurrent()->GetValue(100);
    }

    std::string path;
    QC_Ptr<QD_SequencerAsset> asset;
    LM1_DevKeyEditor editor;
};
} // namespace

TEST_F(LM1_DevKeyEditorTest, ADragSnapsStopsAtItsNeighbourShowsAtOnceAndIsWrittenAsOneEdit)
{
    Open();
    editor.Select("o.qcs", {100, 1}, false);
    editor.BeginDrag();
    EXPECT_FLOAT_EQ(editor.Drag(64.0f, 1.37f, 0.0f, LM1_DevSnap::QuarterBeat), 1.25f);
    EXPECT_FLOAT_EQ(editor.Drag(64.0f, 1.37f, 0.0f, LM1_DevSnap::SixteenthBeat), 1.375f);
    EXPECT_NEAR(editor.Drag(64.0f, 1.37f, 0.0f, LM1_DevSnap::Free), 1.37f, 1e-4f);
    // Never onto the next key (72): a grid step short, or a hair's breadth when free.
    EXPECT_FLOAT_EQ(editor.Drag(64.0f, 30.0f, 0.0f, LM1_DevSnap::QuarterBeat), 7.75f);
    const float free = editor.Drag(64.0f, 30.0f, 0.0f, LM1_DevSnap::Free);
    EXPECT_GT(free, 7.99f);
    EXPECT_LT(free, 8.0f);
    EXPECT_FLOAT_EQ(editor.Drag(64.0f, -100.0f, 0.0f, LM1_DevSnap::QuarterBeat), -63.75f) << "stops after 0:2";

    EXPECT_FLOAT_EQ(editor.Drag(64.0f, 2.1f, 0.5f, LM1_DevSnap::QuarterBeat), 2.0f);
    EXPECT_FLOAT_EQ(ValueAt(66.0f), 3.5f) << "the picture follows during the drag";
    EXPECT_EQ(ReadBytes(path), kScript) << "nothing written while the drag goes on";
    editor.EndDrag();
    const std::string dragged = Replaced(kScript, "64:3", "66:3.5");
    EXPECT_EQ(ReadBytes(path), dragged);
    EXPECT_FALSE(editor.Dragging());

    EXPECT_TRUE(editor.Undo()) << "the whole drag is one edit";
    EXPECT_EQ(ReadBytes(path), kScript);
    EXPECT_FLOAT_EQ(ValueAt(64.0f), 3.0f);
    EXPECT_FALSE(editor.Undo());
    EXPECT_TRUE(editor.Redo());
    EXPECT_EQ(ReadBytes(path), dragged);
}

TEST_F(LM1_DevKeyEditorTest, OurWriteChangesNothingAnotherEditorWinsAndAScriptWithAnErrorIsLeftAlone)
{
    Open();
    editor.Select("o.qcs", {100, 2}, false);
    std::uint32_t loads = asset->GetLoadsRun();
    ASSERT_TRUE(editor.SetSelectedValue(7.0f));
    const QD_Sequencer* adopted = asset->GetCurrent().Get();
    const std::uint32_t revision = editor.Document("o.qcs")->Revision();
    PumpReload(loads);
    EXPECT_EQ(asset->GetCurrent().Get(), adopted) << "the notice of our own write built nothing";
    EXPECT_EQ(editor.Document("o.qcs")->Revision(), revision);
    EXPECT_EQ(editor.Selection(), (std::vector<QD_KeyRef>{{100, 2}}));
    EXPECT_TRUE(editor.Document("o.qcs")->CanUndo());

    // Another editor adds a key in front: its text wins, the selection stays on channel 100.
    loads = asset->GetLoadsRun();
    const std::string theirs = Replaced(kScript, "0:2,", "0:2, 8:2.5,");
    SaveInPlace(path, theirs);
    PumpReload(loads);
    EXPECT_EQ(editor.Document("o.qcs")->Text(), theirs);
    EXPECT_FALSE(editor.Document("o.qcs")->CanUndo());
    EXPECT_EQ(editor.Selection(), (std::vector<QD_KeyRef>{{100, 2}}));

    // Broken: shown with its error, never written over.
    loads = asset->GetLoadsRun();
    const std::string broken = theirs + "103 = linear(;\r\n";
    SaveInPlace(path, broken);
    PumpReload(loads);
    EXPECT_FALSE(editor.Document("o.qcs")->IsEditable());
    EXPECT_FALSE(editor.Document("o.qcs")->ParseErrors().empty());
    EXPECT_FALSE(editor.SetSelectedValue(1.0f) || editor.AddKey("o.qcs", 100, 20.0f, LM1_DevSnap::QuarterBeat));
    EXPECT_FALSE(editor.LastRefusal().empty());
    EXPECT_EQ(ReadBytes(path), broken);
}

TEST_F(LM1_DevKeyEditorTest, TheLaneMenusEditsAndBadInputRefused)
{
    Open();
    // A double-click at 70.1 adds a key on the grid with the curve's value there.
    ASSERT_TRUE(editor.AddKey("o.qcs", 100, 70.1f, LM1_DevSnap::QuarterBeat));
    EXPECT_EQ(ReadBytes(path), Replaced(kScript, "72:6", "70:5.25, 72:6"));
    EXPECT_EQ(editor.Selection(), (std::vector<QD_KeyRef>{{100, 2}}));
    EXPECT_FALSE(editor.SetSelectedValue(NAN));
    EXPECT_FALSE(editor.SetSelectedValue(INFINITY));
    EXPECT_NE(editor.LastRefusal().find("finite"), std::string::npos) << editor.LastRefusal();
    EXPECT_TRUE(editor.DeleteSelected());
    EXPECT_EQ(editor.Document("o.qcs")->Channel(100)->keys.size(), 3u);
    EXPECT_TRUE(editor.Selection().empty());

    ASSERT_TRUE(editor.SetKind("o.qcs", 100, QD_SPLINE_CATMULLROM));
    ASSERT_TRUE(editor.SetConstant("o.qcs", 101, 7.5f));
    ASSERT_TRUE(editor.SetRate("o.qcs", 102, 2.0f));
    std::string expected = Replaced(kScript, "linear", "catmullrom");
    expected = Replaced(expected, "101 = 5", "101 = 7.5");
    EXPECT_EQ(ReadBytes(path), Replaced(expected, "beat( 1 )", "beat( 2 )"));
    // A constant becomes a spline holding its value; a stray channel number is refused.
    ASSERT_TRUE(editor.SetKind("o.qcs", 101, QD_SPLINE_LINEAR));
    EXPECT_EQ(editor.Document("o.qcs")->Channel(101)->kind, QD_SCRIPT_SPLINE);
    EXPECT_FLOAT_EQ(editor.Document("o.qcs")->Channel(101)->keys.at(0).value, 7.5f);
    EXPECT_FALSE(editor.SetRate("o.qcs", 100, 2.0f));
    EXPECT_FALSE(editor.AddKey("x.qcs", 100, 1.0f, LM1_DevSnap::QuarterBeat)) << "a script not followed";
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(editor.Undo());
    EXPECT_EQ(ReadBytes(path), kScript);
}

// A dragged value moves on the decimal step finer than a pixel, so what is written stays short.
TEST(LM1_DevKeyEditorValueTest, ADraggedValueIsRoundedToTheDecimalStepBelowAPixel)
{
    EXPECT_FLOAT_EQ(LM1_DevKeyEditor::RoundValueOffset(0.0466754f, 0.0021f), 0.047f);
    EXPECT_FLOAT_EQ(LM1_DevKeyEditor::RoundValueOffset(-12.3456f, 0.5f), -12.3f);
    EXPECT_FLOAT_EQ(LM1_DevKeyEditor::RoundValueOffset(0.0021f, 0.0021f), 0.002f) << "one pixel still moves";
    EXPECT_FLOAT_EQ(LM1_DevKeyEditor::RoundValueOffset(0.37f, 0.0f), 0.37f) << "a flat lane has no scale";
    EXPECT_FLOAT_EQ(LM1_DevKeyEditor::RoundValueOffset(0.37f, std::nanf("")), 0.37f);
}
