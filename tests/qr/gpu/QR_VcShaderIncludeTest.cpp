// vc-shader --glsl on a shader file whose stage code includes files: they are found relative to
// the shader file, wherever the tool is run from; a missing one fails the stage with its name.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace
{
struct ToolRun
{
    int exitCode = -1;
    std::string output;
    std::string log;
};

ToolRun RunVcShader(const std::string& arguments, const TempDir& folder)
{
    ToolRun run;
    const std::string logPath = folder.File("stderr.txt");
    FILE* pipe = popen((std::string(VC_BINARY_DIR) + "/vc-shader " + arguments + " 2>'" + logPath + "'").c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;)
        run.output.append(buffer, count);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream log(logPath, std::ios::binary);
    run.log.assign(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
    return run;
}

std::string PixelShader(const std::string& includeLine)
{
    return "\xEF\xBB\xBFpixel\n{\n  " + includeLine +
           "\n  void main(in QR_Position inPosition, out QR_Target outColour)\n"
           "  {\n    outColour = Tint();\n  }\n}\n";
}
} // namespace

TEST(QR_VcShaderIncludeTest, IncludesResolveRelativeToTheShaderFile)
{
    ASSERT_EQ(access((std::string(VC_BINARY_DIR) + "/vc-shader").c_str(), X_OK), 0) << "build the vc-shader target";
    TempDir folder;
    std::filesystem::create_directories(folder.Path() / "shaders/lib");
    folder.Write("shaders/lib/tint.hlsl", "#include \"value.hlsl\"\nfloat4 Tint() { return float4(TINT_VALUE, 0, 0, 1); }\n");
    folder.Write("shaders/lib/value.hlsl", "#define TINT_VALUE 0.625\n");
    const std::string shader = folder.Write("shaders/pass.qcs", PixelShader("#include \"lib/tint.hlsl\""));

    const ToolRun run = RunVcShader("--glsl --stage pixel '" + shader + "'", folder);
    EXPECT_EQ(run.exitCode, 0) << run.log;
    EXPECT_NE(run.output.find("0.625"), std::string::npos) << "nested include's value in the GLSL: " << run.output;

    const std::string broken = folder.Write("shaders/broken.qcs", PixelShader("#include \"lib/absent.hlsl\""));
    const ToolRun failed = RunVcShader("--glsl --stage pixel '" + broken + "'", folder);
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.output.empty());
    EXPECT_NE(failed.log.find("cannot open include file 'lib/absent.hlsl'"), std::string::npos) << failed.log;
}
