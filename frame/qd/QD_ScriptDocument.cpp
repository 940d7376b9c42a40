#include "QD_ScriptDocument.h"

// Sections: refusals and checks; taking a text; the file; edits; gestures, undo and redo;
// selection.

#include "QC_File.h"
#include "QC_Log.h"
#include "QD_SequencerSpline.h"
#include "QD_Sequencer_QCS.h"
#include "QP_ReplaceFile.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

// A refusal reported from the line of its check.
#define REFUSE(format, ...) Refuse(__FILE__, __LINE__, format __VA_OPT__(, ) __VA_ARGS__)

namespace
{
// Key indices of keys grouped by channel, each list ascending without repeats.
std::map<std::uint32_t, std::vector<std::uint32_t>> GroupByChannel(const std::vector<QD_KeyRef>& keys)
{
    std::map<std::uint32_t, std::vector<std::uint32_t>> groups;
    for (const QD_KeyRef& key : keys)
        groups[key.channel].push_back(key.key);
    for (auto& [channel, indices] : groups) {
        std::sort(indices.begin(), indices.end());
        indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    }
    return groups;
}

// The spline's keys, each kept where it stands in the text.
std::vector<QD_PlannedKey> KeptKeys(const QD_ScriptChannel& spline)
{
    std::vector<QD_PlannedKey> planned;
    for (std::size_t i = 0; i < spline.keys.size(); ++i)
        planned.push_back(QD_PlannedKey{static_cast<std::int32_t>(i), spline.keys[i]});
    return planned;
}

std::vector<QD_SequencerKey> KeysOf(const std::vector<QD_PlannedKey>& planned)
{
    std::vector<QD_SequencerKey> keys;
    for (const QD_PlannedKey& key : planned)
        keys.push_back(key.key);
    return keys;
}
} // namespace

// ---- refusals and checks ------------------------------------------------------------------

bool QD_ScriptDocument::Refuse(const char* file, int line, const char* format, ...)
{
    char message[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof(message), format, arguments);
    va_end(arguments);
    refusal = name + ": " + message;
    QC_Report(QC_GetLog(), QC_LOG_ERROR, "%s", file, line, refusal.c_str());
    return false;
}

bool QD_ScriptDocument::CheckEditable()
{
    if (editable)
        return true;
    return REFUSE("the script has an error; it cannot be edited until it reads again.");
}

bool QD_ScriptDocument::CheckFinite(const char* what, float number)
{
    if (std::isfinite(number))
        return true;
    return REFUSE("%s %g is not a finite number.", what, double(number));
}

bool QD_ScriptDocument::CheckBeat(float beat)
{
    if (!CheckFinite("beat", beat))
        return false;
    if (beat >= 0.0f)
        return true;
    return REFUSE("beat %g is below 0.", double(beat));
}

const QD_ScriptChannel* QD_ScriptDocument::Channel(std::uint32_t number) const
{
    const auto found = channels.find(number);
    return found == channels.end() ? nullptr : &found->second;
}

const QD_StatementSyntax* QD_ScriptDocument::Statement(std::uint32_t channel) const
{
    // The last statement of a number is the one its slot holds.
    for (auto statement = syntax.statements.rbegin(); statement != syntax.statements.rend(); ++statement) {
        if (statement->channel == channel)
            return &*statement;
    }
    return nullptr;
}

bool QD_ScriptDocument::FindSpline(std::uint32_t channel, const QD_ScriptChannel** found)
{
    *found = Channel(channel);
    if (!*found)
        return REFUSE("channel %u is not assigned.", channel);
    if ((*found)->kind != QD_SCRIPT_SPLINE)
        return REFUSE("channel %u is not a spline.", channel);
    return true;
}

bool QD_ScriptDocument::FindKey(QD_KeyRef key, const QD_ScriptChannel** found)
{
    if (!FindSpline(key.channel, found))
        return false;
    if (key.key < (*found)->keys.size())
        return true;
    return REFUSE("channel %u has no key %u (it has %zu).", key.channel, key.key, (*found)->keys.size());
}

