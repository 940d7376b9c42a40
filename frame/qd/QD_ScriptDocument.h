#pragma once
// A sequencer script open for editing: its bytes as stored, the channels they give, the keys
// selected, and the edits made, undoable one by one. Every edit rewrites only the tokens whose
// numbers change (QD_ScriptRewriter), parses the result and checks that it gives exactly the
// channels the edit meant before taking it; a refused edit changes nothing and says why in the
// log and in LastRefusal(). Main thread only.
//
//   QD_ScriptDocument script;
//   if (!script.Open("assets/o.qcs")) ...                // unreadable (reported)
//   if (!script.IsEditable()) show(script.ParseErrors()); // a script with an error is left alone
//   script.SetKeyValue({100, 2}, 0.5f);                    // channel 100, its third key
//   script.Write();                                        // atomic replace of the file
//   asset->Adopt(script.Sequencer(), script.Text());      // the demo shows it this frame
//   script.Undo();                                         // Ctrl+Z; Redo for Ctrl+Shift+Z
//
// A drag is one edit: BeginGesture, then each move with the whole offset from where the drag
// began (every call starts again from the gesture's text, so nothing drifts), EndGesture. Undo
// takes back the whole gesture; undoing every edit gives back the original bytes.
//
// The file on disk wins: Reload (on a watcher's notice) takes a text another editor saved,
// keeps the selection by channel number and drops the undo history; the notice of our own
// write finds the same bytes and changes nothing. Write refuses to replace a file that changed
// since it was read, and reloads it instead.
//
// Keys are addressed by channel number and key index (text order, from 0). For a channel
// assigned twice, the later statement (the one the demo reads) is the one edited.

#include "QC_Ptr.h"
#include "QD_ScriptChannel.h"
#include "QD_ScriptRewriter.h"
#include "QD_ScriptSyntax.h"
#include "QD_Sequencer.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct QD_KeyRef
{
    std::uint32_t channel = 0;
    std::uint32_t key = 0;
    auto operator<=>(const QD_KeyRef&) const = default;
};

enum class QD_ScriptReload : std::int32_t
{
    Unchanged, // the file holds the bytes the document has (our own write, or no change)
    Changed,   // another editor's text was taken up (it may have an error: see IsEditable)
    Failed,    // the file cannot be read; the document is as it was
};

enum class QD_ScriptWrite : std::int32_t
{
    Written,  // the file holds the document's bytes (also when it held them already)
    Conflict, // the file changed since it was read: nothing written, the file's text reloaded
    Failed,   // refused (a script with an error) or the write failed: the file is as it was
};

class QD_ScriptDocument
{
public:
    // ---- opening and the file --------------------------------------------------------------
    // Reads path's bytes. False when it cannot be read (reported); true otherwise, also for a
    // script with an error, which is then shown but not editable.
    bool Open(const char* path);
    // A text without a file (name is what messages call it); Write then fails.
    void OpenText(std::string bytes, const char* name);
    // Takes up the file's current bytes (see the header comment).
    QD_ScriptReload Reload();
    // Replaces the file with the document's bytes, atomically.
    QD_ScriptWrite Write();
    // Writes the bytes to another file (atomically), leaving the document's own file alone.
    bool WriteTo(const char* path);

    // ---- what there is ----------------------------------------------------------------------
    const std::string& Text() const { return text; }
    const std::string& Name() const { return name; }
    // Whether the text parsed; edits are refused while it has not.
    bool IsEditable() const { return editable; }
    // The parser's messages while the text does not parse, one line each.
    const std::string& ParseErrors() const { return syntax.errors; }
    // The sequencer of the text; after a reload with an error, the last good one (null when
    // there never was one). A new object after every change of the text.
    QC_Ptr<QD_Sequencer> Sequencer() const { return sequencer; }
    // Counts every change of the text (edits, undo, redo, reloads): a caller holding the
    // sequencer compares it to know when to take the new one.
    std::uint32_t Revision() const { return revision; }
    // The channels the text gives, by number (empty while it does not parse).
    const std::map<std::uint32_t, QD_ScriptChannel>& Channels() const { return channels; }
    const QD_ScriptChannel* Channel(std::uint32_t number) const;
    // Why the last refused edit or failed write was refused ("" after a success).
    const std::string& LastRefusal() const { return refusal; }

    // ---- edits: each returns false, changing nothing, when refused --------------------------
    // Values and beats must be finite; beats 0 or more; keys keep their order and never share
    // a beat, and a spline keeps at least one key.
    bool SetKeyValue(QD_KeyRef key, float value);
    bool SetKeyBeat(QD_KeyRef key, float beat);
    // Moves keys (of one or several channels) by the same offsets in beat and value.
    bool MoveKeys(const std::vector<QD_KeyRef>& keys, float beatOffset, float valueOffset);
    // A key at beat with the curve's value there; the new key is selected alone.
    bool AddKey(std::uint32_t channel, float beat);
    bool AddKey(std::uint32_t channel, float beat, float value);
    bool DeleteKeys(const std::vector<QD_KeyRef>& keys);
    // A spline's kind (QD_SplineType); a constant channel becomes a spline of one key at beat 0
    // holding its value, so it reads the same until keys are added.
    bool SetSplineType(std::uint32_t channel, std::int32_t splineType);
    // A constant channel's value.
    bool SetConstantValue(std::uint32_t channel, float value);
    // A beat channel's rate (its amplifier).
    bool SetBeatRate(std::uint32_t channel, float rate);

