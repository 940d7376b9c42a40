// The compile chain without a GL context: HLSL in, GLSL code or the front end's messages out.

#include "QP_ShaderCompiler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

QP_Result CompileText(const char* text, const char* profile, QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors,
                      const char* entry = "QR_Main")
{
    return QP_Compile(text, std::strlen(text), nullptr, entry, profile, code, errors);
}

// As the shader generator writes a stage: prelude macros, a block struct inside a cbuffer,
// texture/sampler pairs, and a main called by the entry point.
const char* const generatedPixelStage = R"(#define QR_Position float4
#define QR_TexCoord0 float2
#define QR_Colour float4
#define QR_Target float4
#define QR_Sample(aSampler, aTexCoords) aSampler##_texture.Sample(aSampler##_state, aTexCoords);
struct QR_ConstantBlockStruct0
{
float4x4 projection;
float fade;
float3 tint;
};
cbuffer QR_ConstantBlock0:register(b0)
{
  QR_ConstantBlockStruct0 custom;
};
Texture2D scene_texture:register(t0);
SamplerState scene_state:register(s0);
Texture2D noise_texture:register(t1);
SamplerState noise_state:register(s1);
struct QR_Input
{
  QR_Position inPosition : SV_POSITION;
  QR_TexCoord0 inTexCoord : TEXCOORD0;
  QR_Colour inColour : COLOR;
};
struct QR_Output
{
  QR_Target outColour : SV_TARGET;
};

void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Colour inColour, out QR_Target outColour)
{
  float4 s = QR_Sample(scene, inTexCoord)
  float4 n = QR_Sample(noise, inTexCoord)
  outColour = s * n * inColour * custom.fade + float4(custom.tint, 0);
}

QR_Output QR_Main(QR_Input input){
QR_Output output;
main(input.inPosition,input.inTexCoord,input.inColour,output.outColour);
return output;
}
)";

} // namespace

TEST(QP_ShaderCompilerTest, GeneratedStageBecomesGlslWithFlatConstantsCombinedSamplersAndSemanticLocations)
{
    QC_Ptr<QP_Blob> code, errors;
    ASSERT_EQ(CompileText(generatedPixelStage, "ps_4_0", &code, &errors), QP_OK) << QP_BlobText(errors.Get());
    const char* glsl = QP_ShaderCodeText(code.Get());
    ASSERT_NE(glsl, nullptr);
    const std::string text = glsl;
    EXPECT_NE(text.find("#version 450"), std::string::npos);
    // 80 bytes of HLSL packing: matrix rows 0-3, fade and tint sharing row 4.
    EXPECT_NE(text.find("uniform vec4 QP_Constants0[5];"), std::string::npos) << text;
    EXPECT_NE(text.find("QP_Constants0[4].yzw"), std::string::npos) << text;
    EXPECT_NE(text.find("layout(binding = 0) uniform sampler2D QP_Sampler0;"), std::string::npos) << text;
    EXPECT_NE(text.find("layout(binding = 1) uniform sampler2D QP_Sampler1;"), std::string::npos) << text;
    EXPECT_NE(text.find("layout(location = 0) in vec2"), std::string::npos) << "TEXCOORD0 at 0: " << text;
    EXPECT_NE(text.find("layout(location = 8) in vec4"), std::string::npos) << "COLOR at 8: " << text;
    // The stage's own main must not clash with GLSL's entry point.
    EXPECT_EQ(text.find("void main(vec4"), std::string::npos) << text;

    // The entry point is the caller's: one the text lacks is an error.
    EXPECT_EQ(CompileText(generatedPixelStage, "ps_4_0", &code, &errors, "NoSuchEntry"), QP_E_FAIL);
    EXPECT_FALSE(code);
    EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("Entry point not found"), std::string::npos) << QP_BlobText(errors.Get());
}

