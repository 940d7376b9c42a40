#include "QR_ShaderGenerator_HLSL.h"
#include "QR_ShaderParser.h"

#include "support/ShaderTestLog.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

namespace
{
const std::string kPrelude =
    "#define QR_Position float4\n"
    "#define QR_Normal float4\n"
    "#define QR_Colour float4\n"
    "#define QR_TexCoord0 float2\n"
    "#define QR_TexCoord0_Float float\n"
    "#define QR_TexCoord1_Float float\n"
    "#define QR_TexCoord2_Float float\n"
    "#define QR_TexCoord3_Float float\n"
    "#define QR_TexCoord0_Float4 float4\n"
    "#define QR_TexCoord1_Float4 float4\n"
    "#define QR_TexCoord2_Float4 float4\n"
    "#define QR_TexCoord3_Float4 float4\n"
    "#define QR_Target float4\n"
    "#define QR_InstanceId uint\n"
    "#define QR_Mul(aA, aB) mul(aA, aB)\n"
    "#define QR_Sample(aSampler, aTexCoords) aSampler##_texture.Sample(aSampler##_state, aTexCoords);\n"
    "#define QR_Dot(aA, aB) dot(aA, aB)\n"
    "#define QR_PI 3.1415926535897932384626433832795\n"
    "#define QR_PI2 6.28318530717958647692528676655901\n";

// The text-drawing shader: one constant block, one sampler, both stages. Its lines: the constant
// block's name 3, its constant 5, the sampler 10, the vertex block 12 with its "{" on 13 and main
// on 14-16, the pixel block 23 with its "{" on 24 and main on 25-26.
const std::string kVertexCode = "\n"
                                "  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,\n"
                                "            out QR_Position outPosition, out QR_TexCoord0 outTexCoord,\n"
                                "            out QR_Colour outColour)\n"
                                "  {\n"
                                "    outPosition = QR_Mul(custom.projection, inPosition);\n"
                                "    outTexCoord = inTexCoord;\n"
                                "    outColour = inColour;\n"
                                "  }\n";
const std::string kPixelCode = "\n"
                               "  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour,\n"
                               "            out QR_Target outColour)\n"
                               "  {\n"
                               "    float4 c = QR_Sample(texture, inTexCoord)\n"
                               "    outColour = float4(inColour.x, inColour.y, inColour.z, c.w * inColour.w);\n"
                               "  }\n";
const std::string kTextSource = "constants\n{\n  custom\n  {\n    float4x4 projection;\n  }\n}\n"
                                "samplers\n{\n  QR_Sampler2D texture;\n}\n"
                                "vertex\n{" +
                                kVertexCode + "}\npixel\n{" + kPixelCode + "}\n";

// The #line directives map each line that can draw a message to the line it was made from (the
// source has no file name, so they name none). Lines between them run on: the constant, two lines
// after its block's name in the generated text as in the source, needs none.
const std::string kSharedDeclarations = "#line 3\n"
                                        "struct QR_ConstantBlockStruct0\n"
                                        "{\n"
                                        "float4x4 projection;\n"
                                        "};\n"
                                        "cbuffer QR_ConstantBlock0:register(b0)\n"
                                        "{\n"
                                        "#line 3\n"
                                        "  QR_ConstantBlockStruct0 custom;\n"
                                        "};\n"
                                        "#line 10\n"
                                        "Texture2D texture_texture:register(t0);\n"
                                        "#line 10\n"
                                        "SamplerState texture_state:register(s0);\n";

// The place the compiler gives the generated line holding needle: its file and the line breaks
// counted from the last #line directive before it, as the preprocessor counts them.
std::string PlaceOf(const std::string& text, const std::string& needle)
{
    std::string file = "0";
    int line = 1;
    std::istringstream lines(text);
    for (std::string generated; std::getline(lines, generated);) {
        if (generated.rfind("#line ", 0) == 0) {
            line = std::stoi(generated.substr(6));
            const std::size_t quote = generated.find('"');
            if (quote != std::string::npos)
                file = generated.substr(quote + 1, generated.rfind('"') - quote - 1);
            continue;
        }
        if (generated.find(needle) != std::string::npos)
            return file + "(" + std::to_string(line) + ")";
        ++line;
    }
    return "no line holds " + needle;
}

class QR_ShaderGeneratorTest : public QR_ShaderLogTest
{
protected:
    const QR_ShaderDescription& Parse(const std::string& text, const char* sourceName = nullptr)
    {
        parser = std::make_unique<QR_ShaderParser>();
        parser->Parse(QC_String(text.c_str(), static_cast<std::uint32_t>(text.size())), sourceName);
        return parser->Description();
    }

