#include "LM1_DevKeyEditor.h"

#include "QC_Log.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace
{
// How close a freely dragged key may come to its neighbour.
constexpr float kFreeGap = 1.0f / 256.0f;

float SnapBeat(float beat, LM1_DevSnap snap)
{
    const float step = LM1_DevKeyEditor::GridStep(snap);
    return step > 0.0f ? std::round(beat / step) * step : beat;
}
// A stopped drag's beat offset brought back onto the grid, toward where the drag began (the
// stop itself lies a step from the neighbour, give or take the text's rounding).
float OnGridTowardStart(float grabbedBeat, float offset, float step)
{
    constexpr float kRounding = 1e-3f;
    const float target = (grabbedBeat + offset) / step;
    const float steps = offset > 0.0f ? std::floor(target + kRounding) : std::ceil(target - kRounding);
    const float onGrid = steps * step - grabbedBeat;
    // Never past the start: a key off the grid next to its neighbour stays put.
    return onGrid * offset > 0.0f ? onGrid : 0.0f;
}
} // namespace

float LM1_DevKeyEditor::RoundValueOffset(float offset, float valuesPerPixel)
{
    if (!(valuesPerPixel > 0.0f) || !std::isfinite(valuesPerPixel) || !std::isfinite(offset))
        return offset;
    const double step = std::pow(10.0, std::floor(std::log10(static_cast<double>(valuesPerPixel))));
    return static_cast<float>(std::round(offset / step) * step);
}

float LM1_DevKeyEditor::GridStep(LM1_DevSnap snap)
{
    switch (snap) {
    case LM1_DevSnap::QuarterBeat:
        return 0.25f;
    case LM1_DevSnap::SixteenthBeat:
        return 1.0f / 16.0f;
    case LM1_DevSnap::Free:
        break;
    }
    return 0.0f;
}

// --- the scripts -----------------------------------------------------------------------------

void LM1_DevKeyEditor::Follow(QD_SequencerAsset* asset)
{
    if (!asset || asset->IsLoading())
        return;
    const std::string path = asset->GetPath().CStr();
    const std::string script = std::filesystem::path(path).filename().string();
    auto found = scripts.find(script);
    if (found == scripts.end()) {
        Followed followed;
        followed.asset = asset;
        followed.document = std::make_unique<QD_ScriptDocument>();
        if (!followed.document->Open(path.c_str()))
            return;
        followed.loadsSeen = asset->GetLoadsRun();
        followed.revisionShown = followed.revisionWritten = followed.document->Revision();
        scripts.emplace(script, std::move(followed));
        return;
    }
    Followed& followed = found->second;
    if (asset->GetLoadsRun() == followed.loadsSeen)
        return;
    followed.loadsSeen = asset->GetLoadsRun();
    // The asset has read the file again; the document does too, and learns whether it was our
    // own write (nothing changes) or another editor's save (it wins).
    if (followed.document->Reload() == QD_ScriptReload::Changed) {
        followed.revisionShown = followed.revisionWritten = followed.document->Revision();
        QC_INFO("%s changed on disk: taken up%s.", script.c_str(),
                followed.document->IsEditable() ? "" : "; it has an error, editing it is off");
    }
}

const QD_ScriptDocument* LM1_DevKeyEditor::Document(const std::string& script) const
{
    const Followed* followed = Find(script);
    return followed ? followed->document.get() : nullptr;
}

LM1_DevKeyEditor::Followed* LM1_DevKeyEditor::Find(const std::string& script)
{
    auto found = scripts.find(script);
    return found == scripts.end() ? nullptr : &found->second;
}

const LM1_DevKeyEditor::Followed* LM1_DevKeyEditor::Find(const std::string& script) const
{
    auto found = scripts.find(script);
    return found == scripts.end() ? nullptr : &found->second;
}

LM1_DevKeyEditor::Followed* LM1_DevKeyEditor::Activate(const std::string& script)
{
    Followed* followed = Find(script);
    if (!followed)
        return nullptr;
    if (script != activeScript) {
        if (Followed* previous = Active()) {
            previous->document->EndGesture();
            previous->document->SetSelection({});
        }
        activeScript = script;
    }
    return followed;
}

bool LM1_DevKeyEditor::Publish(Followed& followed, bool succeeded)
{
    QD_ScriptDocument& document = *followed.document;
    refusal = succeeded ? std::string() : document.LastRefusal();
    // Part of an edit may have been taken before a refusal (a value typed for several keys):
    // whatever the text now is goes out.
    if (document.Revision() != followed.revisionShown) {
        followed.revisionShown = document.Revision();
        followed.asset->Adopt(document.Sequencer(), document.Text());
    }
    if (document.InGesture() || document.Revision() == followed.revisionWritten)
        return succeeded;
    const QD_ScriptWrite written = document.Write();
    // After a conflict the document holds the other editor's text, which the asset reads itself.
    followed.revisionShown = followed.revisionWritten = document.Revision();
    if (written != QD_ScriptWrite::Written) {
        refusal = document.LastRefusal();
        return false;
    }
    return succeeded;
}

// --- selection -------------------------------------------------------------------------------

