#pragma once
// Where each part of a sequencer script stands in its text: the byte ranges of the tokens an
// editor may rewrite. The parser fills it (QD_ParseSequencerSyntax) alongside the sequencer, one
// statement per object of the sequencer's AllChannels, in the same order, so a change to one
// value can be written back by replacing its token alone and every other byte stays as it was.
//
//   QD_ScriptSyntax syntax;
//   QC_Ptr<QD_Sequencer> sequencer;
//   if (QD_ParseSequencerSyntax(text, length, sequencer, syntax, "scene.qcs"))
//       const QD_ScriptSpan& value = syntax.statements[0].keys[2].value;   // offset, length
//
// Offsets count bytes from the start of the text given to the parser, a byte-order mark
// included.

#include <cstdint>
#include <string>
#include <vector>

struct QD_ScriptSpan
{
    std::uint32_t offset = 0;
    std::uint32_t length = 0; // 0: the part is not in the text
    std::uint32_t End() const { return offset + length; }
    bool Present() const { return length != 0; }
};

struct QD_KeySyntax
{
    QD_ScriptSpan plus;  // the '+' of a relative beat; absent for an absolute one
    QD_ScriptSpan beat;  // the beat's number
    QD_ScriptSpan value; // the value's number
    QD_ScriptSpan comma; // the ',' after the key; absent for the last key
    bool IsRelative() const { return plus.Present(); }
    std::uint32_t Start() const { return plus.Present() ? plus.offset : beat.offset; }
};

struct QD_StatementSyntax
{
    std::uint32_t channel = 0;
    QD_ScriptSpan number;    // the channel number
    QD_ScriptSpan head;      // the constant's number, or the keyword of a spline or beat
    QD_ScriptSpan amplifier; // the number inside beat( ); absent for the other kinds
    std::vector<QD_KeySyntax> keys; // a spline's keys in text order
    QD_ScriptSpan semicolon;
};

struct QD_ScriptSyntax
{
    std::vector<QD_StatementSyntax> statements;
    // The parser's messages when the text has an error, one line each in the author's form
    // ("scene.qcs(4): error: Expected : after spline beat."); empty when it parsed.
    std::string errors;
};