    static std::string Vertex(const QR_ShaderDescription& description)
    {
        QC_String text;
        QR_ShaderGenerator_HLSL::GenerateVertexShader(description, text);
        return text.CStr();
    }
    static std::string Pixel(const QR_ShaderDescription& description)
    {
        QC_String text;
        QR_ShaderGenerator_HLSL::GeneratePixelShader(description, text);
        return text.CStr();
    }

    std::unique_ptr<QR_ShaderParser> parser;
};
} // namespace

TEST_F(QR_ShaderGeneratorTest, CanvasTextShaderVertexStageIsGeneratedExactly)
{
    const std::string expected = "#line 12\n" + kPrelude + kSharedDeclarations +
                                 "struct QR_Input\n"
                                 "{\n"
                                 "#line 14\n"
                                 "  QR_Position inPosition : POSITION;\n"
                                 "#line 14\n"
                                 "  QR_TexCoord0 inTexCoord : TEXCOORD0;\n"
                                 "#line 14\n"
                                 "  QR_Colour inColour : COLOR;\n"
                                 "};\n"
                                 "struct QR_Output\n"
                                 "{\n"
                                 "#line 15\n"
                                 "  QR_Position outPosition : SV_POSITION;\n"
                                 "#line 15\n"
                                 "  QR_TexCoord0 outTexCoord : TEXCOORD0;\n"
                                 "  QR_Colour outColour : COLOR;\n"
                                 "};\n"
                                 "\n"
                                 "#line 13\n" +
                                 kVertexCode +
                                 "\n\n"
                                 "#line 14\n"
                                 "QR_Output QR_Main(QR_Input input)\n"
                                 "{\n"
                                 "QR_Output output;\n"
                                 "#line 14\n"
                                 "main(input.inPosition,input.inTexCoord,input.inColour,output.outPosition,"
                                 "output.outTexCoord,output.outColour);\n"
                                 "return output;\n"
                                 "}\n";
    EXPECT_EQ(Vertex(Parse(kTextSource)), expected);
    EXPECT_TRUE(logLines.empty());
}

TEST_F(QR_ShaderGeneratorTest, PixelStageHasItsOwnStructuresAndTheBraceOnTheEntryLine)
{
    const std::string expected = "#line 23\n" + kPrelude + kSharedDeclarations +
                                 "struct QR_Input\n"
                                 "{\n"
                                 "#line 25\n"
                                 "  QR_Position inPosition : SV_POSITION;\n"
                                 "#line 25\n"
                                 "  QR_TexCoord0 inTexCoord : TEXCOORD0;\n"
                                 "#line 25\n"
                                 "  QR_Colour inColour : COLOR;\n"
                                 "};\n"
                                 "struct QR_Output\n"
                                 "{\n"
                                 "#line 26\n"
                                 "  QR_Target outColour : SV_TARGET;\n"
                                 "};\n"
                                 "\n"
                                 "#line 24\n" +
                                 kPixelCode +
                                 "\n\n"
                                 "#line 25\n"
                                 "QR_Output QR_Main(QR_Input input){\n"
                                 "QR_Output output;\n"
                                 "#line 25\n"
                                 "main(input.inPosition,input.inTexCoord,input.inColour,output.outColour);\n"
                                 "return output;\n"
                                 "}\n";
    EXPECT_EQ(Pixel(Parse(kTextSource)), expected);
    EXPECT_TRUE(logLines.empty());
}