bool QD_ScriptDocument::CheckKeyOrder(std::uint32_t channel, const std::vector<QD_SequencerKey>& keys,
                                      const std::vector<bool>& changed)
{
    // Only pairs an edit touches: a script may hold keys out of order elsewhere, and those
    // stay as the author wrote them.
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
        if (!changed[i] && !changed[i + 1])
            continue;
        if (keys[i].beat < keys[i + 1].beat)
            continue;
        const std::size_t moved = changed[i] ? i : i + 1;
        const std::size_t other = moved == i ? i + 1 : i;
        return REFUSE("key %zu of channel %u at beat %g would reach or pass its neighbour at beat %g; keys keep "
                      "their order and never share a beat.",
                      moved, channel, double(keys[moved].beat), double(keys[other].beat));
    }
    return true;
}

// ---- taking a text --------------------------------------------------------------------------

QD_ScriptDocument::Parsed QD_ScriptDocument::Parse(const std::string& bytes) const
{
    Parsed result;
    result.parsed = QD_ParseSequencerSyntax(bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                                            result.sequencer, result.syntax, name.c_str());
    if (result.parsed)
        result.channels = QD_DescribeChannels(*result.sequencer);
    return result;
}

QD_ScriptDocument::Parsed QD_ScriptDocument::Current() const
{
    return Parsed{editable, syntax, sequencer, channels};
}

bool QD_ScriptDocument::TakeText(std::string bytes)
{
    Parsed parsed = Parse(bytes);
    return TakeParsed(std::move(bytes), std::move(parsed));
}

bool QD_ScriptDocument::TakeParsed(std::string bytes, Parsed parsed)
{
    text = std::move(bytes);
    syntax = std::move(parsed.syntax);
    editable = parsed.parsed;
    channels = std::move(parsed.channels);
    // A text with an error keeps the last good sequencer for the picture.
    if (editable)
        sequencer = parsed.sequencer;
    ++revision;
    return editable;
}

void QD_ScriptDocument::OpenText(std::string bytes, const char* textName)
{
    name = textName ? textName : "script";
    path.clear();
    diskText = bytes;
    sequencer = nullptr;
    undoSteps.clear();
    redoSteps.clear();
    gesture = Gesture{};
    selection.clear();
    refusal.clear();
    TakeText(std::move(bytes));
}

// ---- the file -------------------------------------------------------------------------------

bool QD_ScriptDocument::Open(const char* filePath)
{
    QC_String bytes;
    if (!QC_ReadFileBytes(filePath, bytes)) {
        name = filePath;
        return REFUSE("cannot read the file.");
    }
    OpenText(std::string(bytes.CStr(), bytes.Length()), filePath);
    path = filePath;
    return true;
}

QD_ScriptReload QD_ScriptDocument::Reload()
{
    if (path.empty())
        return QD_ScriptReload::Unchanged;
    QC_String read;
    if (!QC_ReadFileBytes(path.c_str(), read)) {
        REFUSE("cannot read the file; the text stays as it was.");
        return QD_ScriptReload::Failed;
    }
    std::string bytes(read.CStr(), read.Length());
    if (bytes == diskText || bytes == text) {
        diskText = std::move(bytes);
        return QD_ScriptReload::Unchanged;
    }
    // Another editor's text wins: what was done here cannot be undone into it.
    diskText = bytes;
    gesture = Gesture{};
    undoSteps.clear();
    redoSteps.clear();
    TakeText(std::move(bytes));
    KeepExistingSelection();
    return QD_ScriptReload::Changed;
}

QD_ScriptWrite QD_ScriptDocument::Write()
{
    refusal.clear();
    if (path.empty()) {
        REFUSE("the text has no file to write.");
        return QD_ScriptWrite::Failed;
    }
    if (!editable) {
        REFUSE("the script has an error; the file is not written over.");
        return QD_ScriptWrite::Failed;
    }
    // Another editor's save since the last read wins over the edits made here.
    QC_String onDisk;
    if (QC_ReadFileBytes(path.c_str(), onDisk) && std::string(onDisk.CStr(), onDisk.Length()) != diskText &&
        Reload() == QD_ScriptReload::Changed) {
        REFUSE("the file was changed by another editor; its text is taken up and nothing is written.");
        return QD_ScriptWrite::Conflict;
    }
    if (text == diskText)
        return QD_ScriptWrite::Written;
    if (!WriteTo(path.c_str()))
        return QD_ScriptWrite::Failed;
    diskText = text;
    return QD_ScriptWrite::Written;
}

