// The disk cache of shader translations: a hit is indistinguishable from a fresh compile, a bad
// entry never reaches a caller, and a cache that cannot work never stops a compile.

#include "QP_FileInclude.h"
#include "QP_ShaderCache.h"
#include "QP_ShaderCompiler.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
// Warns (implicit truncation), so the warnings text travels through the cache too.
const std::string kPixelStage = R"(float4 QR_Main(float4 p : SV_Position, float2 uv : TEXCOORD0) : SV_Target
{
    float4 v = float4(uv, 0.25, 1);
    float2 narrowed = v;
    return float4(narrowed, 0.5, 1) * 0.75;
}
)";

std::string Bytes(const QP_Blob* blob)
{
    return blob ? std::string(static_cast<const char*>(blob->GetBufferPointer()), blob->GetBufferSize()) : "";
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Compiled
{
    QP_Result result = QP_E_FAIL;
    std::string code;
    std::string messages;
};

Compiled Compile(const std::string& text, const char* name = "cached.hlsl", QP_Include* include = nullptr)
{
    QC_Ptr<QP_Blob> code, errors;
    Compiled compiled;
    compiled.result = QP_Compile(text.data(), text.size(), name, include, "QR_Main", "ps_4_0", &code, &errors);
    compiled.code = Bytes(code.Get());
    compiled.messages = QP_BlobText(errors.Get());
    return compiled;
}

void ExpectSame(const Compiled& fresh, const Compiled& other, const std::string& what)
{
    EXPECT_EQ(other.result, fresh.result) << what;
    EXPECT_EQ(other.code, fresh.code) << what;
    EXPECT_EQ(other.messages, fresh.messages) << what;
}

class QP_ShaderCacheTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("VC_SHADER_CACHE", "off", 1);
        fresh = Compile(kPixelStage);
        ASSERT_EQ(fresh.result, QP_OK) << fresh.messages;
        ASSERT_NE(fresh.messages.find("implicit truncation"), std::string::npos) << fresh.messages;
        setenv("VC_SHADER_CACHE", folder.Path().c_str(), 1);
    }
    void TearDown() override
    {
        QP_SetShaderCompilerIsolation(false);
        QP_SetShaderCacheLimit(32ull << 20);
        unsetenv("VC_SHADER_HELPER");
        // The rest of the suite compiles without a cache, as the harness set it.
        setenv("VC_SHADER_CACHE", "off", 1);
    }

    // The one entry file the folder holds after kPixelStage was compiled.
    std::string EntryPath()
    {
        QP_ShaderCacheKeyOf(kPixelStage.data(), kPixelStage.size(), "cached.hlsl", nullptr, "QR_Main", "ps_4_0", key);
        return QP_ShaderCacheEntryPath(folder.Path().string(), key);
    }

    TempDir folder;
    Compiled fresh;
    std::string key;
};
} // namespace

TEST_F(QP_ShaderCacheTest, HitGivesTheSameCodeAndWarningsAsTheTranslation)
{
    const QP_ShaderCacheCounts before = QP_GetShaderCacheCounts();
    ExpectSame(fresh, Compile(kPixelStage), "miss");
    ExpectSame(fresh, Compile(kPixelStage), "hit");
    const QP_ShaderCacheCounts after = QP_GetShaderCacheCounts();
    EXPECT_EQ(after.stored - before.stored, 1u);
    EXPECT_EQ(after.hits - before.hits, 1u);
    EXPECT_TRUE(std::filesystem::exists(EntryPath()));
    // Another source name appears in the messages: it is another entry, with its own name.
    const Compiled renamed = Compile(kPixelStage, "other.hlsl");
    EXPECT_NE(renamed.messages.find("other.hlsl"), std::string::npos) << renamed.messages;
    EXPECT_EQ(QP_GetShaderCacheCounts().hits, after.hits);
}

TEST_F(QP_ShaderCacheTest, AnIncludedFileThatChangedIsTranslatedAgain)
{
    folder.Write("colour.hlsl", "#define SHADE 0.25\n");
    const std::string text = "#include \"colour.hlsl\"\nfloat4 QR_Main() : SV_Target { return SHADE; }\n";
    QP_FileInclude include(folder.Path().c_str());
    const Compiled first = Compile(text, "main.hlsl", &include);
    ASSERT_EQ(first.result, QP_OK) << first.messages;
    folder.Write("colour.hlsl", "#define SHADE 0.75\n");
    const Compiled second = Compile(text, "main.hlsl", &include);
    EXPECT_NE(second.code, first.code);
    setenv("VC_SHADER_CACHE", "off", 1);
    ExpectSame(Compile(text, "main.hlsl", &include), second, "after the include changed");
}

