#include "LM1_RenderOptions.h"

#include "QP_VideoEncoder.h"

#include <algorithm>
#include <cctype>

bool LM1_IsVideoOutput(const std::string& output)
{
    const std::size_t dot = output.find_last_of("./");
    if (dot == std::string::npos || output[dot] != '.')
        return false;
    std::string extension = output.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".mp4" || extension == ".mkv" || extension == ".webm";
}

const char* LM1_VideoPresetNames()
{
    return QP_VideoEncoder::SpeedPresetNames();
}

const char* LM1_DefaultVideoPreset()
{
    return QP_VideoEncoder::kDefaultSpeedPreset;
}

bool LM1_IsVideoPreset(const std::string& name)
{
    return QP_VideoEncoder::IsSpeedPreset(name);
}
