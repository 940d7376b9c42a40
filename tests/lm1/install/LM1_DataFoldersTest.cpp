// Where the demo's data is found: the order of the search and what counts as the data, on
// made-up trees (an installed prefix, a build folder inside a source tree, a folder named on
// the command line).

#include "LM1_DataFolders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
// A folder holding the data as the search recognises it (the timeline and nothing else).
std::string MakeData(const TempDir& root, const std::string& folder)
{
    std::filesystem::create_directories(root.File(folder));
    root.Write(folder + "/scene.qcs", "// timeline\n");
    return root.File(folder) + "/";
}
} // namespace

TEST(LM1_DataFoldersTest, TheSearchOrderIsNamedThenInstalledThenTheSourceTreeOfTheBuild)
{
    TempDir root;
    std::filesystem::create_directories(root.File("src/build"));
    std::filesystem::create_directories(root.File("usr/bin"));
    const std::string build = root.File("src/build");

    // Run from the build folder: beside the executable first, then the tree it was built from.
    LM1_DataPlaces fromBuild{.named = "", .executableFolder = build + "/", .buildFolder = build,
                             .sourceFolder = root.File("src")};
    EXPECT_EQ(LM1_AssetFolderCandidates(fromBuild),
              (std::vector<std::string>{root.File("src/share/velvet-cascade/assets/"), root.File("src/assets/")}));

    // Installed: the build's source tree is never looked at, wherever it still is.
    LM1_DataPlaces installed = fromBuild;
    installed.executableFolder = root.File("usr/bin") + "/";
    EXPECT_EQ(LM1_AssetFolderCandidates(installed),
              std::vector<std::string>{root.File("usr/share/velvet-cascade/assets/")});

    // Named: that folder alone, with the separator added.
    installed.named = "copy/assets";
    EXPECT_EQ(LM1_AssetFolderCandidates(installed), std::vector<std::string>{"copy/assets/"});

    // Nothing known of the executable: no candidate at all, never the working folder.
    EXPECT_TRUE(LM1_AssetFolderCandidates(LM1_DataPlaces{}).empty());
}

TEST(LM1_DataFoldersTest, TheFirstFolderWithTheTimelineWinsAndANamedFolderIsNeverReplaced)
{
    TempDir root;
    std::filesystem::create_directories(root.File("src/build"));
    const std::string sourceAssets = MakeData(root, "src/assets");
    LM1_DataPlaces places{.named = "", .executableFolder = root.File("src/build") + "/",
                          .buildFolder = root.File("src/build") + "/", .sourceFolder = root.File("src")};

    std::vector<std::string> looked;
    EXPECT_EQ(LM1_FindAssetFolder(places, &looked), sourceAssets);
    EXPECT_EQ(looked.size(), 2u) << "the installed place was tried first";

    // A folder beside bin/ that holds the data comes before the source tree.
    const std::string installedAssets = MakeData(root, "src/share/velvet-cascade/assets");
    EXPECT_EQ(LM1_FindAssetFolder(places, nullptr), installedAssets);

    // A folder without the timeline is not the data, even with other files in it.
    std::filesystem::create_directories(root.File("empty"));
    root.Write("empty/post.qcs", "// composition\n");
    places.named = root.File("empty");
    looked.clear();
    EXPECT_EQ(LM1_FindAssetFolder(places, &looked), "") << "a wrong --assets is an error, not a fallback";
    EXPECT_EQ(looked, std::vector<std::string>{root.File("empty") + "/"});

    places.named = root.File("missing");
    EXPECT_EQ(LM1_FindAssetFolder(places, nullptr), "");
    // A file where the folder should be is no data either.
    root.Write("file-instead", "x");
    places.named = root.File("file-instead");
    EXPECT_EQ(LM1_FindAssetFolder(places, nullptr), "");
}

TEST(LM1_DataFoldersTest, ThisProcessIsATestOfTheBuildSoItsSearchEndsInTheSourceTree)
{
    // The test programs lie in the build folder, like the demo run from it.
    const std::string found = LM1_FindAssetFolder("");
    EXPECT_TRUE(std::filesystem::equivalent(found, VC_SOURCE_DIR "/assets/")) << found;

    testing::internal::CaptureStderr();
    EXPECT_EQ(LM1_FindAssetFolder("/nonexistent/vc-assets"), "");
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("[ERROR] No demo data (scene.qcs) found; looked in /nonexistent/vc-assets/."), std::string::npos)
        << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}