TEST(QP_ShaderCompilerTest, ErrorTextNamesTheLine)
{
    const char* broken = "float4 QR_Main(float4 position : SV_POSITION) : SV_TARGET\n"
                         "{\n"
                         "    float4 colour = float4(1, 0, 0, 1);\n"
                         "    return colour * undeclaredThing;\n"
                         "}\n";
    QC_Ptr<QP_Blob> code, errors;
    EXPECT_EQ(CompileText(broken, "ps_4_0", &code, &errors), QP_E_FAIL);
    EXPECT_FALSE(code);
    const std::string message = QP_BlobText(errors.Get());
    EXPECT_NE(message.find("ERROR: 0:4:"), std::string::npos) << message;
    EXPECT_NE(message.find("undeclaredThing"), std::string::npos) << message;

    // A source name takes the place of the 0.
    EXPECT_EQ(QP_Compile(broken, std::strlen(broken), "post.qcs", "QR_Main", "ps_4_0", &code, &errors), QP_E_FAIL);
    EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("post.qcs:4:"), std::string::npos) << QP_BlobText(errors.Get());
}

TEST(QP_ShaderCompilerTest, RefusesBadArgumentsAndSemanticsWithoutALocation)
{
    const char* pixel = "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return p; }";
    QC_Ptr<QP_Blob> code, errors;
    EXPECT_EQ(CompileText(pixel, "gs_4_0", &code, &errors), QP_E_INVALIDARG);
    EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("gs_4_0"), std::string::npos);
    EXPECT_EQ(QP_Compile(nullptr, 0, nullptr, "QR_Main", "ps_4_0", &code, &errors), QP_E_INVALIDARG);

    // A NUL inside the length would silently cut the text.
    const char withNul[] = "float4 QR_Main() : SV_TARGET { return 1; }\0garbage";
    EXPECT_EQ(QP_Compile(withNul, sizeof(withNul) - 1, nullptr, "QR_Main", "ps_4_0", &code, &errors), QP_E_FAIL);

    // A pixel stage writes render targets only: an output of another semantic is refused by name.
    const char* oddSemantic = "float4 QR_Main(float4 p : SV_POSITION, float4 c : FOGGY) : FOGGY { return c; }";
    EXPECT_EQ(CompileText(oddSemantic, "ps_4_0", &code, &errors), QP_E_FAIL);
    EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("FOGGY"), std::string::npos) << QP_BlobText(errors.Get());

    // Code bytes that are not compiled code give no text.
    EXPECT_EQ(QP_ShaderCodeText(errors.Get()), nullptr);
}

