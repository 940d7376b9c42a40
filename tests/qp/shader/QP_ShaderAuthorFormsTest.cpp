// HLSL forms shader authors paste, drawn on the headless device: token pasting, flat initialiser
// lists, select, vectors narrowed to their parameters, matrix vertex inputs fed per instance, SV_Position among the pixel inputs, an
// unnamed entry parameter, a static constant inside a constant buffer; and the two forms that
// stay refused, named at their line.

#include "support/GpuTestSupport.h"

#include "QR_ShaderMessages.h"

#include <fstream>
#include <iterator>
#include <string>

namespace
{
class QP_ShaderAuthorFormsTest : public QP_GpuTest
{
protected:
    // Draws a full-screen quad with the common vertex stage and this pixel stage.
    void DrawWithPixelStage(const char* pixelStage)
    {
        UseVertexShader(gpuPassThroughVertexShader);
        UsePixelShader(pixelStage);
        ClearBackBuffer(0, 0, 0, 0);
        DrawQuad(-1, -1, 1, 1);
        ReadBack();
    }

    std::string Refusal(const char* source, const char* profile)
    {
        QC_Ptr<QP_Blob> code, errors;
        EXPECT_EQ(QP_Compile(source, std::strlen(source), "forms.hlsl", "QR_Main", profile, &code, &errors), QP_E_FAIL);
        EXPECT_FALSE(code);
        return QP_BlobText(errors.Get());
    }
};
} // namespace

TEST_F(QP_ShaderAuthorFormsTest, PastingANumberOrAnEmptyArgumentGivesTheJoinedToken)
{
    // The front end's own pasting refuses a number or nothing on the left; names still paste and
    // rescan as before (TEXCOORD##n, then SHADE expands).
    DrawWithPixelStage(R"(
#define JOIN(a, b) a##b
#define HALF(n) n##.5
#define FRACTION(whole, digits) whole##.##digits
#define SEMANTIC(n) TEXCOORD##n
#define SHADE_0 0.75
#define SHADE(n) SHADE_##n
float4 QR_Main(float4 p : SV_Position, float2 uv : SEMANTIC(0)) : SV_Target
{
    return float4(HALF(0), FRACTION(0, 25), JOIN(1, 2) / 48.0 + JOIN(, 0), SHADE(0));
}
)");
    EXPECT_TRUE(Near(Pixel(size / 2, size / 2), {128, 64, 64, 191}));

    // A refusal of the front end's pasting that the second pass cannot mend either stays refused.
    const std::string message = Refusal("#define JOIN(a, b) a##b\nfloat4 QR_Main() : SV_Target { return JOIN(1, 2) }\n",
                                        "ps_4_0");
    EXPECT_NE(message.find("forms.hlsl:2:"), std::string::npos) << message;
}

TEST_F(QP_ShaderAuthorFormsTest, FlatInitialiserListsFillVectorsArraysMatricesAndStructuresInOrder)
{
    // Each value read below sits at a different place of its list: a wrong nesting reads
    // another number (or the front end refuses the list).
    DrawWithPixelStage(R"(
struct Light { float2 position; float strength; float4 colours[2]; };
static const Light light = { 0.1, 0.2, 0.3,  0.9, 0.9, 0.9, 0.9,  0.25, 0.5, 0.75, 1.0 };
static const float4 points[] = { 0.78, 0.56, 1.5, -0.12,
                                 0.2, 0.4, 0.6, 0.8 };
static const float2x2 turns[2] = { 1, 2, 3, 4, 0.0, 0.1, 0.5, 0.3 };
static const float3 mixed[2] = { float3(9, 9, 9), 0.1, 0.2, 0.9 };
float4 QR_Main(float4 p : SV_Position, float2 uv : TEXCOORD0) : SV_Target
{
    float2 local[2] = { 0.5, 0.5,
                        0.5, 1.0 };
    return float4(light.colours[1].y, points[1].w * turns[1][1][0] * 2, mixed[1].z * local[1].y,
                  points[0].z == 1.5 ? 1 : 0);
}
)");
    EXPECT_TRUE(Near(Pixel(size / 2, size / 2), {128, 204, 230, 255}));

    QC_Ptr<QP_Blob> code, errors;
    // An unsized list of eight scalars makes two float4s, not eight splatted ones.
    const char* unsized = "static const float4 points[] = { 1, 2, 3, 4, 5, 6, 7, 8 };\n"
                          "float4 QR_Main(float4 p : SV_Position) : SV_Target { return points[uint(p.x) % 2]; }\n";
    ASSERT_EQ(QP_Compile(unsized, std::strlen(unsized), nullptr, "QR_Main", "ps_4_0", &code, &errors), QP_OK)
        << QP_BlobText(errors.Get());
    const std::string glsl = QP_ShaderCodeText(code.Get());
    EXPECT_NE(glsl.find("vec4(5.0, 6.0, 7.0, 8.0)"), std::string::npos) << glsl;
    EXPECT_EQ(glsl.find("[8]"), std::string::npos) << glsl;
    // A list that does not fill its type is still refused, at its line.
    const std::string message = Refusal("static const float4 points[2] =\n{ 1, 2, 3, 4, 5, 6, 7 };\n"
                                        "float4 QR_Main() : SV_Target { return points[1]; }\n",
                                        "ps_4_0");
    EXPECT_NE(message.find("forms.hlsl:"), std::string::npos) << message;
}

