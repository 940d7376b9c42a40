// The build installed into a temporary prefix, and the release archive unpacked, run from a
// working folder that has nothing of the demo's: --version, a few offline frames, the quiet
// standard error and --verbose, a changed copy of the assets named with --assets, and a program
// without its data saying where it looked. And the Debian package, with what Debian asks of one.

#include "support/CommandOutput.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <lodepng.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace
{
std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a shell command line in folder, its two outputs kept apart. Programs built with the
// sanitisers get the driver's leak suppressions, as every program the tests start.
CommandRun RunIn(const std::string& folder, const std::string& command)
{
    return RunCommandKeepingErrors("cd '" + folder +
                                   "' && LSAN_OPTIONS=print_suppressions=0:suppressions=" VC_SOURCE_DIR
                                   "/tests/support/lsan-driver.supp " +
                                   command);
}

bool IsExecutable(const std::filesystem::path& file)
{
    std::error_code error;
    const auto permissions = std::filesystem::status(file, error).permissions();
    return !error && std::filesystem::is_regular_file(file, error) &&
           (permissions & std::filesystem::perms::owner_exec) != std::filesystem::perms::none;
}

// The centre pixel of a frame the offline renderer wrote.
std::vector<unsigned char> CentrePixel(const std::string& png)
{
    std::vector<unsigned char> pixels;
    unsigned width = 0;
    unsigned height = 0;
    if (lodepng::decode(pixels, width, height, png, LCT_RGB, 8) != 0 || width == 0 || height == 0)
        return {};
    const std::size_t at = (static_cast<std::size_t>(height / 2) * width + width / 2) * 3;
    return {pixels[at], pixels[at + 1], pixels[at + 2]};
}

bool HasLevel(const std::string& errors, const char* tag)
{
    return errors.find(tag) != std::string::npos;
}

// Runs cpack with one of its generators, the package made in folder.
CommandRun MakePackage(const char* generator, const TempDir& folder)
{
    return RunIn(folder.Path().string(), std::string("'" VC_CPACK "' -G ") + generator +
                                             " --config '" VC_BINARY_DIR "/CPackConfig.cmake' -B '" +
                                             folder.Path().string() + "'");
}

// A prefix with the program in bin/: --version and two frames rendered from elsewhere, with the
// quiet standard error; then --verbose.
void ExpectTheInstalledDemoRuns(const std::filesystem::path& prefix)
{
    TempDir elsewhere;
    const std::string demo = "'" + (prefix / "bin/velvet-cascade").string() + "'";
    const CommandRun version = RunIn(elsewhere.Path().string(), demo + " --version");
    EXPECT_EQ(version.exitCode, 0) << version.errors;
    EXPECT_EQ(version.output, "velvet-cascade " VC_VERSION "\n");

    const std::string frames = " --size 64x36 --fps 2 --from 0 --to 2";
    const CommandRun render = RunIn(elsewhere.Path().string(), demo + " --render out" + frames);
    ASSERT_EQ(render.exitCode, 0) << render.errors;
    EXPECT_TRUE(std::filesystem::exists(elsewhere.File("out/frame_000000.png")));
    EXPECT_TRUE(std::filesystem::exists(elsewhere.File("out/frame_000001.png")));
    EXPECT_FALSE(std::filesystem::exists(elsewhere.File("out/frame_000002.png")));
    EXPECT_NE(render.errors.find("2 frames"), std::string::npos) << "the summary is always shown: " << render.errors;
    EXPECT_FALSE(HasLevel(render.errors, "[INFO ]") || HasLevel(render.errors, "[DEBUG]"))
        << "quiet by default: " << render.errors;

    const CommandRun verbose = RunIn(elsewhere.Path().string(), demo + " --render verbose --verbose --fps 2 --to 1 --size 64x36");
    ASSERT_EQ(verbose.exitCode, 0) << verbose.errors;
    EXPECT_TRUE(HasLevel(verbose.errors, "[INFO ]")) << verbose.errors;
    EXPECT_TRUE(HasLevel(verbose.errors, "[DEBUG] Shut-down: destroying the log.")) << verbose.errors;
    const CommandRun environment = RunIn(elsewhere.Path().string(), "VC_LOG=info " + demo + " --render info --fps 2 --to 1 --size 64x36");
    ASSERT_EQ(environment.exitCode, 0) << environment.errors;
    EXPECT_TRUE(HasLevel(environment.errors, "[INFO ]")) << environment.errors;
    EXPECT_FALSE(HasLevel(environment.errors, "[DEBUG]")) << environment.errors;

    // A video: the program finds its codec module in the installed tree.
    const CommandRun video = RunIn(elsewhere.Path().string(), demo + " --render out.mkv --fps 2 --to 1 --size 64x36");
    ASSERT_EQ(video.exitCode, 0) << video.errors;
    EXPECT_GT(std::filesystem::file_size(elsewhere.File("out.mkv")), 0u);
}
} // namespace

