#include "QP_ReplaceFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>

namespace
{
std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Replace(const std::string& path, const std::string& bytes, int* error)
{
    return QP_ReplaceFile(path.c_str(), bytes.data(), bytes.size(), error);
}

std::size_t EntriesIn(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}
} // namespace

TEST(QP_ReplaceFileTest, NewContentArrivesByRenameKeepingPermissionsAndLeavingNoTemporaryFile)
{
    TempDir dir;
    const std::string path = dir.Write("scene.qcs", "1 = 0.5;\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    struct stat before;
    ASSERT_EQ(stat(path.c_str(), &before), 0);

    int error = 0;
    const std::string bytes("1 = 2;\r\n\0tail", 13);
    ASSERT_TRUE(Replace(path, bytes, &error)) << error;
    EXPECT_EQ(ReadAll(path), bytes);
    struct stat after;
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    // A new file took the old one's name (what a watcher sees as an atomic save).
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);

    // A file that does not exist yet is made, with the permissions the umask gives new files;
    // an empty content is a content.
    const mode_t mask = umask(027);
    const std::string fresh = dir.File("fresh.qcs");
    const bool made = Replace(fresh, "", &error);
    umask(mask);
    ASSERT_TRUE(made);
    EXPECT_TRUE(std::filesystem::is_regular_file(fresh));
    EXPECT_EQ(ReadAll(fresh), "");
    struct stat freshInfo;
    ASSERT_EQ(stat(fresh.c_str(), &freshInfo), 0);
    EXPECT_EQ(freshInfo.st_mode & 07777, 0640u);
}

TEST(QP_ReplaceFileTest, LinkIsFollowedAndAFailedReplaceLeavesNothingBehind)
{
    TempDir dir;
    const std::string target = dir.Write("real.qcs", "old");
    const std::string link = dir.File("link.qcs");
    std::filesystem::create_symlink(target, link);
    int error = 0;
    ASSERT_TRUE(Replace(link, "new", &error));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadAll(target), "new");

    // A folder that does not exist: nothing can be written, the error says why.
    error = 0;
    EXPECT_FALSE(Replace(dir.File("missing/scene.qcs"), "x", &error));
    EXPECT_EQ(error, ENOENT);
    // A folder where the file should be: the rename fails and the temporary file goes.
    const std::string folder = dir.File("folder.qcs");
    std::filesystem::create_directory(folder);
    error = 0;
    EXPECT_FALSE(Replace(folder, "x", &error));
    EXPECT_NE(error, 0);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(EntriesIn(dir.Path()), 3u) << "real.qcs, link.qcs, folder.qcs";
}
