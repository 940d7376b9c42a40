// Effect-file syntax compiled for one entry point: state blocks and technique blocks accepted and
// ignored, the lowercase texture types, names beginning with gl_; the stages built by the GL
// driver and drawn on the headless device. The rewrite itself is checked on its own first.

#include "support/GpuTestSupport.h"

#include "QP_EffectSyntax.h"
#include "QP_ShaderCode.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

namespace {

long LineBreaks(const std::string& text)
{
    return static_cast<long>(std::count(text.begin(), text.end(), '\n'));
}

std::string Rewritten(std::string text)
{
    QP_RewriteEffectSyntax(text);
    return text;
}

// Compiles one entry point, creates its device shader (the GLSL must build in GL) and hands back
// the parsed interface.
class QP_EffectSyntaxTest : public QP_GpuTest
{
protected:
    QC_Ptr<QP_Blob> CompileEntry(const char* source, const char* entry, const char* profile,
                                 const char* sourceName = "effect.fx")
    {
        QC_Ptr<QP_Blob> code, errors;
        const QP_Result result = QP_Compile(source, std::strlen(source), sourceName, entry, profile, &code, &errors);
        EXPECT_EQ(result, QP_OK) << entry << ": " << QP_BlobText(errors.Get());
        return code;
    }

    std::string ErrorOf(const char* source, const char* profile, const char* sourceName = "effect.fx")
    {
        QC_Ptr<QP_Blob> code, errors;
        EXPECT_EQ(QP_Compile(source, std::strlen(source), sourceName, "QR_Main", profile, &code, &errors), QP_E_FAIL);
        return QP_BlobText(errors.Get());
    }

    static QP_ShaderInterface InterfaceOf(const QP_Blob* code)
    {
        QP_ShaderInterface shaderInterface;
        std::memset(&shaderInterface, 0, sizeof(shaderInterface));
        const char* text = nullptr;
        EXPECT_TRUE(QP_ParseShaderCode(code->GetBufferPointer(), code->GetBufferSize(), &shaderInterface, &text));
        return shaderInterface;
    }

    void UseVertexCode(const QP_Blob* code)
    {
        QC_Ptr<QP_VertexShader> shader;
        ASSERT_EQ(device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), &shader), QP_OK)
            << QP_ShaderCodeText(code);
        const QP_InputElementDesc elements[] = {
            {"POSITION", 0, QP_FORMAT_R32G32B32A32_FLOAT, 0, 0, QP_INPUT_PER_VERTEX_DATA, 0},
            {"TEXCOORD", 0, QP_FORMAT_R32G32_FLOAT, 0, QP_APPEND_ALIGNED_ELEMENT, QP_INPUT_PER_VERTEX_DATA, 0},
        };
        QC_Ptr<QP_InputLayout> layout;
        ASSERT_EQ(device->CreateInputLayout(elements, 2, code->GetBufferPointer(), code->GetBufferSize(), &layout),
                  QP_OK);
        context->VSSetShader(shader.Get());
        context->IASetInputLayout(layout.Get());
    }

    void UsePixelCode(const QP_Blob* code)
    {
        QC_Ptr<QP_PixelShader> shader;
        ASSERT_EQ(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), &shader), QP_OK)
            << QP_ShaderCodeText(code);
        context->PSSetShader(shader.Get());
    }

    void CreatePixelCode(const QP_Blob* code)
    {
        QC_Ptr<QP_PixelShader> shader;
        EXPECT_EQ(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), &shader), QP_OK)
            << QP_ShaderCodeText(code);
    }

    // A 2x2 texture: red, green on top; blue, white below.
    QC_Ptr<QP_ShaderResourceView> QuadrantTexture()
    {
        const std::uint8_t texels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
        QP_Texture2DDesc desc;
        desc.width = desc.height = 2;
        desc.format = QP_FORMAT_R8G8B8A8_UNORM;
        desc.bindFlags = QP_BIND_SHADER_RESOURCE;
        QP_SubresourceData data;
        data.sysMem = texels;
        data.sysMemPitch = 8;
        QC_Ptr<QP_Texture2D> texture;
        QC_Ptr<QP_ShaderResourceView> view;
        EXPECT_EQ(device->CreateTexture2D(&desc, &data, &texture), QP_OK);
        EXPECT_EQ(device->CreateShaderResourceView(texture.Get(), nullptr, &view), QP_OK);
        return view;
    }
};

} // namespace