TEST_F(QP_ShaderAuthorFormsTest, SelectChoosesPerComponentAndAFunctionOfThatNameKeepsItsCalls)
{
    // Left half: uv.x < 0.5 picks b's x; the second component's condition differs from the
    // first, so a whole-vector choice would fail one half.
    DrawWithPixelStage(R"(
float4 QR_Main(float4 p : SV_Position, float2 uv : TEXCOORD0) : SV_Target
{
    bool2 right = bool2(uv.x > 0.5, uv.x < 0.5);
    float2 chosen = select(right, float2(1, 1), float2(0.25, select(true, 0.5, 0.0)));
    return float4(chosen, 0, 1);
}
)");
    EXPECT_TRUE(Near(Pixel(size / 4, size / 2), {64, 255, 0, 255}));
    EXPECT_TRUE(Near(Pixel(3 * size / 4, size / 2), {255, 128, 0, 255}));

    DrawWithPixelStage(R"(
float select(float a, float b, float c) { return a * b * c; }
float4 QR_Main(float4 p : SV_Position) : SV_Target { return float4(select(1, 0.5, 0.5), 0, 0, 1); }
)");
    EXPECT_TRUE(Near(Pixel(size / 2, size / 2), {64, 0, 0, 255}));
}

TEST_F(QP_ShaderAuthorFormsTest, VectorNarrowedToItsParameterKeepsItsFirstComponentsWithAWarning)
{
    const char* pixelStage = R"(float Half(float a) { return a * 0.5; }
float2 Scale(in float2 a, float by) { return a * by; }
void Keep(float a, out float b) { b = a; }
float4 QR_Main(float4 p : SV_Position, float2 uv : TEXCOORD0) : SV_Target
{
    uint2 cell = uint2(3, 7);
    uint index = cell;
    float4 v = float4(0.5, 0.25, 1, 1);
    float kept;
    Keep(index / 6.0, kept);
    float2 scaled = Scale(v,
                          v * 2);
    return float4(Half(v), scaled, kept);
}
)";
    QC_Ptr<QP_Blob> code, errors;
    ASSERT_EQ(QP_Compile(pixelStage, std::strlen(pixelStage), "forms.hlsl", "QR_Main", "ps_4_0", &code, &errors), QP_OK)
        << QP_BlobText(errors.Get());
    const std::string warnings = QP_BlobText(errors.Get());
    EXPECT_NE(warnings.find("WARNING: forms.hlsl:7: implicit truncation of vector type"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("WARNING: forms.hlsl:11: 'Scale' : implicit truncation of vector type"), std::string::npos)
        << warnings;
    // The casts the conversion writes narrow on purpose: no second warning for those lines.
    EXPECT_EQ(warnings.find("forms.hlsl:11: implicit"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("WARNING: forms.hlsl:13: 'Half' : implicit truncation"), std::string::npos) << warnings;
    EXPECT_EQ(warnings.find("'Keep'"), std::string::npos) << "its arguments fit: " << warnings;
    DrawWithPixelStage(pixelStage);
    // Half(v) = 0.25; Scale(v.xy, (v * 2).x) = (0.5, 0.25); index = 3, so kept = 0.5.
    EXPECT_TRUE(Near(Pixel(size / 2, size / 2), {64, 128, 64, 128}));

    // Narrowing written out (a constructor or a cast, of a sum too) warns of nothing.
    const char* explicitNarrowing = "float4 QR_Main(float4 p : SV_Position) : SV_Target\n"
                                    "{\n    uint2 v = uint2(p.xy);\n    uint a = uint(v + 1);\n"
                                    "    uint b = (uint)(v * 2);\n    float2 c = (float2)p;\n"
                                    "    return float4(a, b, c);\n}\n";
    ASSERT_EQ(QP_Compile(explicitNarrowing, std::strlen(explicitNarrowing), "forms.hlsl", "QR_Main", "ps_4_0", &code,
                         &errors),
              QP_OK);
    EXPECT_STREQ(QP_BlobText(errors.Get()), "");

    // An overloaded function keeps the front end's refusal: which overload was meant is unclear.
    const std::string message = Refusal("float Half(float a) { return a; }\nfloat Half(int a) { return a; }\n"
                                        "float4 QR_Main() : SV_Target { return Half(float4(1, 2, 3, 4)); }\n",
                                        "ps_4_0");
    EXPECT_NE(message.find("forms.hlsl:3: 'Half' : no matching overloaded function found"), std::string::npos)
        << message;
}

TEST_F(QP_ShaderAuthorFormsTest, MatrixInputTakesOneLayoutElementPerRowFedPerInstance)
{
    const char* vertexStage = R"(
struct VSIn { float4 position : POSITION; float2 uv : TEXCOORD0; float4x4 placement : INSTMATRIX; float4 tint : TINT; };
struct VSOut { float4 position : SV_Position; float4 tint : COLOR0; };
VSOut QR_Main(VSIn input)
{
    VSOut output;
    output.position = mul(input.position, input.placement);
    output.tint = input.tint;
    return output;
}
)";
    QC_Ptr<QP_Blob> code = Compile(vertexStage, "vs_4_0");
    ASSERT_TRUE(code);
    QC_Ptr<QP_VertexShader> vertexShader;
    ASSERT_EQ(device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), &vertexShader), QP_OK);
    UsePixelShader("float4 QR_Main(float4 p : SV_Position, float4 tint : COLOR0) : SV_Target { return tint; }");
    const QP_InputElementDesc elements[] = {
        {"POSITION", 0, QP_FORMAT_R32G32B32A32_FLOAT, 0, 0, QP_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 0, QP_FORMAT_R32G32_FLOAT, 0, QP_APPEND_ALIGNED_ELEMENT, QP_INPUT_PER_VERTEX_DATA, 0},
        {"INSTMATRIX", 0, QP_FORMAT_R32G32B32A32_FLOAT, 1, 0, QP_INPUT_PER_INSTANCE_DATA, 1},
        {"INSTMATRIX", 1, QP_FORMAT_R32G32B32A32_FLOAT, 1, QP_APPEND_ALIGNED_ELEMENT, QP_INPUT_PER_INSTANCE_DATA, 1},
        {"INSTMATRIX", 2, QP_FORMAT_R32G32B32A32_FLOAT, 1, QP_APPEND_ALIGNED_ELEMENT, QP_INPUT_PER_INSTANCE_DATA, 1},
        {"INSTMATRIX", 3, QP_FORMAT_R32G32B32A32_FLOAT, 1, QP_APPEND_ALIGNED_ELEMENT, QP_INPUT_PER_INSTANCE_DATA, 1},
        {"TINT", 0, QP_FORMAT_R32G32B32A32_FLOAT, 1, QP_APPEND_ALIGNED_ELEMENT, QP_INPUT_PER_INSTANCE_DATA, 1},
    };
    QC_Ptr<QP_InputLayout> layout;
    ASSERT_EQ(device->CreateInputLayout(elements, 7, code->GetBufferPointer(), code->GetBufferSize(), &layout), QP_OK);
    // Without the last row the layout cannot feed the matrix.
    const QP_InputElementDesc threeRows[] = {elements[0], elements[1], elements[2], elements[3], elements[4], elements[6]};
    QC_Ptr<QP_InputLayout> short3;
    EXPECT_EQ(device->CreateInputLayout(threeRows, 6, code->GetBufferPointer(), code->GetBufferSize(), &short3),
              QP_E_INVALIDARG);
    context->VSSetShader(vertexShader.Get());
    context->IASetInputLayout(layout.Get());
    // Under a fixed semantic the rows take the locations after it: COLOR0's rows would reach
    // TEXCOORD0's.
    const std::string overlap = Refusal("float4 QR_Main(float4x4 m : COLOR0, float4 uv : TEXCOORD0) : SV_Position\n"
                                        "{ return m[0] + uv; }\n",
                                        "vs_4_0");
    EXPECT_NE(overlap.find("overlaps another vertex input"), std::string::npos) << overlap;

    // Rows as the application writes them for mul(position, placement): half size, then moved
    // by the last row; instance 0 to the left half's top, instance 1 to the right half's bottom.
    struct Instance
    {
        float placement[4][4];
        float tint[4];
    };
    const Instance instances[2] = {
        {{{0.5f, 0, 0, 0}, {0, 0.5f, 0, 0}, {0, 0, 1, 0}, {-0.5f, 0.5f, 0, 1}}, {1, 0, 0, 1}},
        {{{0.5f, 0, 0, 0}, {0, 0.5f, 0, 0}, {0, 0, 1, 0}, {0.5f, -0.5f, 0, 1}}, {0, 0, 1, 1}},
    };
    QP_BufferDesc desc;
    desc.byteWidth = sizeof(instances);
    desc.bindFlags = QP_BIND_VERTEX_BUFFER;
    QP_SubresourceData data;
    data.sysMem = instances;
    QC_Ptr<QP_Buffer> instanceBuffer;
    ASSERT_EQ(device->CreateBuffer(&desc, &data, &instanceBuffer), QP_OK);
    std::vector<GpuVertex> vertices;
    AppendQuad(vertices, -1, -1, 1, 1);
    QC_Ptr<QP_Buffer> vertexBuffer = MakeVertexBuffer(vertices);
    QP_Buffer* buffers[] = {vertexBuffer.Get(), instanceBuffer.Get()};
    const std::uint32_t strides[] = {sizeof(GpuVertex), sizeof(Instance)}, offsets[] = {0, 0};
    context->IASetVertexBuffers(0, 2, buffers, strides, offsets);
    ClearBackBuffer(0, 0, 0, 0);
    context->DrawInstanced(6, 2, 0, 0);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(size / 4, size / 4), {255, 0, 0, 255})) << "instance 0, top left";
    EXPECT_TRUE(Near(Pixel(3 * size / 4, 3 * size / 4), {0, 0, 255, 255})) << "instance 1, bottom right";
    EXPECT_TRUE(Near(Pixel(3 * size / 4, size / 4), {0, 0, 0, 0})) << "no instance at the top right";
}