bool QD_ScriptDocument::WriteTo(const char* target)
{
    if (!editable)
        return REFUSE("the script has an error; %s is not written.", target);
    int error = 0;
    if (!QP_ReplaceFile(target, text.data(), text.size(), &error))
        return REFUSE("cannot write %s: %s.", target, std::strerror(error));
    refusal.clear();
    return true;
}

// ---- edits ----------------------------------------------------------------------------------

bool QD_ScriptDocument::BeginEdit()
{
    if (!CheckEditable())
        return false;
    // Within a gesture each edit starts from where the gesture began.
    restoreOnRefusal = gesture.active && text != gesture.startText;
    if (restoreOnRefusal) {
        beforeEdit = text;
        beforeEditParsed = Current();
        beforeEditSelection = selection;
        TakeParsed(gesture.startText, gesture.startParsed);
        selection = gesture.startSelection;
    } else {
        beforeEdit.clear();
        beforeEditSelection.clear();
    }
    return true;
}

bool QD_ScriptDocument::EndEdit(bool succeeded)
{
    if (succeeded) {
        refusal.clear();
        return true;
    }
    // A refused edit in a gesture leaves the gesture where its last good edit put it.
    if (restoreOnRefusal) {
        TakeParsed(beforeEdit, beforeEditParsed);
        selection = beforeEditSelection;
    }
    return false;
}

bool QD_ScriptDocument::PlanSpline(std::uint32_t channel, const std::vector<QD_PlannedKey>& keys,
                                   const std::vector<bool>& changed, QD_ScriptRewriter& rewriter,
                                   std::map<std::uint32_t, QD_ScriptChannel>& expected)
{
    std::vector<QD_SequencerKey> newKeys = KeysOf(keys);
    for (std::size_t i = 0; i < newKeys.size(); ++i) {
        if (changed[i] && (!CheckBeat(newKeys[i].beat) || !CheckFinite("value", newKeys[i].value)))
            return false;
    }
    if (!CheckKeyOrder(channel, newKeys, changed))
        return false;
    rewriter.RewriteKeys(*Statement(channel), keys);
    expected[channel].keys = std::move(newKeys);
    return true;
}

bool QD_ScriptDocument::Commit(const QD_ScriptRewriter& rewriter, const std::map<std::uint32_t, QD_ScriptChannel>& expected)
{
    std::string edited = rewriter.Apply();
    if (edited == text)
        return true;
    // The parse is the proof: the text must read back as exactly the channels meant.
    Parsed parsed = Parse(edited);
    if (!parsed.parsed || parsed.channels != expected)
        return REFUSE("the edit does not read back as meant; nothing is changed.");
    const std::string before = text;
    TakeParsed(std::move(edited), std::move(parsed));
    if (!gesture.active)
        Record(before);
    return true;
}

bool QD_ScriptDocument::CommitSpline(std::uint32_t channel, const std::vector<QD_PlannedKey>& keys,
                                     const std::vector<bool>& changed)
{
    QD_ScriptRewriter rewriter(text);
    std::map<std::uint32_t, QD_ScriptChannel> expected = channels;
    return PlanSpline(channel, keys, changed, rewriter, expected) && Commit(rewriter, expected);
}

bool QD_ScriptDocument::ChangeKey(QD_KeyRef key, const float* beat, const float* value)
{
    if (!BeginEdit())
        return false;
    const QD_ScriptChannel* spline = nullptr;
    bool done = FindKey(key, &spline);
    if (done) {
        std::vector<QD_PlannedKey> keys = KeptKeys(*spline);
        if (beat)
            keys[key.key].key.beat = *beat;
        if (value)
            keys[key.key].key.value = *value;
        std::vector<bool> changed(keys.size(), false);
        changed[key.key] = true;
        done = CommitSpline(key.channel, keys, changed);
    }
    return EndEdit(done);
}

