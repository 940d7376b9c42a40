#pragma once
// Where the demo's data is, wherever the program was started from. The one place that decides;
// every mode (the launcher run, the workbench, the offline renderer) asks it before start-up.
//
// The search, first match wins; a folder holds the data when it has the timeline, scene.qcs:
//   1. the folder --assets names (then nothing else is tried: a wrong name is an error, not a
//      reason to show other data);
//   2. PREFIX/share/velvet-cascade/assets/ for an executable in PREFIX/bin/ (an installed tree
//      or an unpacked release archive);
//   3. the source tree's assets/ when the executable lies in the build folder it was built in.
// The working folder plays no part.
//
//   const std::string assets = LM1_FindAssetFolder(options.assetFolder);
//   if (assets.empty()) return 1;    // one error line has said where it looked

#include <string>
#include <vector>

// What the search looks at; LM1_ThisProcessDataPlaces fills it for the running program.
struct LM1_DataPlaces
{
    // The folder --assets named, or empty.
    std::string named;
    // The executable's folder (ending in '/'), empty when unknown.
    std::string executableFolder;
    // The build folder and the source tree this program was built from.
    std::string buildFolder;
    std::string sourceFolder;
};

LM1_DataPlaces LM1_ThisProcessDataPlaces(const std::string& named);

// The folders to try, in order, each ending in '/'.
std::vector<std::string> LM1_AssetFolderCandidates(const LM1_DataPlaces& places);

// The first candidate that holds the data, or empty; looked lists the candidates tried.
std::string LM1_FindAssetFolder(const LM1_DataPlaces& places, std::vector<std::string>* looked);

// The running program's asset folder (ending in '/'). Empty after one error line through the log
// naming every folder it looked in.
std::string LM1_FindAssetFolder(const std::string& named);
