#pragma once
// Sequencer scripts: the text format that assigns constants, splines and beat ramps to
// numbered channels.
//
//   10 = 0.5;                                   // constant
//   11 = linear(0:0, 16:1, +16:0);              // spline: beat:value keys, '+' = relative beat
//   12 = catmullrom(0 : 1.0, 4 : -2, 8 : 1);    // also "constant" (steps)
//   14 = beat(0.25);                            // ramp: song position × 0.25
//   /* block comments */ and // line comments
//
// Channel numbers run from 0 to QD_SEQUENCER_MAX_CHANNEL. Every error is reported at level 2,
// its message naming the script's file and line as the author sees them
// ("assets/scene.qcs(4): error: Expected : after spline beat."); the parse then stops and the
// caller's sequencer stays as it was, so a broken script never replaces a working one.
//
//   QC_Ptr<QD_Sequencer> sequencer;
//   if (QD_ParseSequencerScript("assets/scene.qcs", sequencer)) ...

#include "QC_Ptr.h"
#include "QD_ScriptSyntax.h"
#include "QD_Sequencer.h"

#include <cstdint>
#include <string>

// Reads the file (text mode) and parses it. True: sequencer is replaced by the new one. False:
// the file cannot be read (nothing reported) or the script has an error (reported); sequencer
// is left untouched. A path of 1024 characters or more is fatal.
bool QD_ParseSequencerScript(const char* path, QC_Ptr<QD_Sequencer>& sequencer);

// The same for a text in memory (length bytes; NUL bytes are ordinary characters). name is the
// file the errors name; without one they carry the message alone.
bool QD_ParseSequencerText(const char* text, std::uint32_t length, QC_Ptr<QD_Sequencer>& sequencer,
                           const char* name = nullptr);

// The same, and where each statement's tokens stand in the text (for editors that rewrite
// single tokens). On an error, syntax holds no statements and its errors the messages.
bool QD_ParseSequencerSyntax(const char* text, std::uint32_t length, QC_Ptr<QD_Sequencer>& sequencer,
                             QD_ScriptSyntax& syntax, const char* name = nullptr);

// A float constant's reading: the C library's decimal reading narrowed to a 32-bit float, values
// beyond the float range becoming what IEEE rounding gives (the largest float or an infinity).
float QD_ReadScriptFloat(const char* digits, std::uint32_t length);
// The shortest float constant (plain decimal, no exponent) that reads back as value, which must
// be finite: 0.25f gives "0.25", 16.0f "16", 0.07f "0.07". Formatting a value read from a
// constant and reading it again is stable.
std::string QD_FormatScriptFloat(float value);
