// The public shader corpus (tests/qp/shader/corpus): vertex and pixel stages that their own programs
// compile with the platform compiler at Shader Model 4 and 5. Every accepted stage must also be
// built by the GL driver, no entry may crash or hang the compiler (compiles run isolated), every
// refusal must say why, and the share accepted must reach the goal.

#include "support/GpuTestSupport.h"
#include "qp/shader/corpus/ShaderCorpus.h"

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace
{
// Share of the corpus the chain must accept: the goal, 85 %, which the chain reaches since it
// takes effect-file syntax (the whole corpus is accepted; the margin leaves room for new entries).
constexpr double kAcceptanceGoalPercent = 85.0;

const std::string kCorpusFolder = std::string(VC_SOURCE_DIR) + "/tests/qp/shader/corpus";

std::string Describe(const ShaderCorpusEntry& entry)
{
    std::string text = entry.file + " " + entry.entry + " " + entry.profile;
    if (entry.defines != "-")
        text += " [" + entry.defines + "]";
    return text;
}

std::vector<ShaderCorpusEntry> ReadCorpus()
{
    std::vector<ShaderCorpusEntry> entries;
    std::string problem;
    EXPECT_TRUE(ReadShaderCorpusManifest(kCorpusFolder, &entries, &problem)) << problem;
    return entries;
}

// The compiler on the corpus, with a headless device of its own (no swap chain: the stages are
// only built, never drawn with).
class QP_ShaderCompilerCorpusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QP_FactoryOptions options;
        options.headless = true;
        QC_Ptr<QP_Factory> factory;
        ASSERT_EQ(QP_CreateFactory(options, &factory), QP_OK);
        QC_Ptr<QP_Adapter> adapter;
        ASSERT_EQ(factory->EnumAdapters(0, &adapter), QP_OK);
        ASSERT_EQ(QP_CreateDevice(adapter.Get(), QP_DRIVER_TYPE_UNKNOWN, 0, &device, &context), QP_OK);
        PinGraphicsDriver();
        // A crash or a hang of the front end on a corpus file then costs one entry, not the suite.
        QP_SetShaderCompilerIsolation(true);
    }
    void TearDown() override { QP_SetShaderCompilerIsolation(false); }

    bool DeviceBuildsStage(const ShaderCorpusEntry& entry, const QP_Blob* code)
    {
        if (entry.profile.compare(0, 2, "vs") == 0) {
            QC_Ptr<QP_VertexShader> shader;
            return QP_Succeeded(device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), &shader));
        }
        QC_Ptr<QP_PixelShader> shader;
        return QP_Succeeded(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), &shader));
    }

    QC_Ptr<QP_Device> device;
    QC_Ptr<QP_DeviceContext> context;
};
} // namespace

TEST_F(QP_ShaderCompilerCorpusTest, ManifestEntriesNameAShippedFileAStageProfileAndTheirOrigin)
{
    const std::vector<ShaderCorpusEntry> entries = ReadCorpus();
    EXPECT_GE(entries.size(), 50u) << "the corpus should hold at least 50 (file, entry, profile) pairs";
    static const std::set<std::string> profiles = {"vs_4_0", "vs_4_1", "vs_5_0", "ps_4_0", "ps_4_1", "ps_5_0"};
    std::set<std::tuple<std::string, std::string, std::string, std::string>> seen;
    for (const ShaderCorpusEntry& entry : entries) {
        SCOPED_TRACE("corpus.tsv line " + std::to_string(entry.line) + ": " + Describe(entry));
        EXPECT_TRUE(std::filesystem::is_regular_file(kCorpusFolder + "/" + entry.file));
        EXPECT_TRUE(profiles.count(entry.profile)) << "not a vertex or pixel profile of Shader Model 4 or 5";
        // The program's own profile is of the same stage and model (a level_9 variant at most).
        EXPECT_EQ(entry.programProfile.compare(0, 4, entry.profile, 0, 4), 0) << entry.programProfile;
        EXPECT_FALSE(entry.entry.empty());
        EXPECT_FALSE(entry.version.empty());
        EXPECT_FALSE(entry.licence.empty());
        // One folder per package, carrying the package's copyright record.
        EXPECT_EQ(entry.file.substr(0, entry.file.find('/')), entry.package);
        EXPECT_TRUE(std::filesystem::is_regular_file(kCorpusFolder + "/" + entry.package + "/copyright"));
        EXPECT_TRUE(seen.insert({entry.file, entry.entry, entry.profile, entry.defines}).second) << "listed twice";
    }
}

TEST_F(QP_ShaderCompilerCorpusTest, AcceptedStagesBuildOnTheDeviceRefusalsSayWhyAndTheShareReachesTheGoal)
{
    const std::vector<ShaderCorpusEntry> entries = ReadCorpus();
    ASSERT_FALSE(entries.empty());
    std::vector<std::string> reasons;
    int accepted = 0;
    for (const ShaderCorpusEntry& entry : entries) {
        SCOPED_TRACE(Describe(entry));
        const ShaderCorpusResult result = CompileShaderCorpusEntry(kCorpusFolder, entry);
        if (!result.accepted) {
            // The isolation's own reports (a crash, a compile past the time limit, no helper) all
            // start so; a refusal must be the front end's verdict on the text.
            EXPECT_NE(result.firstError.rfind("The shader compiler", 0), 0u) << result.firstError;
            EXPECT_NE(result.firstError, "(no message)") << "a refusal must come with a message";
            reasons.push_back(ShaderCorpusReason(result.firstError));
            continue;
        }
        ++accepted;
        ASSERT_NE(QP_ShaderCodeText(result.code.Get()), nullptr) << "accepted code without GLSL";
        EXPECT_TRUE(DeviceBuildsStage(entry, result.code.Get())) << "the GL driver refused the GLSL:\n"
                                                                << QP_ShaderCodeText(result.code.Get());
    }

    const double percent = 100.0 * accepted / static_cast<double>(entries.size());
    std::printf("shader corpus: %d of %zu entries accepted (%.1f %%, goal %.0f %%)\n", accepted, entries.size(),
                percent, kAcceptanceGoalPercent);
    for (const auto& [reason, count] : RankShaderCorpusReasons(reasons))
        std::printf("  %3d  %s\n", count, reason.c_str());
    EXPECT_GE(percent, kAcceptanceGoalPercent) << "fewer corpus entries accepted than the goal";
}