bool QD_ScriptDocument::SetKeyValue(QD_KeyRef key, float value)
{
    return ChangeKey(key, nullptr, &value);
}

bool QD_ScriptDocument::SetKeyBeat(QD_KeyRef key, float beat)
{
    return ChangeKey(key, &beat, nullptr);
}

bool QD_ScriptDocument::MoveKeys(const std::vector<QD_KeyRef>& keys, float beatOffset, float valueOffset)
{
    if (!BeginEdit())
        return false;
    bool done = CheckFinite("beat offset", beatOffset) && CheckFinite("value offset", valueOffset);
    QD_ScriptRewriter rewriter(text);
    std::map<std::uint32_t, QD_ScriptChannel> expected = channels;
    for (const auto& [channel, indices] : GroupByChannel(keys)) {
        const QD_ScriptChannel* spline = nullptr;
        if (!done || !FindKey(QD_KeyRef{channel, indices.back()}, &spline)) {
            done = false;
            break;
        }
        std::vector<QD_PlannedKey> planned = KeptKeys(*spline);
        std::vector<bool> changed(planned.size(), false);
        for (std::uint32_t index : indices) {
            planned[index].key.beat += beatOffset;
            planned[index].key.value += valueOffset;
            changed[index] = true;
        }
        done = PlanSpline(channel, planned, changed, rewriter, expected);
    }
    done = done && Commit(rewriter, expected);
    return EndEdit(done);
}

bool QD_ScriptDocument::AddKey(std::uint32_t channel, float beat)
{
    return AddKeyAt(channel, beat, nullptr);
}

bool QD_ScriptDocument::AddKey(std::uint32_t channel, float beat, float value)
{
    return AddKeyAt(channel, beat, &value);
}

bool QD_ScriptDocument::AddKeyAt(std::uint32_t channel, float beat, const float* value)
{
    if (!BeginEdit())
        return false;
    const QD_ScriptChannel* spline = nullptr;
    bool done = FindSpline(channel, &spline) && CheckBeat(beat) && (!value || CheckFinite("value", *value));
    std::size_t index = 0;
    if (done) {
        const std::vector<QD_SequencerKey>& keys = spline->keys;
        for (const QD_SequencerKey& key : keys) {
            if (key.beat == beat) {
                done = REFUSE("channel %u has a key at beat %g already.", channel, double(beat));
                break;
            }
        }
        while (index < keys.size() && keys[index].beat < beat)
            ++index;
    }
    if (done) {
        // Without a value, the curve's own there, so adding the key changes nothing until it
        // is moved.
        QD_SequencerSpline curve(spline->splineType, spline->keys);
        curve.OnBeat(QD_SyncBeatEvent{beat});
        const QD_SequencerKey added{beat, value ? *value : curve.GetFloat(0.0f)};
        std::vector<QD_PlannedKey> planned = KeptKeys(*spline);
        planned.insert(planned.begin() + std::ptrdiff_t(index), QD_PlannedKey{-1, added});
        std::vector<bool> changed(planned.size(), false);
        changed[index] = true;
        done = CommitSpline(channel, planned, changed);
    }
    if (done)
        selection = {QD_KeyRef{channel, static_cast<std::uint32_t>(index)}};
    return EndEdit(done);
}