TEST_F(QP_ShaderAuthorFormsTest, PixelStageReadsSvPositionBesideOtherValuesAndWithoutANameWhereUnused)
{
    // SV_Position0 among the inputs of a structure, between two values passed on by the vertex
    // stage; the pixel's own position decides the red channel.
    DrawWithPixelStage(R"(
struct PSIn { float2 uv : TEXCOORD0; float4 position : SV_Position0; };
float4 QR_Main(PSIn input) : SV_Target
{
    return float4(input.position.x < 32 ? 1 : 0, input.uv, 1);
}
)");
    EXPECT_TRUE(Near(Pixel(size / 4, size / 4), {255, 64, 64, 255}));
    EXPECT_TRUE(Near(Pixel(3 * size / 4, 3 * size / 4), {0, 191, 191, 255}));

    // Read as fewer components than GL's vec4: the first ones.
    DrawWithPixelStage(R"(
struct PSIn { float2 uv : TEXCOORD0; float2 position : SV_Position; };
float4 QR_Main(PSIn input) : SV_Target
{
    return float4(input.position / 64, input.uv.x, 1);
}
)");
    EXPECT_TRUE(Near(Pixel(16, 48), {66, 193, 66, 255}));

    // The position is declared, never named; the entry point still reads the value after it.
    DrawWithPixelStage("float4 QR_Main(in float4 : SV_Position,\n  float2 uv : TEXCOORD0) : SV_Target\n"
                       "{ return float4(uv, 0, 1); }\n");
    EXPECT_TRUE(Near(Pixel(3 * size / 4, size / 4), {191, 64, 0, 255}));
}

