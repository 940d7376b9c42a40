#include "QR_ShaderGenerator_HLSL.h"
#include "QR_ShaderParser.h"

#include "support/ShaderTestLog.h"

#include <gtest/gtest.h>

#include <memory>
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

// The text-drawing shader: one constant block, one sampler, both stages.
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

const std::string kSharedDeclarations = "struct QR_ConstantBlockStruct0\n"
                                        "{\n"
                                        "float4x4 projection;\n"
                                        "};\n"
                                        "cbuffer QR_ConstantBlock0:register(b0)\n"
                                        "{\n"
                                        "  QR_ConstantBlockStruct0 custom;\n"
                                        "};\n"
                                        "Texture2D texture_texture:register(t0);\n"
                                        "SamplerState texture_state:register(s0);\n";

class QR_ShaderGeneratorTest : public QR_ShaderLogTest
{
protected:
    const QR_ShaderDescription& Parse(const std::string& text)
    {
        parser = std::make_unique<QR_ShaderParser>();
        parser->Parse(QC_String(text.c_str(), static_cast<std::uint32_t>(text.size())));
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
    const std::string expected = kPrelude + kSharedDeclarations +
                                 "struct QR_Input\n"
                                 "{\n"
                                 "  QR_Position inPosition : POSITION;\n"
                                 "  QR_TexCoord0 inTexCoord : TEXCOORD0;\n"
                                 "  QR_Colour inColour : COLOR;\n"
                                 "};\n"
                                 "struct QR_Output\n"
                                 "{\n"
                                 "  QR_Position outPosition : SV_POSITION;\n"
                                 "  QR_TexCoord0 outTexCoord : TEXCOORD0;\n"
                                 "  QR_Colour outColour : COLOR;\n"
                                 "};\n"
                                 "\n" +
                                 kVertexCode +
                                 "\n\n"
                                 "QR_Output QR_Main(QR_Input input)\n"
                                 "{\n"
                                 "QR_Output output;\n"
                                 "main(input.inPosition,input.inTexCoord,input.inColour,output.outPosition,"
                                 "output.outTexCoord,output.outColour);\n"
                                 "return output;\n"
                                 "}\n";
    EXPECT_EQ(Vertex(Parse(kTextSource)), expected);
    EXPECT_TRUE(logLines.empty());
}

TEST_F(QR_ShaderGeneratorTest, PixelStageHasItsOwnStructuresAndTheBraceOnTheEntryLine)
{
    const std::string expected = kPrelude + kSharedDeclarations +
                                 "struct QR_Input\n"
                                 "{\n"
                                 "  QR_Position inPosition : SV_POSITION;\n"
                                 "  QR_TexCoord0 inTexCoord : TEXCOORD0;\n"
                                 "  QR_Colour inColour : COLOR;\n"
                                 "};\n"
                                 "struct QR_Output\n"
                                 "{\n"
                                 "  QR_Target outColour : SV_TARGET;\n"
                                 "};\n"
                                 "\n" +
                                 kPixelCode +
                                 "\n\n"
                                 "QR_Output QR_Main(QR_Input input){\n"
                                 "QR_Output output;\n"
                                 "main(input.inPosition,input.inTexCoord,input.inColour,output.outColour);\n"
                                 "return output;\n"
                                 "}\n";
    EXPECT_EQ(Pixel(Parse(kTextSource)), expected);
    EXPECT_TRUE(logLines.empty());
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
    EXPECT_EQ(Pixel(d), kPrelude +
                            "struct QR_Input\n{\n};\nstruct QR_Output\n{\n};\n\nvoid main(){}\n\n"
                            "QR_Output QR_Main(QR_Input input){\nQR_Output output;\nmain();\nreturn output;\n}\n");
    // A source without a vertex block still gives a whole text, calling a main it lacks.
    EXPECT_EQ(Vertex(d), kPrelude + "struct QR_Input\n{\n};\nstruct QR_Output\n{\n};\n\n\n\n"
                                    "QR_Output QR_Main(QR_Input input)\n{\nQR_Output output;\nmain();\n"
                                    "return output;\n}\n");
    EXPECT_TRUE(logLines.empty());
}

TEST_F(QR_ShaderGeneratorTest, SeveralBlocksAndSamplersAreNumberedInSourceOrder)
{
    const std::string text = Vertex(Parse("constants { a { float x; } b { float3x3 m; float2 y; } }\n"
                                          "samplers { QR_Sampler2D scene; } samplers { QR_Sampler2D noise; }\n"
                                          "constants { c { } }"));
    EXPECT_NE(text.find("struct QR_ConstantBlockStruct0\n{\nfloat x;\n};\n"
                        "cbuffer QR_ConstantBlock0:register(b0)\n{\n  QR_ConstantBlockStruct0 a;\n};\n"
                        "struct QR_ConstantBlockStruct1\n{\nfloat3x3 m;\nfloat2 y;\n};\n"
                        "cbuffer QR_ConstantBlock1:register(b1)\n{\n  QR_ConstantBlockStruct1 b;\n};\n"
                        "struct QR_ConstantBlockStruct2\n{\n};\n"
                        "cbuffer QR_ConstantBlock2:register(b2)\n{\n  QR_ConstantBlockStruct2 c;\n};\n"
                        "Texture2D scene_texture:register(t0);\nSamplerState scene_state:register(s0);\n"
                        "Texture2D noise_texture:register(t1);\nSamplerState noise_state:register(s1);\n"
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
    EXPECT_NE(pixel.find("struct QR_Input\n{\n  QR_TexCoord2_Float v : TEXCOORD2;\n};\n"
                         "struct QR_Output\n{\n  QR_Colour colour : COLOR;\n  QR_Position wrong : ;\n};\n"),
              std::string::npos)
        << pixel;
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_EQ(logLines[0].level, QC_LOG_ERROR);
    EXPECT_EQ(logLines[0].message, "Unknown semantic.");
    EXPECT_EQ(logLines[0].file, "frame/qr/shading/QR_ShaderGenerator_HLSL.cpp");
    logLines.clear();

    const std::string vertex = Vertex(d);
    EXPECT_NE(vertex.find("  QR_InstanceId id : SV_InstanceId;\n  QR_TexCoord2_Float bad : ;\n};\n"
                          "struct QR_Output\n{\n  QR_TexCoord2_Float v : TEXCOORD2;\n};\n"),
              std::string::npos)
        << vertex;
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"Unknown semantic."});
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
