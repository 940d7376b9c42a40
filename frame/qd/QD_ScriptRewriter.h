#pragma once
// Turns a change of a script's numbers into the fewest text changes: only the tokens whose
// reading no longer gives the wanted number are rewritten (in QD_FormatScriptFloat's short
// form), and keys are added or removed with their separators, so comments, spacing and line
// breaks stay byte for byte. Used by QD_ScriptDocument, which checks every result by parsing it.
//
//   QD_ScriptRewriter rewriter(text);
//   rewriter.RewriteNumber(statement.keys[2].value, 0.5f);   // nothing when it reads 0.5 already
//   std::string edited = rewriter.Apply();

#include "QD_ScriptSyntax.h"
#include "QD_SequencerSpline.h"

#include <cstdint>
#include <string>
#include <vector>

// A key of a spline as an edit wants it: source is the index of the key it was in the text
// (its tokens are kept where they still read right), or -1 for a key the edit adds.
struct QD_PlannedKey
{
    std::int32_t source = -1;
    QD_SequencerKey key{0.0f, 0.0f};
};

class QD_ScriptRewriter
{
public:
    // text must outlive the rewriter and the spans given must be of it.
    explicit QD_ScriptRewriter(const std::string& scriptText) : text(scriptText) {}

    // The number token at span reads value afterwards.
    void RewriteNumber(const QD_ScriptSpan& span, float value);
    // The bytes of span are replaced by replacement.
    void Replace(const QD_ScriptSpan& span, std::string replacement);
    // The spline of statement gets keys. The kept keys (source >= 0) must keep their text order;
    // at least one must be kept (the text has no place for keys otherwise).
    void RewriteKeys(const QD_StatementSyntax& statement, const std::vector<QD_PlannedKey>& keys);

    // The text with every change made. The changes never overlap.
    std::string Apply() const;

private:
    struct Splice
    {
        std::uint32_t offset;
        std::uint32_t length;
        std::string replacement;
    };

    void RemoveKeys(const QD_StatementSyntax& statement, const std::vector<bool>& kept);
    void RewriteBeat(const QD_KeySyntax& key, float previousBeat, float beat);
    void InsertKeys(const QD_StatementSyntax& statement, const std::vector<QD_PlannedKey>& keys);
    std::string KeyText(const QD_StatementSyntax& statement, const QD_SequencerKey& key) const;
    std::string KeySeparator(const QD_StatementSyntax& statement) const;
    std::string Bytes(std::uint32_t from, std::uint32_t to) const { return text.substr(from, to - from); }
    float Read(const QD_ScriptSpan& span) const;

    const std::string& text;
    std::vector<Splice> splices;
};