// --- the rewrite on its own ----------------------------------------------------------------------
TEST(QP_EffectSyntaxRewriteTest, CommentsStringsPreprocessorLinesAndNonDeclarationsStayAsWritten)
{
    const char* const unchanged[] = {
        "// technique11 T { pass P { } }\nfloat4 a;\n",
        "/* texture2D t; gl_Position; SamplerState s { Filter = POINT; }; */\n",
        "float4 f() { return \"gl_x technique11 T { }\"; }\n",
        "#pragma gl_thing texture2D x\nfloat y;\n",
        // A function returning a sampler, a function named like a legacy type, a member.
        "SamplerState Pick() { return s; }\nfloat4 texture2D(float2 uv) { return uv.xyxy; }\n",
        "float4 v = o.texture2D;\nfloat texture = 1;\n",
        // Unbalanced blocks are left for the guards to report.
        "technique11 T { pass P0 { SetPixelShader(p);\n",
        "SamplerState s : register(s0) { Filter = POINT;\n",
        "BlendState b { BlendEnable[0] = FALSE;\n",
        "technique11 T;\n",
    };
    for (const char* text : unchanged)
        EXPECT_EQ(Rewritten(text), text);
}

TEST(QP_EffectSyntaxRewriteTest, RemovedTextBecomesSpacesAndEveryLineAndLineDirectiveStays)
{
    const std::string effect = "texture2D t;\n"
                               "SamplerState s : register(s1)\n{\n  Filter = MIN_MAG_MIP_LINEAR;\n};\n"
                               "technique10 T < string name = \"x;\"; >\n{\n#line 40 \"inner.fx\"\n"
                               "  pass P0 { SetVertexShader(CompileShader(vs_4_0, VS())); }\n};\n"
                               "RasterizerState r { CullMode = NONE; };\n"
                               "float4 gl_Position : SV_Position;\n";
    const std::string out = Rewritten(effect);
    EXPECT_EQ(LineBreaks(out), LineBreaks(effect)) << out;
    EXPECT_EQ(out.find("technique"), std::string::npos) << out;
    EXPECT_EQ(out.find("pass"), std::string::npos) << out;
    EXPECT_EQ(out.find("Filter"), std::string::npos) << out;
    EXPECT_EQ(out.find("RasterizerState"), std::string::npos) << out;
    EXPECT_EQ(out.find("texture2D"), std::string::npos) << out;
    EXPECT_NE(out.find("#line 40 \"inner.fx\"\n"), std::string::npos) << "a directive inside a block stays: " << out;
    EXPECT_NE(out.find("Texture2D t;"), std::string::npos) << out;
    EXPECT_NE(out.find("SamplerState s : register(s1)"), std::string::npos) << out;
    EXPECT_NE(out.find("QP_gl_Position : SV_Position;"), std::string::npos) << out;

    // The prefix keeps distinct names distinct: gl_a, QP_gl_a and QP_QP_gl_a stay three names.
    EXPECT_EQ(Rewritten("gl_a QP_gl_a QP_QP_gl_a QP_x xgl_a"), "QP_gl_a QP_QP_gl_a QP_QP_QP_gl_a QP_x xgl_a");
    // sampler_state initialisers go from the = on.
    EXPECT_EQ(Rewritten("sampler s = sampler_state { Texture = <t>; };"), "sampler s" + std::string(35, ' ') + ";");
}

