#include "LM1_DevCuePoints.h"

#include "QC_File.h"
#include "QC_Log.h"
#include "QP_ReplaceFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <sstream>

LM1_DevCuePoints::LM1_DevCuePoints(std::string filePath) : path(std::move(filePath))
{
    QC_String text;
    if (std::filesystem::exists(path) && QC_ReadFile(path.c_str(), text))
        beats = Parse(text.CStr(), path);
}

std::vector<float> LM1_DevCuePoints::Parse(const std::string& text, const std::string& origin)
{
    std::vector<float> parsed;
    std::istringstream lines(text);
    int lineNumber = 0;
    for (std::string line; std::getline(lines, line);) {
        ++lineNumber;
        line = line.substr(0, line.find('#'));
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        char* end = nullptr;
        const float beat = std::strtof(line.c_str(), &end);
        const bool rest = end && std::string(end).find_first_not_of(" \t\r") != std::string::npos;
        if (end == line.c_str() || rest || !std::isfinite(beat) || beat < 0.0f) {
            QC_ERROR("%s(%d): error: not a beat: \"%s\"", origin.c_str(), lineNumber, line.c_str());
            continue;
        }
        parsed.push_back(beat);
    }
    std::sort(parsed.begin(), parsed.end());
    parsed.erase(std::unique(parsed.begin(), parsed.end(), [](float a, float b) { return b - a < SameCue; }),
                 parsed.end());
    return parsed;
}

std::string LM1_DevCuePoints::Text(const std::vector<float>& cues)
{
    std::string text = "# Cue points of the workbench, in beats (C sets one at the playhead, [ and ] jump).\n";
    for (float beat : cues) {
        char line[32];
        std::snprintf(line, sizeof(line), "%.4f\n", static_cast<double>(beat));
        text += line;
    }
    return text;
}

void LM1_DevCuePoints::Toggle(float beat)
{
    if (!std::isfinite(beat) || beat < 0.0f)
        return;
    const auto near = std::find_if(beats.begin(), beats.end(), [beat](float cue) { return std::fabs(cue - beat) < SameCue; });
    if (near != beats.end())
        beats.erase(near);
    else
        beats.insert(std::upper_bound(beats.begin(), beats.end(), beat), beat);
    Save();
}

float LM1_DevCuePoints::Previous(float beat) const
{
    for (auto cue = beats.rbegin(); cue != beats.rend(); ++cue)
        if (*cue < beat - SameCue)
            return *cue;
    return beat;
}

float LM1_DevCuePoints::Next(float beat) const
{
    for (float cue : beats)
        if (cue > beat + SameCue)
            return cue;
    return beat;
}

void LM1_DevCuePoints::Save() const
{
    if (path.empty())
        return;
    // Replaced in one step, as the scripts are: a crash mid-write never loses the cues.
    const std::string text = Text(beats);
    int error = 0;
    if (!QP_ReplaceFile(path.c_str(), text.data(), text.size(), &error))
        QC_ERROR("%s: error: the cue points could not be saved: %s", path.c_str(), std::strerror(error));
}
