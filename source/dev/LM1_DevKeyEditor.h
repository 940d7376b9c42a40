#pragma once
// The timeline panel's key editing, apart from any window: a script document (QD_ScriptDocument)
// for each script asset the lanes show, the selected keys, drags in beat and value, and the
// edits of the lane menu. Every edit goes through the document (which rewrites only the tokens
// that change, refuses bad input and keeps the undo history); its sequencer is handed to the
// asset at once (the picture follows on the next frame) and the file is replaced atomically.
//
//   LM1_DevKeyEditor editor;
//   editor.Follow(demo.Timeline());  editor.Follow(demo.PartScript(scene));   // each frame
//   editor.Select("o.qcs", {100, 1}, false);
//   editor.BeginDrag();  editor.Drag(64.0f, 2.1f, 0.5f, LM1_DevSnap::QuarterBeat);  editor.EndDrag();
//   editor.Undo();
//
// A drag shows in the picture while it moves and is written once, when it ends: one edit, one
// write. The watcher's notice of that write finds the bytes the document has and changes
// nothing; another editor's save wins, and the selection follows by channel number. A script
// with an error is shown as it is (ParseErrors) and not edited. The selection lies in one
// script (the one last clicked in); undo and redo act on that script. Main thread only.

#include "QD_ScriptDocument.h"
#include "QD_SequencerAsset.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

enum class LM1_DevSnap
{
    QuarterBeat,    // a drag's beats land on quarter beats
    SixteenthBeat,  // the finer grid
    Free,           // no grid; keys still never share a beat
};

class LM1_DevKeyEditor
{
public:
    // The grid a snap names, in beats (0 for none).
    static float GridStep(LM1_DevSnap snap);
    // A dragged value offset on the decimal step just finer than one pixel's worth, so that a
    // drag writes 0.157 rather than 0.1566754 and still moves with every pixel.
    static float RoundValueOffset(float offset, float valuesPerPixel);

    // Opens the asset's script on first sight; afterwards takes up the file again whenever the
    // asset has loaded again (another editor's save wins; our own write changes nothing).
    void Follow(QD_SequencerAsset* asset);
    // The document of a followed script by file name ("o.qcs"), or null.
    const QD_ScriptDocument* Document(const std::string& script) const;

    // ---- selection -------------------------------------------------------------------------
    // One key alone, or (toggle) added to or taken from the selection of the same script.
    void Select(const std::string& script, QD_KeyRef key, bool toggle);
    // Keys caught by a box; added to the selection with add, replacing it otherwise.
    void SelectKeys(const std::string& script, const std::vector<QD_KeyRef>& keys, bool add);
    void ClearSelection();
    bool IsSelected(const std::string& script, QD_KeyRef key) const;
    const std::string& SelectedScript() const { return activeScript; }
    std::vector<QD_KeyRef> Selection() const;

    // ---- a drag of the selected keys --------------------------------------------------------
    void BeginDrag();
    // grabbedBeat: the beat of the key under the pointer when the drag began; beatOffset and
    // valueOffset: the whole move since then. The grabbed key lands on the grid, and the keys
    // stop before a neighbour (one grid step short, or a hair's breadth when free). Returns the
    // beat offset taken.
    float Drag(float grabbedBeat, float beatOffset, float valueOffset, LM1_DevSnap snap);
    void EndDrag();
    bool Dragging() const;

    // ---- edits (each false when refused: the reason is in the log and LastRefusal) ----------
    // A key at beat (on the grid snap names) with the curve's value there, selected alone.
    bool AddKey(const std::string& script, std::uint32_t channel, float beat, LM1_DevSnap snap);
    bool DeleteSelected();
    // Every selected key's value (an edit per key).
    bool SetSelectedValue(float value);
    // A spline's kind (QD_SplineType); a constant channel becomes a spline.
    bool SetKind(const std::string& script, std::uint32_t channel, std::int32_t splineType);
    bool SetConstant(const std::string& script, std::uint32_t channel, float value);
    bool SetRate(const std::string& script, std::uint32_t channel, float rate);
    bool Undo();
    bool Redo();
    const std::string& LastRefusal() const { return refusal; }

private:
    struct Followed
    {
        QC_Ptr<QD_SequencerAsset> asset;
        std::unique_ptr<QD_ScriptDocument> document;
        std::uint32_t loadsSeen = 0;
        std::uint32_t revisionShown = 0;   // handed to the asset
        std::uint32_t revisionWritten = 0; // in the file
    };

    Followed* Find(const std::string& script);
    const Followed* Find(const std::string& script) const;
    Followed* Active() { return Find(activeScript); }
    // Makes script the one whose keys are selected (the other scripts' selections go).
    Followed* Activate(const std::string& script);
    // The document's text to the asset and (unless in a drag) to the file; notes a refusal.
    bool Publish(Followed& followed, bool succeeded);

    std::map<std::string, Followed> scripts;
    std::string activeScript;
    std::string refusal;
    // The beat offset the drag's keys stand at.
    float dragTaken = 0.0f;
};