    // The largest part of beatOffset (toward 0) that moves keys without any of them reaching an
    // unmoved neighbour closer than step beats or going below beat 0: a drag stops there.
    float LimitBeatOffset(const std::vector<QD_KeyRef>& keys, float beatOffset, float step) const;

    // ---- gestures, undo and redo ------------------------------------------------------------
    void BeginGesture();
    // Ends the gesture as one undoable edit (none when the text ended where it began).
    void EndGesture();
    // Ends the gesture and takes back what it did.
    void CancelGesture();
    bool InGesture() const { return gesture.active; }
    bool CanUndo() const { return !undoSteps.empty(); }
    bool CanRedo() const { return !redoSteps.empty(); }
    // False when there is nothing to take back (or bring back). An open gesture ends first.
    bool Undo();
    bool Redo();

    // ---- selection --------------------------------------------------------------------------
    // Kept sorted and without repeats; keys that do not exist are left out.
    void SetSelection(std::vector<QD_KeyRef> keys);
    const std::vector<QD_KeyRef>& Selection() const { return selection; }

private:
    // One undoable edit: at offset, removed was replaced by inserted.
    struct Step
    {
        std::uint32_t offset = 0;
        std::string removed;
        std::string inserted;
    };
    // What a text gives; kept where a text is gone back to, so it is not parsed again.
    struct Parsed
    {
        bool parsed = false;
        QD_ScriptSyntax syntax;
        QC_Ptr<QD_Sequencer> sequencer;
        std::map<std::uint32_t, QD_ScriptChannel> channels;
    };
    struct Gesture
    {
        bool active = false;
        std::string startText;
        Parsed startParsed;
        std::vector<QD_KeyRef> startSelection;
    };

    // Refusals: reported (from the file and line of the check) and kept; always false.
    bool Refuse(const char* file, int line, const char* format, ...) __attribute__((format(printf, 4, 5)));
    bool CheckEditable();
    bool CheckFinite(const char* what, float number);
    bool CheckBeat(float beat);
    const QD_StatementSyntax* Statement(std::uint32_t channel) const;
    bool FindSpline(std::uint32_t channel, const QD_ScriptChannel** found);
    bool FindKey(QD_KeyRef key, const QD_ScriptChannel** found);
    bool CheckKeyOrder(std::uint32_t channel, const std::vector<QD_SequencerKey>& keys, const std::vector<bool>& changed);

    Parsed Parse(const std::string& bytes) const;
    Parsed Current() const;
    // Makes bytes the text (also when they do not parse), parsed here or already.
    bool TakeText(std::string bytes);
    bool TakeParsed(std::string bytes, Parsed parsed);
    // Every edit runs between these: BeginEdit refuses while the text has an error and, in a
    // gesture, goes back to the gesture's start; EndEdit(false) undoes that return.
    bool BeginEdit();
    bool EndEdit(bool succeeded);
    // Checks a spline's new keys (changed marks those to check) and plans their text.
    bool PlanSpline(std::uint32_t channel, const std::vector<QD_PlannedKey>& keys, const std::vector<bool>& changed,
                    QD_ScriptRewriter& rewriter, std::map<std::uint32_t, QD_ScriptChannel>& expected);
    // The same for one spline, as one edit.
    bool CommitSpline(std::uint32_t channel, const std::vector<QD_PlannedKey>& keys, const std::vector<bool>& changed);
    // A key at beat with value, or the curve's value there (null).
    bool AddKeyAt(std::uint32_t channel, float beat, const float* value);
    // One key's beat or value (null: unchanged).
    bool ChangeKey(QD_KeyRef key, const float* beat, const float* value);
    // The one number of a constant (its value) or a beat channel (its rate).
    bool SetChannelNumber(std::uint32_t channel, QD_ScriptChannelKind kind, const char* kindName, const char* what,
                          float number);
    // Takes the rewritten text when it reads back as exactly the expected channels.
    bool Commit(const QD_ScriptRewriter& rewriter, const std::map<std::uint32_t, QD_ScriptChannel>& expected);
    void Record(const std::string& before);
    void ApplyStep(const Step& step, bool forward);
    // Undo (forward false) or redo: the last step of from is applied and moves to to.
    bool TakeStep(std::vector<Step>& from, std::vector<Step>& to, bool forward);
    void KeepExistingSelection();

    std::string name;
    std::string path;     // empty for a text without a file
    std::string diskText; // what the file held when last read or written
    std::string text;
    bool editable = false;
    QD_ScriptSyntax syntax;
    QC_Ptr<QD_Sequencer> sequencer;
    std::map<std::uint32_t, QD_ScriptChannel> channels;
    std::uint32_t revision = 0;
    std::string refusal;
    std::vector<QD_KeyRef> selection;
    std::vector<Step> undoSteps;
    std::vector<Step> redoSteps;
    Gesture gesture;
    // Where a gesture's edit started from, given back when it is refused.
    bool restoreOnRefusal = false;
    std::string beforeEdit;
    Parsed beforeEditParsed;
    std::vector<QD_KeyRef> beforeEditSelection;
};