// The line map: whatever the generator writes, every line that can draw a message from the
// compiler is numbered as the line of the named source it was made from.
TEST_F(QR_ShaderGeneratorTest, EveryLineThatCanDrawAMessageIsNumberedAsTheSourceLineItWasMadeFrom)
{
    const QR_ShaderDescription& d = Parse("constants\n"                                      // 1
                                          "{\n"                                              // 2
                                          "  look\n"                                         // 3
                                          "  {\n"                                            // 4
                                          "    float4 tint; float scale;\n"                  // 5
                                          "    float4 shift;\n"                              // 6
                                          "  }\n"                                            // 7
                                          "}\n"                                              // 8
                                          "samplers { QR_Sampler2D picture;\n"               // 9
                                          "  QR_Sampler2D noise; }\n"                        // 10
                                          "pixel\n"                                          // 11
                                          "{ float4 Shift() { return look.shift; }\n"        // 12
                                          "  void main(in QR_Position p, in QR_TexCoord0 uv,\n" // 13
                                          "            out QR_Target c)\n"                   // 14
                                          "  {\n"                                            // 15
                                          "    c = Shift() * look.tint * look.scale;\n"      // 16
                                          "  }\n"                                            // 17
                                          "}\n",                                             // 18
                                          "shaders/look.qcs");
    const std::string text = Pixel(d);
    const std::pair<const char*, const char*> lines[] = {
        {"float4 tint;", "shaders/look.qcs(5)"},
        {"float scale;", "shaders/look.qcs(5)"},
        {"float4 shift;", "shaders/look.qcs(6)"},
        {"QR_ConstantBlockStruct0 look;", "shaders/look.qcs(3)"},
        {"picture_texture", "shaders/look.qcs(9)"},
        {"picture_state", "shaders/look.qcs(9)"},
        {"noise_texture", "shaders/look.qcs(10)"},
        {"noise_state", "shaders/look.qcs(10)"},
        {"QR_Position p :", "shaders/look.qcs(13)"},
        {"QR_TexCoord0 uv :", "shaders/look.qcs(13)"},
        {"QR_Target c :", "shaders/look.qcs(14)"},
        {"float4 Shift()", "shaders/look.qcs(12)"},
        {"c = Shift()", "shaders/look.qcs(16)"},
        {"QR_Output QR_Main", "shaders/look.qcs(13)"},
        {"main(input.p,input.uv,output.c)", "shaders/look.qcs(13)"},
    };
    for (const auto& [needle, place] : lines)
        EXPECT_EQ(PlaceOf(text, needle), place) << text;
    EXPECT_EQ(text.rfind("#line 11 \"shaders/look.qcs\"\n#define QR_Position float4\n", 0), 0u)
        << "the text starts numbered, its prelude from the stage block's keyword";
    EXPECT_TRUE(logLines.empty());

    // A name that cannot stand between quotes is left out: the compiler's own name for the text
    // stands (the renderer gives it the same name).
    const std::string odd = Pixel(Parse("pixel { void main() { } }", "say \"hi\".qcs"));
    EXPECT_EQ(odd.find("hi"), std::string::npos) << odd;
    EXPECT_EQ(odd.rfind("#line 1\n", 0), 0u) << odd;
}

TEST_F(QR_ShaderGeneratorTest, GeneratorAppendsToWhatTheTextHeld)
{
    const QR_ShaderDescription& d = Parse(kTextSource);
    QC_String text("// both stages\n");
    QR_ShaderGenerator_HLSL::GenerateVertexShader(d, text);
    QR_ShaderGenerator_HLSL::GeneratePixelShader(d, text);
    EXPECT_EQ(std::string(text.CStr()), "// both stages\n" + Vertex(d) + Pixel(d));
}

TEST_F(QR_ShaderGeneratorTest, WithoutSamplersOrConstantsThePreludeRunsIntoTheInputStructure)
{
    const QR_ShaderDescription& d = Parse("pixel{void main(){}}");
    EXPECT_EQ(Pixel(d), "#line 1\n" + kPrelude +
                            "struct QR_Input\n{\n};\nstruct QR_Output\n{\n};\n\n#line 1\nvoid main(){}\n\n"
                            "#line 1\nQR_Output QR_Main(QR_Input input){\nQR_Output output;\n#line 1\nmain();\n"
                            "return output;\n}\n");
    // A source without a vertex block still gives a whole text, calling a main it lacks: all of
    // it is numbered from line 1.
    EXPECT_EQ(Vertex(d), "#line 1\n" + kPrelude + "struct QR_Input\n{\n};\nstruct QR_Output\n{\n};\n\n#line 1\n\n\n"
                                    "#line 1\nQR_Output QR_Main(QR_Input input)\n{\nQR_Output output;\n#line 1\nmain();\n"
                                    "return output;\n}\n");
    EXPECT_TRUE(logLines.empty());
}

TEST_F(QR_ShaderGeneratorTest, SeveralBlocksAndSamplersAreNumberedInSourceOrder)
{
    const std::string text = Vertex(Parse("constants { a { float x; } b { float3x3 m; float2 y; } }\n"
                                          "samplers { QR_Sampler2D scene; } samplers { QR_Sampler2D noise; }\n"
                                          "constants { c { } }"));
    EXPECT_NE(text.find("#line 1\nstruct QR_ConstantBlockStruct0\n{\n#line 1\nfloat x;\n};\n"
                        "cbuffer QR_ConstantBlock0:register(b0)\n{\n#line 1\n  QR_ConstantBlockStruct0 a;\n};\n"
                        "#line 1\nstruct QR_ConstantBlockStruct1\n{\n#line 1\nfloat3x3 m;\n#line 1\nfloat2 y;\n};\n"
                        "cbuffer QR_ConstantBlock1:register(b1)\n{\n#line 1\n  QR_ConstantBlockStruct1 b;\n};\n"
                        "struct QR_ConstantBlockStruct2\n{\n};\n"
                        "cbuffer QR_ConstantBlock2:register(b2)\n{\n#line 3\n  QR_ConstantBlockStruct2 c;\n};\n"
                        "#line 2\nTexture2D scene_texture:register(t0);\n#line 2\nSamplerState scene_state:register(s0);\n"
                        "#line 2\nTexture2D noise_texture:register(t1);\n#line 2\nSamplerState noise_state:register(s1);\n"
                        "struct QR_Input\n"),
              std::string::npos)
        << text;
}

