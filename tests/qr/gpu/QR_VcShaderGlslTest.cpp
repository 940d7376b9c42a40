// vc-shader --glsl as a process: the stages made through the renderer on the headless device,
// printed as the GLSL the platform produced.

#include "support/CommandOutput.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

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
        // Run from the folder: a relative FILE is named in messages as given.
        const std::string command = "cd '" + folder + "' && " + std::string(VC_BINARY_DIR) + "/vc-shader " + arguments +
                                    " 2>'" + folder + "/stderr.txt'";
        ToolRun run{-1, "", ""};
        run.output = RunCommand(command, &run.exitCode);
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

namespace
{
// The text with `from` replaced by `to` on its first line holding `from`; line and column are set
// to where it stands (from 1), line to 0 when no line holds it.
std::string ChangeFirstLineWith(const std::string& text, const std::string& from, const std::string& to, int& line,
                                int& column)
{
    std::istringstream lines(text);
    std::string changed;
    line = 0;
    int number = 0;
    for (std::string current; std::getline(lines, current);) {
        ++number;
        const std::size_t at = current.find(from);
        if (line == 0 && at != std::string::npos) {
            current.replace(at, from.size(), to);
            line = number;
            column = static_cast<int>(at) + 1;
        }
        changed += current + "\n";
    }
    return changed;
}

const char kIncludingShader[] = "vertex\n"
                                "{\n"
                                "  void main(in QR_Position p, out QR_Position q) { q = p; }\n"
                                "}\n"
                                "pixel\n"
                                "{\n"
                                "  #include \"lib/tone.hlsl\"\n"
                                "  void main(in QR_Position p, out QR_Target c)\n"
                                "  {\n"
                                "    c = Tone(p);\n"
                                "  }\n"
                                "}\n";
} // namespace

// A typo at a known line of a shader is reported at that file and line, whichever step finds
// it, in the one form FILE(LINE): error: ... (FILE as given on the command line), by vc-shader
// with and without --glsl. The demo's own o1.qcs is read from the checkout.
TEST_F(VcShaderGlslTest, ATypoIsReportedAtItsFileAndLineWhicheverStepFindsIt)
{
    std::ifstream file(std::string(VC_SOURCE_DIR) + "/assets/o1.qcs", std::ios::binary);
    const std::string o1((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(o1.empty());
    int stageLine = 0, topLine = 0, typeLine = 0, nameLine = 0, topColumn = 0, typeColumn = 0, column = 0;
    const std::string inStageCode = ChangeFirstLineWith(o1, "return", "retrun", stageLine, column);
    const std::string atTopLevel = ChangeFirstLineWith(o1, "vertex", "vertx", topLine, topColumn);
    const std::string typeInBlock = ChangeFirstLineWith(o1, "float4 look;", "flaot4 look;", typeLine, typeColumn);
    const std::string nameInBlock = ChangeFirstLineWith(o1, "float4 look;", "float4 return;", nameLine, column);
    ASSERT_TRUE(stageLine > 0 && topLine > 0 && typeLine > 0 && nameLine > 0) << "o1.qcs changed its shape";
    // main takes a parameter the entry point does not pass (inout is read and dropped).
    const std::string wrapper = "vertex\n"
                                "{\n"
                                "  void main(in QR_Position p, out QR_Position q) { q = p; }\n"
                                "}\n"
                                "pixel\n"
                                "{\n"
                                "  float4 Half(float4 v) { return v * 0.5; }\n"
                                "  void main(in QR_Position p, out QR_Target c, inout QR_Colour extra)\n"
                                "  {\n"
                                "    c = Half(p) + extra;\n"
                                "  }\n"
                                "}\n";

    std::filesystem::create_directories(folder + "/assets/lib");
    std::ofstream(folder + "/assets/lib/tone.hlsl", std::ios::binary)
        << "// a tone\nfloat4 Tone(float4 p)\n{\n    retrun p;\n}\n";
    struct Case
    {
        const char* what;
        std::string text;
        const char* arguments;
        std::string expected;
    };
    // The place of a line of o1.qcs, and of a line and column.
    const auto at = [](int line) { return "assets/o1.qcs(" + std::to_string(line) + "): error: "; };
    const auto atColumn = [](int line, int column) {
        return "assets/o1.qcs(" + std::to_string(line) + "," + std::to_string(column) + "): error: ";
    };
    const Case cases[] = {
        {"stage code (the front end)", inStageCode, "--glsl", at(stageLine) + "'retrun' : unknown variable"},
        {"top level (the parser)", atTopLevel, "",
         atColumn(topLine, topColumn) + "Expected vertex, pixel, samplers or constants block."},
        {"top level through the renderer", atTopLevel, "--glsl", atColumn(topLine, topColumn) + "Expected vertex"},
        {"an included file", kIncludingShader, "--glsl", "assets/lib/tone.hlsl(4): error: 'retrun' : unknown variable"},
        {"a constant's type (the parser)", typeInBlock, "",
         atColumn(typeLine, typeColumn) + "Unknown type flaot4 in constants block custom."},
        {"a constant's name (the front end, in the generated declaration)", nameInBlock, "--glsl",
         at(nameLine) + "'member name' : Expected"},
        {"the entry point the generator writes, made from main", wrapper, "--glsl",
         "assets/o1.qcs(8): error: 'main' : no matching overloaded function found"},
        {"a structure member the generator writes, made from a parameter",
         "pixel\n{\n  void main(in QR_Position p,\n    out QR_Normal n) { }\n}\n", "",
         "assets/o1.qcs(4): error: Unknown semantic."},
    };
    for (const Case& test : cases) {
        std::ofstream(folder + "/assets/o1.qcs", std::ios::binary) << test.text;
        const ToolRun run = Run(test.arguments + std::string(" assets/o1.qcs"));
        EXPECT_EQ(run.exitCode, 1) << test.what;
        EXPECT_NE(run.log.find(test.expected), std::string::npos) << test.what << ": " << run.log;
        // No line keeps the compiler's own form.
        EXPECT_EQ(run.log.find("ERROR: "), std::string::npos) << test.what << ": " << run.log;
        EXPECT_EQ(run.log.find("error at column"), std::string::npos) << test.what << ": " << run.log;
    }
}