TEST(QP_EffectSyntaxRewriteTest, AnyBytesKeepTheirLineBreaksAndLongRunsStayLinear)
{
    static const char* const pieces[] = {"technique11 ", "T ", "< ", "> ", "{ ", "} ", "; ", "SamplerState ",
                                         "BlendState ", "= ", "sampler_state ", "gl_x ", "\"", "\n", "#line 3\n",
                                         "/*", "*/", "//", "( ", "texture2D ", "\\\n", "\r\n"};
    std::mt19937 random(7);
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) {
            if (random() % 4 == 0)
                text.push_back(static_cast<char>(random() % 256));
            else
                text += pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
        }
        ASSERT_EQ(LineBreaks(Rewritten(text)), LineBreaks(text)) << "round " << round << ": " << text;
    }
    // Openers that never close, annotations that never end: each declaration is looked at once.
    for (const char* piece : {"technique T < ; ", "SamplerState s { ", "BlendState b < ; ", "technique11 { "}) {
        std::string text;
        for (int i = 0; i < 100000; ++i)
            text += piece;
        const std::string out = Rewritten(text);
        EXPECT_EQ(out.size(), text.size()) << piece;
    }
}

// --- compiled and drawn --------------------------------------------------------------------------
TEST_F(QP_EffectSyntaxTest, EffectFileWithStateBlocksTechniqueAndLegacyTextureDrawsTheSampledTexture)
{
    const char* effect = R"(texture2D g_Texture : register(t1);
SamplerState LinearSampler : register(s2)
{
    Filter = MIN_MAG_MIP_LINEAR;
    AddressU = CLAMP;
    AddressV = CLAMP;
};
BlendState NoBlend { BlendEnable[0] = FALSE; };
DepthStencilState NoDepth { DepthEnable = FALSE; };
RasterizerState Solid { FillMode = SOLID; CullMode = NONE; };
struct VSOut { float4 position : SV_POSITION; float2 uv : TEXCOORD0; };
VSOut VS(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    VSOut output;
    output.position = position;
    output.uv = uv;
    return output;
}
float4 PS(VSOut input) : SV_TARGET
{
    return g_Texture.Sample(LinearSampler, input.uv);
}
technique11 DRAW_T < string description = "one pass { ; }"; >
{
    pass P0
    {
        SetVertexShader(CompileShader(vs_4_0_level_9_1, VS()));
        SetPixelShader(CompileShader(ps_4_0_level_9_1, PS()));
        SetBlendState(NoBlend, float4(0.0f, 0.0f, 0.0f, 0.0f), 0xFFFFFFFF);
        SetDepthStencilState(NoDepth, 0);
    }
};
)";
    QC_Ptr<QP_Blob> vertexCode = CompileEntry(effect, "VS", "vs_4_0");
    QC_Ptr<QP_Blob> pixelCode = CompileEntry(effect, "PS", "ps_4_0");
    ASSERT_TRUE(vertexCode && pixelCode);
    // The sampler keeps its register though its state block is gone.
    const QP_ShaderInterface pixel = InterfaceOf(pixelCode.Get());
    ASSERT_EQ(pixel.samplerCount, 1u);
    EXPECT_EQ(pixel.samplers[0].textureSlot, 1u);
    EXPECT_EQ(pixel.samplers[0].samplerSlot, 2u);
    UseVertexCode(vertexCode.Get());
    UsePixelCode(pixelCode.Get());

    // The application's point sampler decides, not the block's linear filter: four flat quadrants.
    QC_Ptr<QP_ShaderResourceView> view = QuadrantTexture();
    QP_ShaderResourceView* views[] = {view.Get()};
    context->PSSetShaderResources(1, 1, views);
    QC_Ptr<QP_SamplerState> sampler = PointSampler();
    QP_SamplerState* samplers[] = {sampler.Get()};
    context->PSSetSamplers(2, 1, samplers);
    ClearBackBuffer(0, 0, 0, 0);
    DrawQuad(-1, -1, 1, 1);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(16, 16), {255, 0, 0, 255})) << "top left";
    EXPECT_TRUE(Near(Pixel(48, 16), {0, 255, 0, 255})) << "top right";
    EXPECT_TRUE(Near(Pixel(16, 48), {0, 0, 255, 255})) << "bottom left";
    EXPECT_TRUE(Near(Pixel(48, 48), {255, 255, 255, 255})) << "bottom right";
}