TEST_F(QP_ShaderCacheTest, BadEntriesAreIgnoredAndRebuilt)
{
    Compile(kPixelStage);
    const std::string path = EntryPath();
    const std::string good = ReadFile(path);
    ASSERT_FALSE(good.empty());
    const std::string& version = QP_ShaderCompilerVersion();
    const std::size_t versionAt = good.find(version);
    const std::size_t textAt = good.find("narrowed, 0.5");
    ASSERT_NE(versionAt, std::string::npos);
    ASSERT_NE(textAt, std::string::npos);
    struct Damage
    {
        const char* what;
        std::string bytes;
    } damages[] = {
        {"empty", ""},
        {"truncated", good.substr(0, good.size() - 7)},
        {"header only", good.substr(0, 40)},
        {"a payload byte flipped", good.substr(0, good.size() - 20) + char(good[good.size() - 20] ^ 1) +
                                       good.substr(good.size() - 19)},
        {"another compiler version", std::string(good).replace(versionAt, 1, "x")},
        {"another source under the same hash", std::string(good).replace(textAt, 1, "m")},
        {"another file's bytes", std::string(good.size(), 'Z')},
    };
    for (const Damage& damage : damages) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << damage.bytes;
        const std::uint64_t rejected = QP_GetShaderCacheCounts().rejected;
        ExpectSame(fresh, Compile(kPixelStage), damage.what);
        EXPECT_EQ(QP_GetShaderCacheCounts().rejected, rejected + 1) << damage.what;
        EXPECT_EQ(ReadFile(path), good) << damage.what << ": the entry was not rebuilt";
    }
}

TEST_F(QP_ShaderCacheTest, FolderThatCannotBeWrittenStillCompiles)
{
    // A regular file where the folder should be: no folder can be made under it.
    const std::string blocked = folder.Write("blocked", "not a folder");
    setenv("VC_SHADER_CACHE", (blocked + "/shaders").c_str(), 1);
    const std::uint64_t stored = QP_GetShaderCacheCounts().stored;
    ExpectSame(fresh, Compile(kPixelStage), "first");
    ExpectSame(fresh, Compile(kPixelStage), "second");
    EXPECT_EQ(QP_GetShaderCacheCounts().stored, stored);
}

