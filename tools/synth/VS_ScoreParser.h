#pragma once
// Reads a score from text. The format (one statement a line; a
// word that starts with '#' starts a comment) is
// described at the top of music/velvet-cascade.score; in short:
//
//   song ... end                     tempo, grid, length, loudness target, delay and reverb
//   instrument NAME ... end          one "parameter value" a line
//   pattern NAME STEPS ... end       one "STEPS NOTE LENGTH VELOCITY" a line
//   play FROM TO INSTRUMENT PATTERN [TRANSPOSE]
//   sweep FROM TO INSTRUMENT PARAMETER START END
//   section NAME FROM TO
//
// Every fault is logged at level 2 as "NAME(LINE): what is wrong" and parsing goes on, so one
// run lists them all; the result is false when there was any.

#include "synth/VS_Score.h"

#include <string>

namespace VS_ScoreParser
{
// Parses text (name stands for the file in messages) into score, which starts from defaults.
bool Parse(const std::string& text, const std::string& name, VS_Score& score);
// Reads and parses a file; an unreadable file is logged and gives false.
bool ParseFile(const std::string& path, VS_Score& score);
// A note name such as "C#3", "Eb2" or "A4" (= 69) as a MIDI note number; false when malformed.
bool ParseNoteName(const std::string& text, float& note);
} // namespace VS_ScoreParser