bool QD_ScriptDocument::DeleteKeys(const std::vector<QD_KeyRef>& keys)
{
    if (!BeginEdit())
        return false;
    bool done = true;
    QD_ScriptRewriter rewriter(text);
    std::map<std::uint32_t, QD_ScriptChannel> expected = channels;
    const auto groups = GroupByChannel(keys);
    for (const auto& [channel, indices] : groups) {
        const QD_ScriptChannel* spline = nullptr;
        if (!FindKey(QD_KeyRef{channel, indices.back()}, &spline)) {
            done = false;
            break;
        }
        if (indices.size() == spline->keys.size()) {
            done = REFUSE("a spline keeps at least one key; channel %u would have none.", channel);
            break;
        }
        std::vector<QD_PlannedKey> planned;
        for (std::size_t i = 0; i < spline->keys.size(); ++i) {
            if (!std::binary_search(indices.begin(), indices.end(), std::uint32_t(i)))
                planned.push_back(QD_PlannedKey{static_cast<std::int32_t>(i), spline->keys[i]});
        }
        // Removing keys reorders nothing: no pair needs a check.
        done = PlanSpline(channel, planned, std::vector<bool>(planned.size(), false), rewriter, expected);
    }
    done = done && Commit(rewriter, expected);
    if (done) {
        // The keys after a deleted one move down.
        std::vector<QD_KeyRef> kept;
        for (QD_KeyRef key : selection) {
            const auto group = groups.find(key.channel);
            if (group == groups.end()) {
                kept.push_back(key);
                continue;
            }
            const std::vector<std::uint32_t>& deleted = group->second;
            if (std::binary_search(deleted.begin(), deleted.end(), key.key))
                continue;
            key.key -= static_cast<std::uint32_t>(std::lower_bound(deleted.begin(), deleted.end(), key.key) - deleted.begin());
            kept.push_back(key);
        }
        SetSelection(std::move(kept));
    }
    return EndEdit(done);
}

bool QD_ScriptDocument::SetSplineType(std::uint32_t channel, std::int32_t splineType)
{
    if (!BeginEdit())
        return false;
    const char* typeName = QD_SplineTypeName(splineType);
    const QD_ScriptChannel* found = Channel(channel);
    bool done = true;
    if (!typeName)
        done = REFUSE("there is no spline kind %d.", splineType);
    else if (!found)
        done = REFUSE("channel %u is not assigned.", channel);
    else if (found->kind == QD_SCRIPT_BEAT)
        done = REFUSE("channel %u is a beat ramp; only constants and splines become splines.", channel);
    if (done) {
        const QD_StatementSyntax& statement = *Statement(channel);
        QD_ScriptRewriter rewriter(text);
        std::map<std::uint32_t, QD_ScriptChannel> expected = channels;
        QD_ScriptChannel& changed = expected[channel];
        if (found->kind == QD_SCRIPT_CONSTANT) {
            // The constant's own number becomes the key's value, byte for byte.
            const std::string number = text.substr(statement.head.offset, statement.head.length);
            rewriter.Replace(statement.head, std::string(typeName) + "(0:" + number + ")");
            changed.keys = {QD_SequencerKey{0.0f, found->value}};
            changed.kind = QD_SCRIPT_SPLINE;
            changed.value = 0.0f;
        } else if (found->splineType != splineType) {
            rewriter.Replace(statement.head, typeName);
        }
        changed.splineType = splineType;
        done = Commit(rewriter, expected);
    }
    return EndEdit(done);
}

bool QD_ScriptDocument::SetChannelNumber(std::uint32_t channel, QD_ScriptChannelKind kind, const char* kindName,
                                         const char* what, float number)
{
    if (!BeginEdit())
        return false;
    const QD_ScriptChannel* found = Channel(channel);
    bool done = true;
    if (!found || found->kind != kind)
        done = REFUSE("channel %u is not a %s.", channel, kindName);
    done = done && CheckFinite(what, number);
    if (done) {
        const QD_StatementSyntax& statement = *Statement(channel);
        QD_ScriptRewriter rewriter(text);
        rewriter.RewriteNumber(kind == QD_SCRIPT_BEAT ? statement.amplifier : statement.head, number);
        std::map<std::uint32_t, QD_ScriptChannel> expected = channels;
        expected[channel].value = number;
        done = Commit(rewriter, expected);
    }
    return EndEdit(done);
}

bool QD_ScriptDocument::SetConstantValue(std::uint32_t channel, float value)
{
    return SetChannelNumber(channel, QD_SCRIPT_CONSTANT, "constant", "value", value);
}

bool QD_ScriptDocument::SetBeatRate(std::uint32_t channel, float rate)
{
    return SetChannelNumber(channel, QD_SCRIPT_BEAT, "beat channel", "rate", rate);
}