TEST_F(QP_EffectSyntaxTest, SamplerDeclarationsOfEverySpellingKeepTheirRegistersWithoutTheirStateBlocks)
{
    const char* source = R"(Texture2D a : register(t0);
texture2D<float4> b : register(t1);
Texture2D depth : register(t2);
SamplerState immutableSampler : IMMUTABLE
{
    AddressU = CLAMP;
    Filter = MIN_MAG_MIP_POINT;
};
sampler legacySampler : register(s3) { Filter = ANISOTROPIC; MaxAnisotropy = 4; };
SamplerComparisonState shadowSampler : register(s4) { ComparisonFunc = LESS; Filter = COMPARISON_MIN_MAG_MIP_LINEAR; };
float4 QR_Main(float4 p : SV_Position, float2 uv : TEXCOORD0) : SV_Target
{
    return a.Sample(immutableSampler, uv) + b.Sample(legacySampler, uv) + depth.SampleCmp(shadowSampler, uv, 0.5);
}
)";
    QC_Ptr<QP_Blob> code = CompileEntry(source, "QR_Main", "ps_4_0");
    ASSERT_TRUE(code);
    CreatePixelCode(code.Get());
    const QP_ShaderInterface pixel = InterfaceOf(code.Get());
    ASSERT_EQ(pixel.samplerCount, 3u);
    for (std::uint32_t i = 0; i < pixel.samplerCount; ++i) {
        const QP_ShaderSamplerCombination& combination = pixel.samplers[i];
        if (combination.textureSlot == 1)
            EXPECT_EQ(combination.samplerSlot, 3u) << "sampler legacySampler : register(s3)";
        else if (combination.textureSlot == 2)
            EXPECT_EQ(combination.samplerSlot, 4u) << "SamplerComparisonState : register(s4)";
        else
            EXPECT_EQ(combination.samplerSlot, 0u) << "the sampler without a register takes the lowest free one";
    }

    // The other legacy spellings stand for the current types.
    const char* legacy = "texture3D volume : register(t0);\ntextureCUBE sky : register(t1);\ntexture plain : register(t2);\n"
                         "sampler s = sampler_state { Texture = <plain>; AddressU = WRAP; };\n"
                         "float4 QR_Main(float4 p : SV_Position) : SV_Target\n{\n"
                         "    return volume.Sample(s, p.xyz) + sky.Sample(s, p.xyz) + plain.Sample(s, p.xy);\n}\n";
    QC_Ptr<QP_Blob> legacyCode = CompileEntry(legacy, "QR_Main", "ps_4_0");
    ASSERT_TRUE(legacyCode);
    CreatePixelCode(legacyCode.Get());
    EXPECT_EQ(InterfaceOf(legacyCode.Get()).samplerCount, 3u);
}

TEST_F(QP_EffectSyntaxTest, TechniqueBlocksAreIgnoredAndLaterErrorsKeepTheirLines)
{
    const std::string techniques = "float4 PS(float4 p : SV_Position) : SV_Target { return p; }\n" // 1
                                   "technique\n"                                                    // 2
                                   "{\n"                                                            // 3
                                   "    pass { SetPixelShader(CompileShader(ps_4_0, PS())); }\n"    // 4
                                   "}\n"                                                            // 5
                                   "technique10 T10 < int order = 2; >\n"                           // 6
                                   "{\n"                                                            // 7
                                   "    pass P0\n"                                                  // 8
                                   "    {\n"                                                        // 9
                                   "        SetPixelShader(CompileShader(ps_4_0, PS()));\n"         // 10
                                   "    }\n"                                                        // 11
                                   "};\n";                                                          // 12
    const std::string broken = techniques + "float4 QR_Main(float4 p : SV_Position) : SV_Target\n" // 13
                                            "{\n"                                                 // 14
                                            "    return p * missingName;\n"                       // 15
                                            "}\n";
    const std::string message = ErrorOf(broken.c_str(), "ps_4_0");
    EXPECT_NE(message.find("ERROR: effect.fx:15:"), std::string::npos) << message;
    EXPECT_NE(message.find("missingName"), std::string::npos) << message;
    QC_Ptr<QP_Blob> code = CompileEntry(techniques.c_str(), "PS", "ps_4_0");
    ASSERT_TRUE(code);
    CreatePixelCode(code.Get());

    // A technique whose braces never close is reported at its innermost open brace, not accepted
    // or crashed on.
    const char* unclosed = "float4 QR_Main(float4 p : SV_Position) : SV_Target { return p; }\n"
                           "technique11 T\n{\n    pass P0\n    {\n        SetPixelShader(NULL);\n";
    const std::string unclosedMessage = ErrorOf(unclosed, "ps_4_0");
    EXPECT_NE(unclosedMessage.find("effect.fx:5: '{' : bracket opened here is never closed"), std::string::npos)
        << unclosedMessage;
}

