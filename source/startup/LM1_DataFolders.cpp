#include "LM1_DataFolders.h"

#include "QC_Log.h"
#include "QP_ExecutableFolder.h"

#include <filesystem>
#include <system_error>

namespace
{
// Loaded first by every mode: a folder without it cannot be the demo's.
constexpr const char* kTimeline = "scene.qcs";
constexpr const char* kInstalledAssets = "../share/velvet-cascade/assets/";

std::string WithSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

bool SameFolder(const std::string& a, const std::string& b)
{
    if (a.empty() || b.empty())
        return false;
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

bool HoldsTheData(const std::string& folder)
{
    std::error_code error;
    return std::filesystem::is_regular_file(folder + kTimeline, error);
}
} // namespace

LM1_DataPlaces LM1_ThisProcessDataPlaces(const std::string& named)
{
    return LM1_DataPlaces{.named = named,
                          .executableFolder = QP_ExecutableFolder(),
                          .buildFolder = VC_BUILD_FOLDER,
                          .sourceFolder = VC_SOURCE_FOLDER};
}

std::vector<std::string> LM1_AssetFolderCandidates(const LM1_DataPlaces& places)
{
    if (!places.named.empty())
        return {WithSlash(places.named)};
    std::vector<std::string> candidates;
    if (!places.executableFolder.empty()) {
        // The kernel's name of the executable has no links left, so dropping "bin/.." is safe
        // and makes the messages readable.
        const std::string installed = WithSlash(places.executableFolder) + kInstalledAssets;
        candidates.push_back(std::filesystem::path(installed).lexically_normal().string());
    }
    if (SameFolder(places.executableFolder, places.buildFolder))
        candidates.push_back(WithSlash(places.sourceFolder) + "assets/");
    return candidates;
}

std::string LM1_FindAssetFolder(const LM1_DataPlaces& places, std::vector<std::string>* looked)
{
    for (const std::string& candidate : LM1_AssetFolderCandidates(places)) {
        if (looked)
            looked->push_back(candidate);
        if (HoldsTheData(candidate))
            return candidate;
    }
    return std::string();
}

std::string LM1_FindAssetFolder(const std::string& named)
{
    std::vector<std::string> looked;
    const std::string found = LM1_FindAssetFolder(LM1_ThisProcessDataPlaces(named), &looked);
    if (found.empty()) {
        std::string folders;
        for (const std::string& folder : looked)
            folders += (folders.empty() ? "" : ", ") + folder;
        // Only a search that chose its own folders can be helped by naming one.
        QC_ERROR("No demo data (%s) found; looked in %s.%s", kTimeline,
                 folders.empty() ? "no folder (the executable's place is unknown)" : folders.c_str(),
                 named.empty() ? " Name the folder with --assets DIR." : "");
    }
    return found;
}