TEST_F(QP_ShaderAuthorFormsTest, StaticConstantInsideAConstantBufferKeepsTheMembersAfterItInPlace)
{
    UseVertexShader(gpuPassThroughVertexShader);
    UsePixelShader(R"(
cbuffer Look : register(b0)
{
    float4 tint;
    static const float weights[3] = { 0.25, 0.5, 0.75 };
    float4 offset;
};
float4 QR_Main(float4 p : SV_Position) : SV_Target { return tint * weights[1] + offset; }
)");
    // Two float4s in all: offset follows tint directly.
    const float constants[2][4] = {{1, 0.5f, 0, 1}, {0, 0, 0.25f, 0}};
    QC_Ptr<QP_Buffer> buffer = MakeConstantBuffer(constants, sizeof(constants));
    QP_Buffer* bound[] = {buffer.Get()};
    context->PSSetConstantBuffers(0, 1, bound);
    ClearBackBuffer(0, 0, 0, 0);
    DrawQuad(-1, -1, 1, 1);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(size / 2, size / 2), {128, 64, 64, 128}));
}

TEST_F(QP_ShaderAuthorFormsTest, InterfacesAndReadWriteResourcesAreRefusedAtTheirLineInTheOneMessageForm)
{
    const char* linkage = "float4 ambient;\n"
                          "interface ILight\n{\n    float3 Shade(float3 normal);\n};\n"
                          "class Ambient : ILight { float3 Shade(float3 normal) { return ambient.rgb; } };\n"
                          "float4 QR_Main(float4 p : SV_Position) : SV_Target { return ambient; }\n";
    std::string message = Refusal(linkage, "ps_5_0");
    EXPECT_NE(message.find("forms.hlsl:2: 'interface' : interfaces and classes (dynamic shader linkage) are not "
                           "supported"),
              std::string::npos)
        << message;
    EXPECT_STREQ(QR_ShaderMessages::FromCompiler(message.c_str(), "forms.hlsl", 1).CStr(),
                 "forms.hlsl(2): error: 'interface' : interfaces and classes (dynamic shader linkage) are not "
                 "supported; use structs and functions\n");
    const char* classOnly = "float4 ambient;\n\nclass Ambient { float3 c; };\nfloat4 QR_Main() : SV_Target { return 1; }\n";
    message = Refusal(classOnly, "ps_5_0");
    EXPECT_NE(message.find("forms.hlsl:3: 'class'"), std::string::npos) << message;
    // Names that merely hold the words stay names.
    QC_Ptr<QP_Blob> code, errors;
    const char* words = "static const float interfaceWidth = 0.5;\nstruct classic { float a; };\n"
                        "float4 QR_Main() : SV_Target { classic c; c.a = interfaceWidth; return c.a; }\n";
    EXPECT_EQ(QP_Compile(words, std::strlen(words), nullptr, "QR_Main", "ps_5_0", &code, &errors), QP_OK)
        << QP_BlobText(errors.Get());

    const char* readWrite = "float4 unused;\nRWTexture2D<float4> target : register(u1);\n"
                            "float4 QR_Main(float4 p : SV_Position) : SV_Target { target[uint2(0, 0)] = p; return p; }\n";
    message = Refusal(readWrite, "ps_5_0");
    EXPECT_NE(message.find("forms.hlsl:2: 'target' : read-write resources"), std::string::npos) << message;
    EXPECT_EQ(std::string(QR_ShaderMessages::FromCompiler(message.c_str(), "forms.hlsl", 1).CStr())
                  .rfind("forms.hlsl(2): error: 'target' : read-write resources", 0),
              0u)
        << message;
}