TEST_F(QP_EffectSyntaxTest, GlNamedParametersAndVariablesAreRenamedAndDraw)
{
    // As in shaders written for both languages: parameters named like GL's outputs and built-ins,
    // globals too (the front end used to crash on a global named like a built-in).
    const char* vertex = R"(
static const float gl_InstanceID = 0.0;
void QR_Main(float4 position : POSITION, float2 uv : TEXCOORD0, out float4 gl_Position : SV_POSITION,
             out float2 gl_TexCoord : TEXCOORD0)
{
    gl_Position = position + gl_InstanceID;
    gl_TexCoord = uv;
}
)";
    const char* pixel = R"(
static const float gl_Half = 32.0;
static const float QP_gl_Half = 0.0;
float4 QR_Main(float4 gl_FragCoord : SV_POSITION, float2 gl_TexCoord : TEXCOORD0) : SV_TARGET
{
    float4 gl_FragColor = gl_FragCoord.x < gl_Half + QP_gl_Half ? float4(1, 0, 0, 1) : float4(0, gl_TexCoord.y, 0, 1);
    return gl_FragColor;
}
)";
    QC_Ptr<QP_Blob> vertexCode = CompileEntry(vertex, "QR_Main", "vs_4_0");
    QC_Ptr<QP_Blob> pixelCode = CompileEntry(pixel, "QR_Main", "ps_4_0");
    ASSERT_TRUE(vertexCode && pixelCode);
    UseVertexCode(vertexCode.Get());
    UsePixelCode(pixelCode.Get());
    ClearBackBuffer(0, 0, 0, 0);
    DrawQuad(-1, -1, 1, 1);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(8, 32), {255, 0, 0, 255})) << "left of gl_Half";
    EXPECT_TRUE(Near(Pixel(56, 63), {0, 253, 0, 255}, 4)) << "right: green from the texture coordinate";
    EXPECT_TRUE(Near(Pixel(56, 0), {0, 2, 0, 255}, 4)) << "right, top row";

    // A message about a renamed name still points at its line.
    const std::string message = ErrorOf("float4 QR_Main(float4 gl_FragCoord : SV_Position) : SV_Target\n"
                                        "{\n    return gl_FragCoord * gl_Undefined;\n}\n",
                                        "ps_4_0");
    EXPECT_NE(message.find("effect.fx:3:"), std::string::npos) << message;
    EXPECT_NE(message.find("gl_Undefined"), std::string::npos) << message;
}

// The fuzz seeds for this syntax start the fuzzer from texts that compile (first byte: stage).
TEST_F(QP_EffectSyntaxTest, FuzzSeedsOfEffectSyntaxCompile)
{
    const std::string folder = std::string(VC_SOURCE_DIR) + "/tests/fuzz/seeds/shader_compile/";
    for (const char* seed : {"pixel_effect_state_blocks", "vertex_gl_names_technique"}) {
        FILE* file = std::fopen((folder + seed).c_str(), "rb");
        ASSERT_NE(file, nullptr) << seed;
        std::string bytes;
        char buffer[4096];
        for (std::size_t read; (read = std::fread(buffer, 1, sizeof(buffer), file)) > 0;)
            bytes.append(buffer, read);
        std::fclose(file);
        ASSERT_FALSE(bytes.empty()) << seed;
        const char* profile = (bytes[0] & 1) ? "ps_4_0" : "vs_4_0";
        EXPECT_TRUE(CompileEntry(bytes.c_str() + 1, "QR_Main", profile, seed)) << seed;
    }
}
