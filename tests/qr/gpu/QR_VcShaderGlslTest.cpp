// vc-shader --glsl as a process: the stages made through the renderer on the headless device,
// printed as the GLSL the platform produced.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {
struct ToolRun
{
    int exitCode;
    std::string output;
    std::string log;
};

class VcShaderGlslTest : public testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vc-shader-glsl-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        ASSERT_EQ(access((std::string(VC_BINARY_DIR) + "/vc-shader").c_str(), X_OK), 0)
            << "build the vc-shader target";
    }
    void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }

    std::string Write(const std::string& text)
    {
        const std::string path = folder + "/source.qcs";
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    ToolRun Run(const std::string& arguments)
    {
        const std::string command =
            std::string(VC_BINARY_DIR) + "/vc-shader " + arguments + " 2>'" + folder + "/stderr.txt'";
        ToolRun run{-1, "", ""};
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return run;
        char buffer[4096];
        std::size_t count;
        while ((count = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
            run.output.append(buffer, count);
        const int status = pclose(pipe);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream log(folder + "/stderr.txt", std::ios::binary);
        run.log.assign(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
        return run;
    }

    std::string folder;
};

const char source[] = "samplers { QR_Sampler2D image; }\n"
                      "vertex { void main(in QR_Position p, in QR_TexCoord0 uv, out QR_Position q, out QR_TexCoord0 t)"
                      " { q = p; t = uv; } }\n"
                      "pixel { void main(in QR_Position p, in QR_TexCoord0 uv, out QR_Target c)"
                      " { c = QR_Sample(image, uv) } }\n";
} // namespace

TEST_F(VcShaderGlslTest, PrintsThePlatformsGlslOfEachStageVertexFirst)
{
    const std::string path = Write(source);
    const ToolRun both = Run("--glsl '" + path + "'");
    EXPECT_EQ(both.exitCode, 0) << both.log;
    const std::size_t vertex = both.output.find("#version 450");
    const std::size_t pixel = both.output.find("#version 450", vertex + 1);
    ASSERT_NE(vertex, std::string::npos);
    ASSERT_NE(pixel, std::string::npos);
    // The vertex stage writes gl_Position; the pixel stage samples the combined texture.
    EXPECT_NE(both.output.find("gl_Position", vertex), std::string::npos);
    EXPECT_LT(both.output.find("gl_Position", vertex), pixel);
    EXPECT_NE(both.output.find("sampler2D", pixel), std::string::npos);
    EXPECT_EQ(both.output.find("#define QR_Position"), std::string::npos) << "GLSL, not the generated HLSL";

    const ToolRun pixelOnly = Run("--glsl --stage pixel '" + path + "'");
    EXPECT_EQ(pixelOnly.exitCode, 0);
    EXPECT_EQ(pixelOnly.output, both.output.substr(pixel));
}

TEST_F(VcShaderGlslTest, AFailedStagePrintsNothingAndQuotesTheCompiler)
{
    const ToolRun run = Run("--glsl --stage pixel '" +
                            Write("pixel { void main(in QR_Position p, out QR_Target c) { c = unknownName; } }") + "'");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "");
    EXPECT_NE(run.log.find("[ERROR] Shader stage compilation failed, D3D message is \""), std::string::npos) << run.log;
    EXPECT_NE(run.log.find("unknownName"), std::string::npos);
}