void LM1_DevKeyEditor::Select(const std::string& script, QD_KeyRef key, bool toggle)
{
    Followed* followed = Activate(script);
    if (!followed)
        return;
    std::vector<QD_KeyRef> keys = toggle ? followed->document->Selection() : std::vector<QD_KeyRef>{};
    const auto at = std::find(keys.begin(), keys.end(), key);
    if (at != keys.end())
        keys.erase(at);
    else
        keys.push_back(key);
    followed->document->SetSelection(std::move(keys));
}

void LM1_DevKeyEditor::SelectKeys(const std::string& script, const std::vector<QD_KeyRef>& keys, bool add)
{
    Followed* followed = Activate(script);
    if (!followed)
        return;
    std::vector<QD_KeyRef> selected = add ? followed->document->Selection() : std::vector<QD_KeyRef>{};
    selected.insert(selected.end(), keys.begin(), keys.end());
    followed->document->SetSelection(std::move(selected));
}

void LM1_DevKeyEditor::ClearSelection()
{
    if (Followed* followed = Active())
        followed->document->SetSelection({});
}

bool LM1_DevKeyEditor::IsSelected(const std::string& script, QD_KeyRef key) const
{
    const Followed* followed = script == activeScript ? Find(script) : nullptr;
    if (!followed)
        return false;
    const std::vector<QD_KeyRef>& selected = followed->document->Selection();
    return std::binary_search(selected.begin(), selected.end(), key);
}

std::vector<QD_KeyRef> LM1_DevKeyEditor::Selection() const
{
    const Followed* followed = Find(activeScript);
    return followed ? followed->document->Selection() : std::vector<QD_KeyRef>{};
}

// --- drags -----------------------------------------------------------------------------------

void LM1_DevKeyEditor::BeginDrag()
{
    dragTaken = 0.0f;
    if (Followed* followed = Active())
        followed->document->BeginGesture();
}

float LM1_DevKeyEditor::Drag(float grabbedBeat, float beatOffset, float valueOffset, LM1_DevSnap snap)
{
    Followed* followed = Active();
    if (!followed || !followed->document->InGesture())
        return 0.0f;
    QD_ScriptDocument& document = *followed->document;
    const std::vector<QD_KeyRef> keys = document.Selection();
    const float step = GridStep(snap);
    const float snapped = SnapBeat(grabbedBeat + beatOffset, snap) - grabbedBeat;
    // The document's keys stand where the last move put them: the limit is measured from there.
    float taken = dragTaken + document.LimitBeatOffset(keys, snapped - dragTaken, step > 0.0f ? step : kFreeGap);
    if (step > 0.0f && taken != snapped)
        taken = OnGridTowardStart(grabbedBeat, taken, step);
    if (document.MoveKeys(keys, taken, valueOffset)) {
        dragTaken = taken;
        Publish(*followed, true);
    } else {
        Publish(*followed, false);
    }
    return dragTaken;
}

void LM1_DevKeyEditor::EndDrag()
{
    Followed* followed = Active();
    if (!followed || !followed->document->InGesture())
        return;
    followed->document->EndGesture();
    Publish(*followed, true);
}

bool LM1_DevKeyEditor::Dragging() const
{
    const Followed* followed = Find(activeScript);
    return followed && followed->document->InGesture();
}

// --- edits -----------------------------------------------------------------------------------

bool LM1_DevKeyEditor::AddKey(const std::string& script, std::uint32_t channel, float beat, LM1_DevSnap snap)
{
    Followed* followed = Activate(script);
    return followed && Publish(*followed, followed->document->AddKey(channel, SnapBeat(beat, snap)));
}

bool LM1_DevKeyEditor::DeleteSelected()
{
    Followed* followed = Active();
    return followed && !followed->document->Selection().empty() &&
           Publish(*followed, followed->document->DeleteKeys(followed->document->Selection()));
}

bool LM1_DevKeyEditor::SetSelectedValue(float value)
{
    Followed* followed = Active();
    if (!followed || followed->document->Selection().empty())
        return false;
    // A key at a time (an undo each): every edit of a gesture starts again from its beginning.
    QD_ScriptDocument& document = *followed->document;
    bool done = true;
    for (const QD_KeyRef& key : std::vector<QD_KeyRef>(document.Selection()))
        done = done && document.SetKeyValue(key, value);
    return Publish(*followed, done);
}

bool LM1_DevKeyEditor::SetKind(const std::string& script, std::uint32_t channel, std::int32_t splineType)
{
    Followed* followed = Activate(script);
    return followed && Publish(*followed, followed->document->SetSplineType(channel, splineType));
}

bool LM1_DevKeyEditor::SetConstant(const std::string& script, std::uint32_t channel, float value)
{
    Followed* followed = Activate(script);
    return followed && Publish(*followed, followed->document->SetConstantValue(channel, value));
}

bool LM1_DevKeyEditor::SetRate(const std::string& script, std::uint32_t channel, float rate)
{
    Followed* followed = Activate(script);
    return followed && Publish(*followed, followed->document->SetBeatRate(channel, rate));
}

bool LM1_DevKeyEditor::Undo()
{
    Followed* followed = Active();
    return followed && followed->document->Undo() && Publish(*followed, true);
}

bool LM1_DevKeyEditor::Redo()
{
    Followed* followed = Active();
    return followed && followed->document->Redo() && Publish(*followed, true);
}