TEST(LM1_InstallTest, TheInstalledTreeRunsFromAnyFolderAndTakesTheAssetsItIsGiven)
{
    TempDir prefix;
    const CommandRun install = RunIn(prefix.Path().string(), "'" VC_CMAKE "' --install '" VC_BINARY_DIR "' --prefix '" +
                                                          prefix.Path().string() + "'");
    ASSERT_EQ(install.exitCode, 0) << install.output << install.errors;

    const std::filesystem::path root = prefix.Path();
    for (const char* program : {"bin/velvet-cascade", "bin/vc-shader", "bin/vc-seq", "bin/vc-synth", "bin/vc-artwork",
                                "bin/vc-demo-art", "bin/vc-scene-art-a", "bin/vc-scene-art-b", "bin/vc-scene-art-p",
                                "libexec/velvet-cascade/vc-shader-helper"})
        EXPECT_TRUE(IsExecutable(root / program)) << program;
    EXPECT_TRUE(std::filesystem::is_regular_file(root / "libexec/velvet-cascade/velvet-cascade-video.so"));
    for (const char* file : {"share/velvet-cascade/assets/scene.qcs", "share/velvet-cascade/assets/music.ogg",
                             "share/doc/velvet-cascade/README.md", "share/doc/velvet-cascade/shading-language.md",
                             "share/man/man6/velvet-cascade.6.gz", "share/applications/velvet-cascade.desktop",
                             "share/icons/hicolor/64x64/apps/velvet-cascade.png"})
        EXPECT_TRUE(std::filesystem::is_regular_file(root / file)) << file;
    EXPECT_FALSE(std::filesystem::exists(root / "bin/vc-shader-helper")) << "the helper is no command";
    // Every installed tool answers --help with its usage, and an art tool takes no option for the
    // folder it writes into.
    for (const char* tool : {"vc-shader", "vc-seq", "vc-synth", "vc-artwork", "vc-demo-art", "vc-scene-art-a",
                             "vc-scene-art-b", "vc-scene-art-p"}) {
        const CommandRun help = RunIn(prefix.Path().string(), "bin/" + std::string(tool) + " --help");
        EXPECT_EQ(help.exitCode, 0) << tool << ": " << help.errors;
        EXPECT_EQ(help.output.rfind("usage: " + std::string(tool), 0), 0u) << tool << ": " << help.output;
    }
    const CommandRun wrong = RunIn(prefix.Path().string(), "bin/vc-scene-art-a --out");
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(prefix.File("--out")));
    EXPECT_EQ(ReadAll((root / "share/velvet-cascade/assets/post.qcs").string()), ReadAll(VC_SOURCE_DIR "/assets/post.qcs"));
    if (std::system("command -v desktop-file-validate >/dev/null") == 0) {
        const CommandRun valid = RunIn(prefix.Path().string(), "desktop-file-validate share/applications/velvet-cascade.desktop");
        EXPECT_EQ(valid.exitCode, 0) << valid.output << valid.errors;
        EXPECT_EQ(valid.output + valid.errors, "") << "not even a hint";
    }

    ExpectTheInstalledDemoRuns(root);

    // A changed copy named with --assets is the one used: its composition paints every pixel
    // magenta. The installed copy is left alone.
    TempDir elsewhere;
    const std::string demo = "'" + (root / "bin/velvet-cascade").string() + "'";
    std::filesystem::copy(root / "share/velvet-cascade/assets", elsewhere.File("mine"),
                          std::filesystem::copy_options::recursive);
    std::string post = ReadAll(elsewhere.File("mine/post.qcs"));
    const std::string output = "outColour = float4(saturate(mixed), 1.0);";
    ASSERT_NE(post.find(output), std::string::npos);
    post.replace(post.find(output), output.size(), "outColour = float4(1.0, 0.0, 1.0, 1.0);");
    elsewhere.Write("mine/post.qcs", post);
    const std::string oneFrame = " --size 64x36 --fps 2 --from 8 --to 9";
    const CommandRun mine = RunIn(elsewhere.Path().string(), demo + " --render magenta --assets mine" + oneFrame);
    ASSERT_EQ(mine.exitCode, 0) << mine.errors;
    const CommandRun usual = RunIn(elsewhere.Path().string(), demo + " --render usual" + oneFrame);
    ASSERT_EQ(usual.exitCode, 0) << usual.errors;
    const std::vector<unsigned char> magenta = {255, 0, 255};
    EXPECT_EQ(CentrePixel(elsewhere.File("magenta/frame_000000.png")), magenta);
    const std::vector<unsigned char> usualPixel = CentrePixel(elsewhere.File("usual/frame_000000.png"));
    EXPECT_EQ(usualPixel.size(), 3u);
    EXPECT_NE(usualPixel, magenta);

    // The program without its data beside it: one line naming where it looked, exit code 1, and
    // nothing written. The working folder's assets/ is not taken either.
    std::filesystem::create_directories(elsewhere.File("alone/bin"));
    std::filesystem::copy_file(root / "bin/velvet-cascade", elsewhere.File("alone/bin/velvet-cascade"));
    std::filesystem::copy(elsewhere.File("mine"), elsewhere.File("assets"), std::filesystem::copy_options::recursive);
    const CommandRun alone = RunIn(elsewhere.Path().string(), "alone/bin/velvet-cascade --render lost" + oneFrame);
    EXPECT_EQ(alone.exitCode, 1) << alone.errors;
    EXPECT_NE(alone.errors.find("looked in " + elsewhere.File("alone/share/velvet-cascade/assets/") + "."),
              std::string::npos)
        << alone.errors;
    EXPECT_EQ(std::count(alone.errors.begin(), alone.errors.end(), '\n'), 1) << alone.errors;
    EXPECT_FALSE(std::filesystem::exists(elsewhere.File("lost")));
    const CommandRun named = RunIn(elsewhere.Path().string(), demo + " --render lost --assets nowhere" + oneFrame);
    EXPECT_EQ(named.exitCode, 1) << named.errors;
    EXPECT_NE(named.errors.find("looked in nowhere/."), std::string::npos) << named.errors;
}

