#pragma once
// HLSL forms the platform compiler accepts and the HLSL front end does not, rewritten into forms
// it does before it parses the preprocessed text:
//
//   std::string expanded = ...;           // the preprocessor's output
//   QP_RewriteHlslForms(expanded, "QR_Main");
//
// - select(condition, a, b), the newer per-component choice, becomes ((condition) ? (a) : (b)),
//   which the front end chooses per component for a vector condition; a text that declares a
//   function of its own named select keeps its calls.
// - An entry point parameter without a name before its semantic ("float4 : SV_Position") is
//   given one (QP_Unnamed0, QP_Unnamed1...): the front end crashes on it, the platform compiler
//   reads it as a value the stage never uses. A type alone, without a semantic, stays refused.
// - A static declaration inside a cbuffer or tbuffer (static const float k[3] = {...};) is a
//   constant of the text, never a buffer member: it moves out, before the buffer, so the members
//   after it keep their offsets.
// - SV_Position0 is SV_Position (the front end knows the system value by its plain name only).
// Every line keeps its number (a moved declaration joins the buffer's first line). Linear in the
// length of the text; any bytes are safe; a text whose brackets do not close is left as it is
// where they matter, for the guards to report.

#include <string>

void QP_RewriteHlslForms(std::string& text, const char* entryPoint);

// HLSL narrows an argument wider than its parameter (a float4 passed for a float: the first
// component) with a warning; the front end refuses the call ("no matching overloaded function
// found"). Given that refusal in log, the calls on the line it names of the function it names
// have each argument cast to its parameter's type, where the text defines that function once and
// the parameter is a scalar, vector or matrix read by the function (not out or inout). True when
// the text changed, with the platform compiler's warning appended to warnings; false otherwise
// (another refusal, or nothing to convert), text unchanged. Each call converts one line: a caller
// retries while it returns true, within a bound of its own.
bool QP_NarrowCallArguments(std::string& text, const std::string& log, const char* sourceName, std::string& warnings);
