// A shader asset whose stage code includes files: they are found relative to the shader's file,
// and a change to any of them (or the appearance of one that was missing) reloads the shader
// under the same settle rules as a change to the shader's own file.

#include "support/AssetsTestSupport.h"
#include "support/GpuTestSupport.h"

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
    EXPECT_TRUE(AnyMentions(log.Messages(QC_LOG_ERROR), "lib/tint.hlsl:4:"))
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