TEST(LM1_InstallTest, TheReleaseArchiveUnpacksIntoOneFolderThatRunsWhereItLies)
{
    TempDir packages;
    const CommandRun pack = MakePackage("TGZ", packages);
    ASSERT_EQ(pack.exitCode, 0) << pack.output << pack.errors;
    const std::string name = "velvet-cascade-" VC_VERSION "-linux-x86_64";
    ASSERT_TRUE(std::filesystem::is_regular_file(packages.File(name + ".tar.gz"))) << pack.output;

    TempDir unpacked;
    const CommandRun untar = RunIn(unpacked.Path().string(), "tar xzf '" + packages.File(name + ".tar.gz") + "'");
    ASSERT_EQ(untar.exitCode, 0) << untar.errors;
    std::vector<std::string> top;
    for (const auto& entry : std::filesystem::directory_iterator(unpacked.Path()))
        top.push_back(entry.path().filename().string());
    EXPECT_EQ(top, std::vector<std::string>{name}) << "one folder of the archive's name";
    EXPECT_TRUE(IsExecutable(unpacked.Path() / name / "libexec/velvet-cascade/vc-shader-helper"));

    ExpectTheInstalledDemoRuns(unpacked.Path() / name);
}

// The Debian package: the programs under /usr with the notices and history Debian asks for beside
// the manual, library dependencies computed from the programs, and no error from lintian.
TEST(LM1_InstallTest, TheDebianPackageCarriesItsNoticesAndPassesLintian)
{
    TempDir packages;
    const CommandRun pack = MakePackage("DEB", packages);
    ASSERT_EQ(pack.exitCode, 0) << pack.output << pack.errors;
    const std::string deb = packages.File("velvet-cascade_" VC_VERSION "_amd64.deb");
    ASSERT_TRUE(std::filesystem::is_regular_file(deb)) << pack.output;

    const CommandRun contents = RunIn(packages.Path().string(), "dpkg-deb -c '" + deb + "'");
    ASSERT_EQ(contents.exitCode, 0) << contents.errors;
    for (const char* file : {"./usr/bin/velvet-cascade", "./usr/libexec/velvet-cascade/vc-shader-helper",
                             "./usr/libexec/velvet-cascade/velvet-cascade-video.so",
                             "./usr/share/velvet-cascade/assets/music.ogg", "./usr/share/doc/velvet-cascade/copyright",
                             "./usr/share/doc/velvet-cascade/changelog.gz", "./usr/share/man/man6/velvet-cascade.6.gz",
                             "./usr/share/man/man1/vc-shader.1.gz", "./usr/share/man/man1/vc-seq.1.gz",
                             "./usr/share/man/man1/vc-synth.1.gz", "./usr/share/man/man1/vc-scene-art-a.1.gz -> vc-artwork.1.gz"})
        EXPECT_NE(contents.output.find(std::string(file) + "\n"), std::string::npos) << file;

    const CommandRun depends = RunIn(packages.Path().string(), "dpkg-deb -f '" + deb + "' Depends Maintainer");
    EXPECT_NE(depends.output.find("libc6 (>="), std::string::npos) << "computed dependencies: " << depends.output;
    EXPECT_EQ(depends.output.find("localhost"), std::string::npos) << depends.output;

    // The changelog names the version that the package is.
    const CommandRun changelog = RunIn(packages.Path().string(), "dpkg-deb --fsys-tarfile '" + deb +
                                           "' | tar xO ./usr/share/doc/velvet-cascade/changelog.gz | gzip -dc | head -n 1");
    EXPECT_EQ(changelog.output.rfind("velvet-cascade (" VC_VERSION ") ", 0), 0u) << changelog.output;

    const CommandRun lint = RunIn(packages.Path().string(), "lintian --tag-display-limit 0 '" + deb + "'");
    std::string errors;
    std::istringstream lines(lint.output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("E: ", 0) == 0)
            errors += line + "\n";
    EXPECT_EQ(errors, "") << lint.output << lint.errors;
    EXPECT_NE(lint.exitCode, 127) << "lintian is one of the packages the scripts install";
}