// The fuzz seeds of these forms start the fuzzer from texts that compile, or that are refused by
// name (first byte: stage, as in the fuzz target).
TEST_F(QP_ShaderAuthorFormsTest, FuzzSeedsOfTheFormsCompileOrAreRefusedByName)
{
    const std::string folder = std::string(VC_SOURCE_DIR) + "/tests/fuzz/seeds/shader_compile/";
    struct Seed
    {
        const char* name;
        const char* refusal; // null: compiles
    };
    const Seed seeds[] = {
        {"pixel_token_pasting", nullptr},          {"pixel_flat_initialisers", nullptr},
        {"pixel_select", nullptr},                 {"vertex_matrix_input", nullptr},
        {"pixel_position_among_inputs", nullptr},  {"pixel_unnamed_parameter", nullptr},
        {"pixel_static_in_constant_buffer", nullptr}, {"pixel_narrowed_arguments", nullptr},
        {"pixel_interface_refused", "0:2: 'interface' : interfaces"},
        {"pixel_read_write_refused", "0:1: 'target' : read-write resources"},
    };
    for (const Seed& seed : seeds) {
        std::ifstream in(folder + seed.name, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(bytes.empty()) << seed.name;
        QC_Ptr<QP_Blob> code, errors;
        const QP_Result result = QP_Compile(bytes.data() + 1, bytes.size() - 1, nullptr, "QR_Main",
                                            (bytes[0] & 1) ? "ps_5_0" : "vs_5_0", &code, &errors);
        if (!seed.refusal) {
            EXPECT_EQ(result, QP_OK) << seed.name << ": " << QP_BlobText(errors.Get());
            continue;
        }
        EXPECT_EQ(result, QP_E_FAIL) << seed.name;
        EXPECT_NE(std::string(QP_BlobText(errors.Get())).find(seed.refusal), std::string::npos)
            << seed.name << ": " << QP_BlobText(errors.Get());
    }
}
