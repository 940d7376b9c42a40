#pragma once
// Cue points of the workbench: beats the demo maker marks at the playhead (C) and jumps between
// ([ and ]), kept in a small text file beside the assets so they last from one session to the
// next: one beat a line, '#' starting a comment.
//
//   LM1_DevCuePoints cues(assetFolder + "/cues.txt");   // reads the file when it exists
//   cues.Toggle(beat);                                   // saved at once
//   float next = cues.Next(beat);                        // beat itself when there is none
//
// A line that is not a beat is reported with the file and line and skipped; a file that
// cannot be written is reported and the cues are kept for the session.

#include <string>
#include <vector>

class LM1_DevCuePoints
{
public:
    // Cues closer than this to one another are one cue.
    static constexpr float SameCue = 1.0f / 64.0f;

    // No file: cues last for the session only.
    LM1_DevCuePoints() = default;
    explicit LM1_DevCuePoints(std::string filePath);

    // The cues of a file's text, ascending; origin names the file in reports.
    static std::vector<float> Parse(const std::string& text, const std::string& origin);
    static std::string Text(const std::vector<float>& beats);

    // Adds a cue at beat, or removes the one there; then saves.
    void Toggle(float beat);
    // The nearest cue before beat (by more than SameCue) / after it; beat itself when none.
    float Previous(float beat) const;
    float Next(float beat) const;
    const std::vector<float>& Beats() const { return beats; }

private:
    void Save() const;

    std::string path;
    std::vector<float> beats;
};
