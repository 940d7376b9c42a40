// A shader asset whose stage code includes files: they are found relative to the shader's file,
// and a change to any of them (or the appearance of one that was missing) reloads the shader
// under the same settle rules as a change to the shader's own file. A fault is reported at its
// place in the shader's file or the included one, in the log and in the asset's load error.

#include "support/AssetsTestSupport.h"
#include "support/GpuTestSupport.h"

#include "QD_AssetErrorLog.h"
#include "QR_Renderer.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace
{
// Both stages; the pixel stage's colour comes from Tint() of the included file.
std::string IncludingShader(const std::string& includeLine)
{
    return R"(vertex
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,
            out QR_Position outPosition, out QR_TexCoord0 outTexCoord, out QR_Colour outColour)
  {
    outPosition = inPosition;
    outTexCoord = inTexCoord;
    outColour = inColour;
  }
}
pixel
{
  )" + includeLine + R"(
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour, out QR_Target outColour)
  {
    outColour = Tint();
  }
}
)";
}

std::string TintFile(const std::string& body)
{
    return "// the tint of the pass\nfloat4 Tint()\n{\n    " + body + "\n}\n";
}

bool AnyMentions(const std::vector<std::string>& lines, const std::string& what)
{
    for (const std::string& line : lines)
        if (line.find(what) != std::string::npos)
            return true;
    return false;
}

class QD_ShaderIncludeReloadTest : public QD_AssetsTest
{
protected:
    void SetUp() override
    {
        QD_AssetsTest::SetUp();
        QR_RendererSettings settings;
        settings.backend = QR_Backend::DX10;
        settings.headless = true;
        QR_CreateRenderer(settings);
        PinGraphicsDriver();
        ASSERT_NE(QR_GetRenderer(), nullptr);
    }

    void TearDown() override
    {
        QD_AssetsTest::TearDown(); // assets (and their GPU objects) before the renderer
        QR_DestroyRenderer();
    }
};
} // namespace

TEST_F(QD_ShaderIncludeReloadTest, IncludedFileChangeReloadsTheShaderAndAFaultKeepsThePreviousProgram)
{
    std::filesystem::create_directories(dir.Path() / "shaders/lib");
    const std::string tint = Write("shaders/lib/tint.hlsl", TintFile("return float4(1, 0, 0, 1);"));
    Write("shaders/pass.qcs", IncludingShader("#include \"lib/tint.hlsl\""));
    Write("shaders/other.hlsl", "// not included\n");
    CreateAssets(true);
    QC_Ptr<QD_ShaderAsset> pass = QD_GetAssets()->LoadShader("shaders/pass.qcs");
    ASSERT_TRUE(PumpUntil([&] { return Idle(*pass); }));
    ASSERT_TRUE(pass->IsLoaded()) << (log.Messages(QC_LOG_ERROR).empty() ? "" : log.Messages(QC_LOG_ERROR)[0]);
    EXPECT_EQ(pass->GetDependencies(), std::vector<std::string>{tint}) << "found relative to the shader's file";
    const QC_Ptr<QR_ShaderState> red = pass->GetCurrent();

    // A file the shader does not include changes: looked at, not reloaded.
    SaveInPlace(dir.File("shaders/other.hlsl"), "// still not included\n");
    RunFramesFor(300ms);
    EXPECT_EQ(pass->GetCurrent(), red);
    EXPECT_EQ(pass->GetReloadsDone(), 0u);

    // The included file changes: the shader is compiled again from the new text.
    SaveInPlace(tint, TintFile("return float4(0, 1, 0, 1);"));
    ASSERT_TRUE(PumpUntil([&] { return pass->GetCurrent() != red && Idle(*pass); }));
    EXPECT_EQ(pass->GetReloadsDone(), 1u);
    const QC_Ptr<QR_ShaderState> green = pass->GetCurrent();

    // A fault in the included file: the previous program stays, the message names that file
    // and its line.
    log.Clear();
    SaveInPlace(tint, TintFile("return float4(0, 0, 1, 1) +;"));
    ASSERT_TRUE(PumpUntil([&] { return pass->HasLoadError() && Idle(*pass); }));
    EXPECT_EQ(pass->GetCurrent(), green);
    EXPECT_TRUE(AnyMentions(log.Messages(QC_LOG_ERROR), "shaders/lib/tint.hlsl(4): error: "))
        << (log.Messages(QC_LOG_ERROR).empty() ? "no error" : log.Messages(QC_LOG_ERROR)[0]);

    // Fixed again: reloaded, though the shader's own file never changed.
    SaveInPlace(tint, TintFile("return float4(0, 0, 1, 1);"));
    ASSERT_TRUE(PumpUntil([&] { return pass->GetCurrent() != green && Idle(*pass); }));
    EXPECT_FALSE(pass->HasLoadError());
}