float QD_ScriptDocument::LimitBeatOffset(const std::vector<QD_KeyRef>& keys, float beatOffset, float step) const
{
    float lowest = -INFINITY;
    float highest = INFINITY;
    for (const auto& group : GroupByChannel(keys)) {
        const QD_ScriptChannel* spline = Channel(group.first);
        if (!spline || spline->kind != QD_SCRIPT_SPLINE)
            continue;
        const std::vector<QD_SequencerKey>& splineKeys = spline->keys;
        // A named reference: the lambda may not capture a structured binding in C++17.
        const auto& indices = group.second;
        const auto moves = [&](std::size_t i) { return std::binary_search(indices.begin(), indices.end(), std::uint32_t(i)); };
        for (std::uint32_t index : indices) {
            if (index >= splineKeys.size())
                continue;
            const float beat = splineKeys[index].beat;
            lowest = std::max(lowest, -beat);
            if (index > 0 && !moves(index - 1))
                lowest = std::max(lowest, splineKeys[index - 1].beat + step - beat);
            if (index + 1 < splineKeys.size() && !moves(index + 1))
                highest = std::min(highest, splineKeys[index + 1].beat - step - beat);
        }
    }
    if (beatOffset > 0.0f)
        return std::min(beatOffset, std::max(highest, 0.0f));
    if (beatOffset < 0.0f)
        return std::max(beatOffset, std::min(lowest, 0.0f));
    return 0.0f;
}

// ---- gestures, undo and redo ------------------------------------------------------------------

void QD_ScriptDocument::Record(const std::string& before)
{
    // The changed stretch alone: what lies before and after it is the same in both texts.
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < text.size() && before[prefix] == text[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < text.size() - prefix &&
           before[before.size() - 1 - suffix] == text[text.size() - 1 - suffix])
        ++suffix;
    Step step;
    step.offset = static_cast<std::uint32_t>(prefix);
    step.removed = before.substr(prefix, before.size() - prefix - suffix);
    step.inserted = text.substr(prefix, text.size() - prefix - suffix);
    undoSteps.push_back(std::move(step));
    redoSteps.clear();
}

void QD_ScriptDocument::BeginGesture()
{
    if (gesture.active)
        EndGesture();
    gesture.active = true;
    gesture.startText = text;
    gesture.startParsed = Current();
    gesture.startSelection = selection;
}

void QD_ScriptDocument::EndGesture()
{
    if (!gesture.active)
        return;
    gesture.active = false;
    if (text != gesture.startText)
        Record(gesture.startText);
    gesture = Gesture{};
}

void QD_ScriptDocument::CancelGesture()
{
    if (!gesture.active)
        return;
    if (text != gesture.startText) {
        TakeParsed(gesture.startText, gesture.startParsed);
        selection = gesture.startSelection;
    }
    gesture = Gesture{};
}

void QD_ScriptDocument::ApplyStep(const Step& step, bool forward)
{
    const std::string& out = forward ? step.removed : step.inserted;
    const std::string& in = forward ? step.inserted : step.removed;
    std::string changed = text;
    changed.replace(step.offset, out.size(), in);
    TakeText(std::move(changed));
    KeepExistingSelection();
}

bool QD_ScriptDocument::TakeStep(std::vector<Step>& from, std::vector<Step>& to, bool forward)
{
    EndGesture();
    if (from.empty())
        return false;
    Step step = std::move(from.back());
    from.pop_back();
    ApplyStep(step, forward);
    to.push_back(std::move(step));
    return true;
}

bool QD_ScriptDocument::Undo()
{
    return TakeStep(undoSteps, redoSteps, false);
}

bool QD_ScriptDocument::Redo()
{
    return TakeStep(redoSteps, undoSteps, true);
}

// ---- selection --------------------------------------------------------------------------------

void QD_ScriptDocument::SetSelection(std::vector<QD_KeyRef> keys)
{
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    const auto missing = [this](const QD_KeyRef& key) {
        const QD_ScriptChannel* channel = Channel(key.channel);
        return !channel || channel->kind != QD_SCRIPT_SPLINE || key.key >= channel->keys.size();
    };
    keys.erase(std::remove_if(keys.begin(), keys.end(), missing), keys.end());
    selection = std::move(keys);
}

void QD_ScriptDocument::KeepExistingSelection()
{
    // By channel number: a channel that moved in the text keeps its selected keys.
    if (editable)
        SetSelection(selection);
}
