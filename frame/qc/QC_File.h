#pragma once
// Reading whole text files (shader sources, sequencer scripts, plain texts).
//
//   QC_String text;
//   if (!QC_ReadFile("assets/scene.qcs", text))
//       ...;                                  // text is unchanged
//
// Text mode as the system was written for it: a CR directly before an LF is dropped, so
// CR LF line ends arrive as LF; every other byte (a lone CR included) is kept. The string
// holds exactly the bytes kept.

#include "QC_String.h"

// True when the file was read; false (text untouched) when it cannot be opened or read, is not
// a regular file, or is too large for a string. Reports nothing itself.
bool QC_ReadFile(const char* path, QC_String& text);

// The file's bytes exactly as stored (CR LF kept), for a caller that writes the text back and
// must give every untouched byte back as it was. Fails as QC_ReadFile does.
bool QC_ReadFileBytes(const char* path, QC_String& bytes);

// The text-mode line-end rule on a buffer in place: drops every CR that directly precedes an
// LF and returns the number of bytes kept.
std::uint32_t QC_DropCarriageReturns(char* bytes, std::uint32_t count);