TEST_F(QD_ShaderIncludeReloadTest, MissingIncludedFileFailsAtItsLineAndReloadsWhenItAppears)
{
    std::filesystem::create_directories(dir.Path() / "shaders");
    Write("shaders/pass.qcs", IncludingShader("#include \"common.hlsl\""));
    CreateAssets(true);
    QC_Ptr<QD_ShaderAsset> pass = QD_GetAssets()->LoadShader("shaders/pass.qcs");
    ASSERT_TRUE(PumpUntil([&] { return Idle(*pass); }));
    EXPECT_FALSE(pass->IsLoaded());
    EXPECT_TRUE(AnyMentions(log.Messages(QC_LOG_ERROR), "cannot open include file 'common.hlsl'"))
        << (log.Messages(QC_LOG_ERROR).empty() ? "no error" : log.Messages(QC_LOG_ERROR)[0]);
    EXPECT_EQ(pass->GetDependencies(), std::vector<std::string>{dir.File("shaders/common.hlsl")});

    // Saved in steps by an editor (an empty file first): read once it has settled.
    SaveInPlace(dir.File("shaders/common.hlsl"), "");
    SaveInPlace(dir.File("shaders/common.hlsl"), TintFile("return float4(1, 1, 0, 1);"));
    ASSERT_TRUE(PumpUntil([&] { return pass->IsLoaded() && Idle(*pass); }));
    EXPECT_FALSE(pass->HasLoadError());
}

// The line of IncludingShader that holds includeLine, in the pixel block.
constexpr int kIncludeLine = 13;

TEST_F(QD_ShaderIncludeReloadTest, AFaultIsReportedAtItsFileAndLineInTheLogAndTheLoadError)
{
    QC_GetLog()->AddBackend(new QD_AssetErrorLog);
    std::filesystem::create_directories(dir.Path() / "shaders/lib");
    Write("shaders/lib/tint.hlsl", TintFile("retrun float4(1, 0, 0, 1);"));
    std::string topLevel = IncludingShader("");
    topLevel.replace(topLevel.find("pixel\n"), 6, "pixl\n");
    struct Case
    {
        const char* what;
        std::string text;
        std::string file;  // the file named, in the shader's folder
        std::string place; // what follows its name
    };
    const Case cases[] = {
        {"stage code", IncludingShader("float4 Tint() { retrun 1; }"), "case0.qcs",
         "(" + std::to_string(kIncludeLine) + "): error: 'retrun' : unknown variable"},
        {"an included file", IncludingShader("#include \"lib/tint.hlsl\""), "lib/tint.hlsl",
         "(4): error: 'retrun' : unknown variable"},
        {"the top level", topLevel, "case2.qcs", "(11,1): error: Expected vertex, pixel, samplers or constants block."},
        {"a constant block", "constants\n{\n  look\n  {\n    flaot4 tint;\n  }\n}\n" + IncludingShader(""), "case3.qcs",
         "(5,5): error: Unknown type flaot4 in constants block look."},
    };
    CreateAssets(true);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& test = cases[i];
        log.Clear();
        const std::string name = "shaders/case" + std::to_string(i) + ".qcs";
        Write(name, test.text);
        QC_Ptr<QD_ShaderAsset> shader = QD_GetAssets()->LoadShader(name.c_str());
        ASSERT_TRUE(PumpUntil([&] { return Idle(*shader); })) << test.what;
        EXPECT_FALSE(shader->IsLoaded()) << test.what;
        const std::string path = shader->GetPath().CStr();
        const std::string expected = path.substr(0, path.rfind('/') + 1) + test.file + test.place;
        EXPECT_TRUE(AnyMentions(log.Messages(QC_LOG_ERROR), expected))
            << test.what << ": " << expected << "\n" << shader->GetLoadError().CStr();
        EXPECT_NE(std::string(shader->GetLoadError().CStr()).find(expected), std::string::npos)
            << test.what << ": " << shader->GetLoadError().CStr();
    }
}