TEST_F(QR_ShaderGeneratorTest, SemanticWithoutStringInItsPositionIsReportedAndWrittenEmpty)
{
    const QR_ShaderDescription& d =
        Parse("vertex { void main(in QR_InstanceId id, in QR_TexCoord2_Float bad, out QR_TexCoord2_Float v) { } }\n"
              "pixel { void main(in QR_TexCoord2_Float v, out QR_Colour colour, out QR_Position wrong) { } }");
    ASSERT_TRUE(logLines.empty());

    const std::string pixel = Pixel(d);
    EXPECT_NE(pixel.find("struct QR_Input\n{\n#line 2\n  QR_TexCoord2_Float v : TEXCOORD2;\n};\n"
                         "struct QR_Output\n{\n#line 2\n  QR_Colour colour : COLOR;\n#line 2\n  QR_Position wrong : ;\n};\n"),
              std::string::npos)
        << pixel;
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_EQ(logLines[0].level, QC_LOG_ERROR);
    EXPECT_EQ(logLines[0].message, "0(2): error: Unknown semantic.") << "at the line of its parameter";
    EXPECT_EQ(logLines[0].file, "frame/qr/shading/QR_ShaderGenerator_HLSL.cpp");
    logLines.clear();

    const std::string vertex = Vertex(d);
    EXPECT_NE(vertex.find("#line 1\n  QR_InstanceId id : SV_InstanceId;\n#line 1\n  QR_TexCoord2_Float bad : ;\n};\n"
                          "struct QR_Output\n{\n#line 1\n  QR_TexCoord2_Float v : TEXCOORD2;\n};\n"),
              std::string::npos)
        << vertex;
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"0(1): error: Unknown semantic."});
}

TEST_F(QR_ShaderGeneratorTest, WordLookupsRejectValuesOutsideTheirTables)
{
    EXPECT_STREQ(QR_ShaderGenerator::ConstantTypeName(QR_SHADER_CONSTANT_FLOAT), "float");
    EXPECT_STREQ(QR_ShaderGenerator::ConstantTypeName(QR_SHADER_CONSTANT_FLOAT4X4), "float4x4");
    EXPECT_STREQ(QR_ShaderGenerator_HLSL::SamplerTypeName(QR_SHADER_SAMPLER_2D), "Texture2D");
    EXPECT_TRUE(logLines.empty());

    EXPECT_STREQ(QR_ShaderGenerator_HLSL::SamplerTypeName(static_cast<QR_ShaderSamplerType>(2)), "");
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Unknown sampler type."});
    // Values 12-14 have strings in two positions but no type word.
    EXPECT_STREQ(QR_ShaderGenerator_HLSL::VertexOutputSemantic(QR_SEMANTIC_TEXCOORD1), "TEXCOORD1");
    EXPECT_STREQ(QR_ShaderGenerator_HLSL::PixelInputSemantic(QR_SEMANTIC_TEXCOORD3), "TEXCOORD3");
    EXPECT_STREQ(QR_ShaderGenerator_HLSL::VertexInputSemantic(static_cast<QR_ShaderSemantic>(29)), "");
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Unknown semantic."});

    EXPECT_EXIT(QR_ShaderGenerator::ConstantTypeName(QR_SHADER_CONSTANT_UNKNOWN),
                testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "QR_ShaderGenerator\\.cpp.*\\[FATAL\\] Unknown type\\.");
    EXPECT_EXIT(QR_ShaderGenerator::ConstantTypeName(static_cast<QR_ShaderConstantType>(8)),
                testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "Unknown type\\.");
    EXPECT_EXIT(QR_ShaderGenerator_HLSL::SemanticTypeName(QR_SEMANTIC_TEXCOORD2),
                testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "QR_ShaderGenerator_HLSL\\.cpp.*\\[FATAL\\] Unknown semantic\\.");
}
