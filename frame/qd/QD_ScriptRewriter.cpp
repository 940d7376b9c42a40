#include "QD_ScriptRewriter.h"

#include "QC_Log.h"
#include "QD_Sequencer_QCS.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace
{
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Blanks around exactly one mark (',' or ':'), nothing else: a separator worth copying. One
// holding a comment is not copied, so a comment never appears twice.
bool IsPlainSeparator(const std::string& bytes, char mark)
{
    int marks = 0;
    for (char c : bytes) {
        if (c == mark)
            ++marks;
        else if (!IsBlank(c))
            return false;
    }
    return marks == 1;
}

// The text of a relative beat that lands on beat after previousBeat, as the parser adds them
// (in floats); empty when no float does.
std::string RelativeBeatText(float previousBeat, float beat)
{
    const float nearest = static_cast<float>(double(beat) - double(previousBeat));
    for (const float candidate : {nearest, std::nextafter(nearest, INFINITY), std::nextafter(nearest, -INFINITY)}) {
        if (std::isfinite(candidate) && previousBeat + candidate == beat)
            return QD_FormatScriptFloat(candidate);
    }
    return std::string();
}
} // namespace

float QD_ScriptRewriter::Read(const QD_ScriptSpan& span) const
{
    return QD_ReadScriptFloat(text.data() + span.offset, span.length);
}

void QD_ScriptRewriter::Replace(const QD_ScriptSpan& span, std::string replacement)
{
    splices.push_back(Splice{span.offset, span.length, std::move(replacement)});
}

void QD_ScriptRewriter::RewriteNumber(const QD_ScriptSpan& span, float value)
{
    if (std::bit_cast<std::uint32_t>(Read(span)) != std::bit_cast<std::uint32_t>(value))
        Replace(span, QD_FormatScriptFloat(value));
}

void QD_ScriptRewriter::RewriteBeat(const QD_KeySyntax& key, float previousBeat, float beat)
{
    if (!key.IsRelative()) {
        RewriteNumber(key.beat, beat);
        return;
    }
    if (previousBeat + Read(key.beat) == beat)
        return;
    const std::string relative = RelativeBeatText(previousBeat, beat);
    if (!relative.empty()) {
        Replace(key.beat, relative);
        return;
    }
    // No step reaches the beat exactly: the key becomes absolute.
    Replace(QD_ScriptSpan{key.plus.offset, key.beat.End() - key.plus.offset}, QD_FormatScriptFloat(beat));
}

void QD_ScriptRewriter::RewriteKeys(const QD_StatementSyntax& statement, const std::vector<QD_PlannedKey>& keys)
{
    std::vector<bool> kept(statement.keys.size(), false);
    std::int32_t lastSource = -1;
    for (const QD_PlannedKey& planned : keys) {
        if (planned.source < 0)
            continue;
        QC_ASSERT(planned.source > lastSource && std::size_t(planned.source) < kept.size(), "Keys out of text order.");
        kept[std::size_t(planned.source)] = true;
        lastSource = planned.source;
    }
    QC_ASSERT(lastSource >= 0, "A spline edit must keep one of its keys.");

    RemoveKeys(statement, kept);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].source < 0)
            continue;
        const QD_KeySyntax& key = statement.keys[std::size_t(keys[i].source)];
        // A relative beat counts from the key before it in the new list, 0 for the first.
        RewriteBeat(key, i > 0 ? keys[i - 1].key.beat : 0.0f, keys[i].key.beat);
        RewriteNumber(key.value, keys[i].key.value);
    }
    InsertKeys(statement, keys);
}

void QD_ScriptRewriter::RemoveKeys(const QD_StatementSyntax& statement, const std::vector<bool>& kept)
{
    const std::size_t count = statement.keys.size();
    for (std::size_t first = 0; first < count; ++first) {
        if (kept[first])
            continue;
        std::size_t last = first;
        while (last + 1 < count && !kept[last + 1])
            ++last;
        if (last + 1 < count) {
            // A key follows: the run goes with its last comma and the blanks after it, so the
            // next key takes the run's place (a comment there stays).
            std::uint32_t end = statement.keys[last].comma.End();
            while (end < statement.keys[last + 1].Start() && IsBlank(text[end]))
                ++end;
            splices.push_back(Splice{statement.keys[first].Start(), end - statement.keys[first].Start(), {}});
        } else {
            // The run ends the spline: it goes with the comma before it.
            const std::uint32_t start = statement.keys[first - 1].value.End();
            splices.push_back(Splice{start, statement.keys[last].value.End() - start, {}});
        }
        first = last;
    }
}

std::string QD_ScriptRewriter::KeySeparator(const QD_StatementSyntax& statement) const
{
    // The author's own, when the spline has one to copy (", " or ",\n    " ...).
    if (statement.keys.size() >= 2) {
        const std::string separator = Bytes(statement.keys[0].value.End(), statement.keys[1].Start());
        if (IsPlainSeparator(separator, ','))
            return separator;
    }
    return ", ";
}

std::string QD_ScriptRewriter::KeyText(const QD_StatementSyntax& statement, const QD_SequencerKey& key) const
{
    const QD_KeySyntax& sample = statement.keys[0];
    std::string colon = Bytes(sample.beat.End(), sample.value.offset);
    if (!IsPlainSeparator(colon, ':') || colon.find('\n') != std::string::npos)
        colon = ":";
    return QD_FormatScriptFloat(key.beat) + colon + QD_FormatScriptFloat(key.value);
}

void QD_ScriptRewriter::InsertKeys(const QD_StatementSyntax& statement, const std::vector<QD_PlannedKey>& keys)
{
    const std::string separator = KeySeparator(statement);
    std::string leading;        // new keys before the first kept one
    std::int32_t anchor = -1;   // the kept key the next new keys follow
    std::string trailing;
    for (const QD_PlannedKey& planned : keys) {
        if (planned.source >= 0) {
            if (anchor < 0 && !leading.empty())
                splices.push_back(Splice{statement.keys[std::size_t(planned.source)].Start(), 0, leading});
            if (anchor >= 0 && !trailing.empty())
                splices.push_back(Splice{statement.keys[std::size_t(anchor)].value.End(), 0, trailing});
            anchor = planned.source;
            trailing.clear();
        } else if (anchor < 0) {
            leading += KeyText(statement, planned.key) + separator;
        } else {
            trailing += separator + KeyText(statement, planned.key);
        }
    }
    if (!trailing.empty())
        splices.push_back(Splice{statement.keys[std::size_t(anchor)].value.End(), 0, trailing});
}

std::string QD_ScriptRewriter::Apply() const
{
    std::vector<Splice> ordered = splices;
    // An insertion at the offset where a removal starts goes first.
    std::stable_sort(ordered.begin(), ordered.end(), [](const Splice& a, const Splice& b) {
        return a.offset != b.offset ? a.offset < b.offset : a.length < b.length;
    });
    std::string edited;
    edited.reserve(text.size() + 64);
    std::uint32_t copied = 0;
    for (const Splice& splice : ordered) {
        QC_ASSERT(splice.offset >= copied && splice.offset + splice.length <= text.size(), "Overlapping script edits.");
        edited.append(text, copied, splice.offset - copied);
        edited += splice.replacement;
        copied = splice.offset + splice.length;
    }
    edited.append(text, copied, std::string::npos);
    return edited;
}