// Inputs that would crash the HLSL front end (tests/fuzz/crashers/, first byte: stage, as in the
// fuzz target) come back as error texts; unbalanced brackets are caught before the front end runs.
TEST(QP_ShaderCompilerTest, KeptCrashersUnbalancedBracketsAndStrayModifiersFailWithAMessage)
{
    const std::string folder = std::string(VC_SOURCE_DIR) + "/tests/fuzz/crashers/";
    const char* const crashers[] = {"shader_compile-glslang-unbalanced-constructor-call",
                                    "shader_compile-glslang-leading-in-declaration",
                                    "shader_compile-glslang-mul-with-float1",
                                    "shader_compile-glslang-unnamed-entry-parameter",
                                    "shader_compile-glslang-unbalanced-macro",
                                    "shader_compile-glslang-reserved-gl-name",
                                    "shader_compile-glslang-entry-parameter-unnamed",
                                    "shader_compile-spirv-legalise-mismatched-texture-local",
                                    "shader_compile-glslang-malformed-global-array-size",
                                    "shader_compile-glslang-conditional-bare-name"};
    for (const char* name : crashers) {
        FILE* file = std::fopen((folder + name).c_str(), "rb");
        ASSERT_NE(file, nullptr) << name;
        std::string bytes;
        char chunk[4096];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof(chunk), file)) > 0;)
            bytes.append(chunk, got);
        std::fclose(file);
        ASSERT_FALSE(bytes.empty());
        QC_Ptr<QP_Blob> code, errors;
        EXPECT_EQ(QP_Compile(bytes.data() + 1, bytes.size() - 1, nullptr, "QR_Main", (bytes[0] & 1) ? "ps_4_0" : "vs_4_0",
                             &code, &errors),
                  QP_E_FAIL)
            << name;
        EXPECT_NE(QP_BlobText(errors.Get())[0], '\0') << name;
    }

    QC_Ptr<QP_Blob> code, errors;
    const char* unclosed = "float4 QR_Main() : SV_TARGET\n{\n    return float4(1, 0, 0, 1;\n}\n";
    EXPECT_EQ(CompileText(unclosed, "ps_4_0", &code, &errors), QP_E_FAIL);
    EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("ERROR: 0:4: '}' : unexpected closing bracket, '(' of line 3"),
              std::string::npos)
        << QP_BlobText(errors.Get());
    // An entry point parameter that is a type alone is refused at its line; other functions and
    // an empty or void list are left to the front end.
    EXPECT_EQ(CompileText("float4 QR_Main(\n    float) : SV_TARGET { return 1; }", "ps_4_0", &code, &errors), QP_E_FAIL);
    EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("ERROR: 0:2: 'float' : entry point parameter without a name"),
              std::string::npos)
        << QP_BlobText(errors.Get());
    EXPECT_EQ(CompileText("float f(float) { return 2; }\nfloat4 QR_Main(void) : SV_TARGET { return (float)f(1); }",
                          "ps_4_0", &code, &errors),
              QP_OK)
        << QP_BlobText(errors.Get());
    // Brackets inside comments and strings do not count.
    const char* balanced = "#define RED(a) float4(a, 0, 0, 1)\n// ) ] }\n/* ( */ float4 QR_Main() : SV_TARGET { return RED(1); }";
    EXPECT_EQ(CompileText(balanced, "ps_4_0", &code, &errors), QP_OK) << QP_BlobText(errors.Get());
    // Parameter modifiers belong in parameter lists; identifiers that merely contain them pass.
    EXPECT_EQ(CompileText("out float;", "ps_4_0", &code, &errors), QP_E_FAIL);
    EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("'out' : parameter modifier"), std::string::npos);
    const char* modifiers = "static const int inside = 1;\n"
                            "void Shade(in float a, out float4 b, inout float c) { b = a + c + inside; }\n"
                            "float4 QR_Main(in float4 p : SV_POSITION) : SV_TARGET { float4 r; float c = 1; Shade(1, r, c); return r; }";
    EXPECT_EQ(CompileText(modifiers, "ps_4_0", &code, &errors), QP_OK) << QP_BlobText(errors.Get());
    EXPECT_EQ(CompileText("float4x4 m; float4 QR_Main(float4 p : POSITION) : SV_POSITION { float1 q = p.x; return mul(m, q); }",
                          "vs_4_0", &code, &errors),
              QP_E_FAIL);
    EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("'float1' : one-component"), std::string::npos);
    EXPECT_EQ(CompileText("float4x4 m; float4 QR_Main(float4 p : POSITION) : SV_POSITION { float float11 = p.x; return mul(p, m) * float11; }",
                          "vs_4_0", &code, &errors),
              QP_OK)
        << QP_BlobText(errors.Get());
    // A parameter with a semantic but no name is read as the platform compiler reads it: a value
    // the stage never uses, given a name before the front end sees it.
    EXPECT_EQ(CompileText("float4 QR_Main(uint : SV_VertexID) : SV_POSITION { return 0; }", "vs_4_0", &code, &errors),
              QP_OK)
        << QP_BlobText(errors.Get());
    // In any other parameter list it is still refused before the front end crashes on it.
    EXPECT_EQ(CompileText("float f(uint : SV_VertexID) { return 0; }\n"
                          "float4 QR_Main(uint id : SV_VertexID) : SV_POSITION { return f(id); }",
                          "vs_4_0", &code, &errors),
              QP_E_FAIL);
    EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("'uint' : parameter without a name"), std::string::npos)
        << QP_BlobText(errors.Get());
    EXPECT_EQ(CompileText("static const float k = 2;\n"
                          "float Pick(bool c, float a, float b) { return c ? a : b; }\n"
                          "float4 QR_Main(uint id : SV_VertexID) : SV_POSITION { return float4(Pick(id == 1, k, 1), id ? k : 0, 0.5, 1); }",
                          "vs_4_0", &code, &errors),
              QP_OK)
        << QP_BlobText(errors.Get());
    // The last operand of ?: as a bare name that is no value crashed the front end: refused at
    // its line. Declared names, members, calls, literals and longer operands pass.
    for (const char* operand : {"fl", "(fl)", "fl~x", "Pick"}) {
        const std::string text = "float Pick(float a) { return a; }\nfloat4 QR_Main() : SV_TARGET\n{ return 1 ? 2 : " +
                                 std::string(operand) + "; }";
        EXPECT_EQ(CompileText(text.c_str(), "ps_4_0", &code, &errors), QP_E_FAIL) << operand;
        EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("ERROR: 0:3: '"), std::string::npos)
            << operand << ": " << QP_BlobText(errors.Get());
    }
    for (const char* operand : {"k", "(k)", "s.a", "Pick(k)", "true", "k + 1", "k ? k : k"}) {
        const std::string text = "struct S { float a; }; static const float k = 2; static const S s = { 1 };\n"
                                 "float Pick(float a) { return a; }\nfloat4 QR_Main() : SV_TARGET { return 1 ? 2 : " +
                                 std::string(operand) + "; }";
        EXPECT_EQ(CompileText(text.c_str(), "ps_4_0", &code, &errors), QP_OK) << operand << ": " << QP_BlobText(errors.Get());
    }
    // A macro may hold half a bracket pair; the guards see the brackets where it is used.
    EXPECT_EQ(CompileText("#define OPEN (\nfloat4 QR_Main() : SV_TARGET { return 1; }", "ps_4_0", &code, &errors), QP_OK)
        << QP_BlobText(errors.Get());
    EXPECT_EQ(CompileText("#define OPEN (\nfloat4 QR_Main() : SV_TARGET\n{ return OPEN 1; }", "ps_4_0", &code, &errors),
              QP_E_FAIL);
    EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("ERROR: 0:3: '}' : unexpected closing bracket, '(' of line 3"),
              std::string::npos)
        << QP_BlobText(errors.Get());
    // A global named like a GL built-in crashed the front end; such names take a prefix first.
    EXPECT_EQ(CompileText("float4 gl_Colour; float4 QR_Main() : SV_TARGET { return gl_Colour; }", "ps_4_0", &code, &errors),
              QP_OK)
        << QP_BlobText(errors.Get());
    const char* renamed = code ? QP_ShaderCodeText(code.Get()) : nullptr;
    EXPECT_EQ(std::string(renamed ? renamed : "gl_Colour").find(" gl_Colour"), std::string::npos) << (renamed ? renamed : "");
    // A global array size the front end stops reading before its ']' crashed it; so did one
    // of a parameter. Inside a function the front end reports it itself.
    for (const char* size : {"1 2", "1, 2", "f(,)", "sizeof", "if", "(1) 2"}) {
        const std::string global = std::string("static const float w[") + size + "] = { 1, 2 };\n"
                                   "float4 QR_Main() : SV_TARGET { return w[0]; }";
        EXPECT_EQ(CompileText(global.c_str(), "ps_4_0", &code, &errors), QP_E_FAIL) << size;
        EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("ERROR: 0:1: '[' : an array size must be one constant"),
                  std::string::npos)
            << size << ": " << QP_BlobText(errors.Get());
    }
    EXPECT_EQ(CompileText("float f(float w[1 2]) { return w[0]; }\nfloat4 QR_Main() : SV_TARGET { return 1; }", "ps_4_0",
                          &code, &errors),
              QP_E_FAIL);
    EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("an array size must be one"), std::string::npos);
    EXPECT_EQ(CompileText("static const int N = 2;\nstatic const float w[(int)(N * 2.5) - 1] = { 1, 2, 3, 4 };\n"
                          "float4 QR_Main() : SV_TARGET { return w[int(w[3]) - 1]; }",
                          "ps_4_0", &code, &errors),
              QP_OK)
        << QP_BlobText(errors.Get());
    std::string deep = "float4 QR_Main() : SV_TARGET { return ";
    deep += std::string(200, '(') + "1" + std::string(200, ')') + "; }";
    EXPECT_EQ(CompileText(deep.c_str(), "ps_4_0", &code, &errors), QP_E_FAIL);
    EXPECT_NE(std::string(QP_BlobText(errors.Get())).find("too deeply"), std::string::npos);
}