TEST_F(QP_ShaderCacheTest, FailuresAreNotKept)
{
    const Compiled failed = Compile("float4 QR_Main() : SV_Target { return undefinedName; }\n");
    EXPECT_EQ(failed.result, QP_E_FAIL);
    EXPECT_NE(failed.messages.find("undefinedName"), std::string::npos) << failed.messages;
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST_F(QP_ShaderCacheTest, FolderNamedByTheEnvironment)
{
    setenv("VC_SHADER_CACHE", "off", 1);
    EXPECT_EQ(QP_ShaderCacheFolder(), "");
    unsetenv("VC_SHADER_CACHE");
    setenv("XDG_CACHE_HOME", "/somewhere/cache", 1);
    EXPECT_EQ(QP_ShaderCacheFolder(), "/somewhere/cache/velvet-cascade/shaders");
    // A relative base is no base: the home folder's .cache stands in.
    setenv("XDG_CACHE_HOME", "relative/cache", 1);
    EXPECT_EQ(QP_ShaderCacheFolder(), std::string(std::getenv("HOME")) + "/.cache/velvet-cascade/shaders");
    unsetenv("XDG_CACHE_HOME");
}

TEST_F(QP_ShaderCacheTest, OldestEntriesGoPastTheLimitAndOtherFilesStay)
{
    const std::string other = folder.Write("notes.txt", std::string(100000, 'n'));
    Compile(kPixelStage);
    const std::string oldest = EntryPath();
    const std::uint64_t entrySize = std::filesystem::file_size(oldest);
    std::filesystem::last_write_time(oldest, std::filesystem::last_write_time(oldest) - std::chrono::hours(1));
    QP_SetShaderCacheLimit(entrySize * 3 / 2);
    ASSERT_EQ(Compile(kPixelStage, "second.hlsl").result, QP_OK);
    EXPECT_FALSE(std::filesystem::exists(oldest));
    EXPECT_TRUE(std::filesystem::exists(other));
    ExpectSame(fresh, Compile(kPixelStage), "after the trim");
}

TEST_F(QP_ShaderCacheTest, IsolatedHitStartsNoHelperAndIsolatedMissIsKept)
{
    // A helper that only says it was started: any compile that reaches it fails.
    const std::string started = folder.File("helper-started");
    const std::string helper = folder.Write("helper.sh", "#!/bin/sh\necho started >> '" + started + "'\nexit 3\n");
    std::filesystem::permissions(helper, std::filesystem::perms::owner_all);
    setenv("VC_SHADER_HELPER", helper.c_str(), 1);
    Compile(kPixelStage);
    QP_SetShaderCompilerIsolation(true);
    ExpectSame(fresh, Compile(kPixelStage), "isolated hit");
    EXPECT_FALSE(std::filesystem::exists(started));
    const Compiled miss = Compile(kPixelStage, "uncached.hlsl");
    EXPECT_EQ(miss.result, QP_E_FAIL);
    EXPECT_TRUE(std::filesystem::exists(started));
    // Without a helper program the compile runs in a fork; its success is kept by the caller.
    setenv("VC_SHADER_HELPER", folder.File("no-such-helper").c_str(), 1);
    const Compiled forked = Compile(kPixelStage, "uncached.hlsl");
    ASSERT_EQ(forked.result, QP_OK) << forked.messages;
    QP_SetShaderCompilerIsolation(false);
    const std::uint64_t hits = QP_GetShaderCacheCounts().hits;
    ExpectSame(forked, Compile(kPixelStage, "uncached.hlsl"), "stored by the isolated caller");
    EXPECT_EQ(QP_GetShaderCacheCounts().hits, hits + 1);
}

TEST_F(QP_ShaderCacheTest, KeptCrashersLeaveTheIsolatedCallerStandingAndAreNotKept)
{
    // With the cache on, the caller preprocesses each text for its key: the front end's crash
    // classes must still reach only the helper.
    QP_SetShaderCompilerIsolation(true);
    int crashers = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(VC_SOURCE_DIR) + "/tests/fuzz/crashers")) {
        if (entry.path().filename().string().rfind("shader_compile-", 0) != 0)
            continue;
        ++crashers;
        const std::string bytes = ReadFile(entry.path().string());
        ASSERT_FALSE(bytes.empty());
        QC_Ptr<QP_Blob> code, errors;
        EXPECT_EQ(QP_Compile(bytes.data() + 1, bytes.size() - 1, nullptr, "QR_Main", (bytes[0] & 1) ? "ps_4_0" : "vs_4_0",
                             &code, &errors),
                  QP_E_FAIL)
            << entry.path();
    }
    EXPECT_GE(crashers, 13);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST_F(QP_ShaderCacheTest, ATextThatIncludesNothingIsKeyedAsItStandsAndOneThatDoesAfterThePreprocessor)
{
    folder.Write("shade.hlsl", "#define SHADE 0.75\n");
    QP_FileInclude include(folder.Path().c_str());
    const std::string tail = kPixelStage.substr(0, kPixelStage.rfind("0.75")) + "SHADE;\n}\n";
    const std::string plain = "// kept in the key\n" + kPixelStage;
    const std::string directives = "#line 7\n#define SHADE 0.75\n// kept in the key\n" + tail;
    const std::string including = "#include \"shade.hlsl\"\n// dropped from the key\n" + tail;
    for (const std::string* text : {&plain, &directives, &including}) {
        setenv("VC_SHADER_CACHE", "off", 1);
        const Compiled translated = Compile(*text, "cached.hlsl", &include);
        ASSERT_EQ(translated.result, QP_OK) << translated.messages;
        setenv("VC_SHADER_CACHE", folder.Path().c_str(), 1);
        const QP_ShaderCacheCounts before = QP_GetShaderCacheCounts();
        ExpectSame(translated, Compile(*text, "cached.hlsl", &include), "miss");
        ExpectSame(translated, Compile(*text, "cached.hlsl", &include), "hit");
        EXPECT_EQ(QP_GetShaderCacheCounts().hits - before.hits, 1u);
        ASSERT_TRUE(QP_ShaderCacheKeyOf(text->data(), text->size(), "cached.hlsl", &include, "QR_Main", "ps_4_0", key));
        EXPECT_TRUE(std::filesystem::exists(QP_ShaderCacheEntryPath(folder.Path().string(), key)));
        EXPECT_EQ(key.find("// kept in the key") != std::string::npos, text != &including);
    }
    // The included macro is expanded in the key, and a changed file is another key.
    EXPECT_EQ(key.find("dropped from the key"), std::string::npos);
    EXPECT_EQ(key.find("SHADE;"), std::string::npos);
    folder.Write("shade.hlsl", "#define SHADE 0.5\n");
    std::string changed;
    QP_ShaderCacheKeyOf(including.data(), including.size(), "cached.hlsl", &include, "QR_Main", "ps_4_0", changed);
    EXPECT_NE(changed, key);
    // A line splice could spell an include: such a text goes through the preprocessor too.
    const std::string spliced = "#inc\\\nlude \"shade.hlsl\"\n" + tail;
    ASSERT_TRUE(QP_ShaderCacheKeyOf(spliced.data(), spliced.size(), "cached.hlsl", &include, "QR_Main", "ps_4_0", key));
    EXPECT_EQ(key.find("SHADE;"), std::string::npos) << "the spliced include was not expanded";
}
