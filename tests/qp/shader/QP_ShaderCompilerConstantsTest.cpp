// Constant buffers, textures and samplers as shader authors write them: registers given or left
// to the compiler, buffers the entry point never reads, int/uint/bool members next to floats,
// arrays of structs passed whole to functions. Each accepted shader is drawn (or at least made
// into a device shader) on the headless device, so its GLSL is known to compile.

#include "support/GpuTestSupport.h"

#include <climits>
#include <cstring>
#include <string>

namespace {

// One 16-byte constant buffer holding value in its first float.
struct Row
{
    float x, y, z, w;
};

} // namespace

class QP_ShaderCompilerConstantsTest : public QP_GpuTest
{
protected:
    // Compiles a pixel stage and makes a device shader of it; returns the compiler's messages.
    std::string CompilePixelStage(const char* source, QC_Ptr<QP_PixelShader>* shader = nullptr)
    {
        QC_Ptr<QP_Blob> code, errors;
        if (QP_Compile(source, std::strlen(source), nullptr, "QR_Main", "ps_4_0", &code, &errors) != QP_OK)
            return std::string("failed: ") + QP_BlobText(errors.Get());
        QC_Ptr<QP_PixelShader> created;
        if (device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), &created) != QP_OK)
            return std::string("device refused the GLSL: ") + QP_ShaderCodeText(code.Get());
        if (shader)
            *shader = created;
        return "";
    }

    void BindPixelConstants(std::uint32_t slot, const void* data, std::uint32_t bytes)
    {
        buffers.push_back(MakeConstantBuffer(data, bytes));
        QP_Buffer* bound[] = {buffers.back().Get()};
        context->PSSetConstantBuffers(slot, 1, bound);
    }

    // Draws source over the whole back buffer and reads it back.
    void DrawFullScreen(const char* source)
    {
        ClearBackBuffer(0, 0, 0, 0);
        UseVertexShader(gpuPassThroughVertexShader);
        UsePixelShader(source);
        DrawQuad(-1, -1, 1, 1);
        ReadBack();
    }

    QC_Ptr<QP_Texture2D> MakeOneTexel(std::uint8_t r, std::uint8_t g, std::uint8_t b)
    {
        const std::uint8_t texel[4] = {r, g, b, 255};
        QP_Texture2DDesc desc;
        desc.width = 1;
        desc.height = 1;
        desc.format = QP_FORMAT_R8G8B8A8_UNORM;
        desc.bindFlags = QP_BIND_SHADER_RESOURCE;
        QP_SubresourceData data;
        data.sysMem = texel;
        data.sysMemPitch = 4;
        QC_Ptr<QP_Texture2D> texture;
        EXPECT_EQ(device->CreateTexture2D(&desc, &data, &texture), QP_OK);
        return texture;
    }

    std::vector<QC_Ptr<QP_Buffer>> buffers;
};

TEST_F(QP_ShaderCompilerConstantsTest, BuffersWithoutRegistersTakeTheLowestFreeSlotsInDeclarationOrder)
{
    // Fixed keeps b0; the globals outside any cbuffer come first of the rest (b1), then First
    // (b2) and Second (b3) as declared, although Second is read first.
    const char* source = R"(
cbuffer First { float4 first; };
cbuffer Fixed : register(b0) { float4 fixedValue; };
float4 globalTint;
cbuffer Second { float4 second; };
float4 QR_Main(float4 position : SV_POSITION) : SV_TARGET
{
    return float4(second.x, 0, 0, 0).wzyx + float4(fixedValue.x, globalTint.x, first.x, 0);
}
)";
    const float values[4] = {0.1f, 0.3f, 0.5f, 0.7f};
    for (std::uint32_t slot = 0; slot < 4; ++slot) {
        const Row row = {values[slot], 0, 0, 0};
        BindPixelConstants(slot, &row, sizeof(row));
    }
    DrawFullScreen(source);
    EXPECT_TRUE(Near(Pixel(10, 10), {26, 77, 128, 179})) << "b0 Fixed, b1 $Global, b2 First, b3 Second";

    // Two explicit registers the entry point reads clash; one it never reads is no clash.
    const char* clash = "cbuffer A : register(b2) { float4 a; };\n"
                        "cbuffer B : register(b2) { float4 b; };\n"
                        "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return a + b; }\n";
    std::string messages = CompilePixelStage(clash);
    EXPECT_NE(messages.find("ERROR: 0:2: 'A' and 'B' share register b2"), std::string::npos) << messages;
    const char* unusedClash = "cbuffer A : register(b2) { float4 a; };\n"
                              "cbuffer B : register(b2) { float4 b; };\n"
                              "float4 Unused() { return a; }\n"
                              "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return b; }\n";
    EXPECT_EQ(CompilePixelStage(unusedClash), "");
    EXPECT_NE(CompilePixelStage("cbuffer A : register(b14) { float4 a; };\n"
                                "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return a; }\n")
                  .find("ERROR: 0:1: Register b14 of 'A' is outside"),
              std::string::npos);
}

TEST_F(QP_ShaderCompilerConstantsTest, UnreadBufferAtTheSameRegisterIsLeftOutOfTheShader)
{
    const char* source = R"(
cbuffer Unread : register(b0) { float4 unread; };
cbuffer Read : register(b0) { float4 colour; };
float4 Never() { return unread; }
float4 QR_Main(float4 position : SV_POSITION) : SV_TARGET { return colour; }
)";
    QC_Ptr<QP_Blob> code, errors;
    ASSERT_EQ(QP_Compile(source, std::strlen(source), nullptr, "QR_Main", "ps_4_0", &code, &errors), QP_OK)
        << QP_BlobText(errors.Get());
    const std::string glsl = QP_ShaderCodeText(code.Get());
    EXPECT_NE(glsl.find("uniform vec4 QP_Constants0[1];"), std::string::npos) << glsl;
    EXPECT_EQ(glsl.find("QP_Constants1"), std::string::npos) << glsl;

    const Row colour = {0.2f, 0.4f, 0.6f, 0.8f};
    BindPixelConstants(0, &colour, sizeof(colour));
    DrawFullScreen(source);
    EXPECT_TRUE(Near(Pixel(5, 50), {51, 102, 153, 204}));
}

TEST_F(QP_ShaderCompilerConstantsTest, TexturesAndSamplersWithoutRegistersTakeFreeSlots)
{
    // Explicit keeps t0; Loose takes t1; the sampler without a register takes s0.
    const char* source = R"(
Texture2D Loose;
Texture2D Explicit : register(t0);
SamplerState pointSampler;
struct PSIn { float4 position : SV_POSITION; float2 uv : TEXCOORD0; };
float4 QR_Main(PSIn input) : SV_TARGET
{
    return float4(Loose.Sample(pointSampler, input.uv).g, Explicit.Sample(pointSampler, input.uv).r, 0, 1);
}
)";
    QC_Ptr<QP_Texture2D> red = MakeOneTexel(255, 0, 0), green = MakeOneTexel(0, 255, 0);
    QC_Ptr<QP_ShaderResourceView> redView, greenView;
    ASSERT_EQ(device->CreateShaderResourceView(red.Get(), nullptr, &redView), QP_OK);
    ASSERT_EQ(device->CreateShaderResourceView(green.Get(), nullptr, &greenView), QP_OK);
    QP_ShaderResourceView* views[] = {redView.Get(), greenView.Get()};
    context->PSSetShaderResources(0, 2, views);
    QC_Ptr<QP_SamplerState> sampler = PointSampler();
    QP_SamplerState* samplers[] = {sampler.Get()};
    context->PSSetSamplers(0, 1, samplers);
    DrawFullScreen(source);
    EXPECT_TRUE(Near(Pixel(32, 32), {255, 255, 0, 255})) << "Loose on t1 (green), Explicit on t0 (red)";

    // Two textures and two samplers, none with a register, all in use.
    const char* pairs = R"(
Texture2D a; Texture2D b; SamplerState sa; SamplerState sb;
float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return a.Sample(sa, p.xy) + b.Sample(sb, p.xy); }
)";
    EXPECT_EQ(CompilePixelStage(pairs), "");
    // An array takes one register per element; a clash is placed at the second texture's use.
    const char* arrays = R"(
Texture2D layers[3]; Texture2D single : register(t1); SamplerState s;
float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return layers[2].Sample(s, p.xy) + single.Sample(s, p.xy); }
)";
    EXPECT_EQ(CompilePixelStage(arrays), "") << "layers at t2-t4 around single at t1";
    const char* clash = "Texture2D a : register(t3); SamplerState s;\n"
                        "Texture2D b : register(t3);\n"
                        "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET {\n"
                        "    return a.Sample(s, p.xy) + b.Sample(s, p.xy); }\n";
    const std::string messages = CompilePixelStage(clash);
    EXPECT_NE(messages.find("ERROR: 0:4: 'a' and 'b' share register t3"), std::string::npos) << messages;
}

// Bytes 0-115 of the buffer, as HLSL packs it: a float3 with an int in the rest of its row, an
// int4, a bool, a float4x4 on a row of its own, a uint after it.
namespace {

struct MixedConstants
{
    float position[3];
    std::int32_t packedInt;
    std::int32_t counts[4];
    std::uint32_t enabled; // HLSL bool: four bytes
    std::uint32_t padding[3];
    float transform[16]; // column-major: column c at floats 4c..4c+3
    std::uint32_t mask;
    std::uint32_t tail[3];
};
static_assert(sizeof(MixedConstants) == 128, "eight 16-byte rows");

} // namespace

TEST_F(QP_ShaderCompilerConstantsTest, MixedIntUintBoolFloatBufferIsReadByteForByte)
{
    // Pixel column i shows the four bytes of value i as its four channels.
    const char* source = R"(
cbuffer Mixed
{
    float3 position;
    int packedInt;
    int4 counts;
    bool enabled;
    float4x4 transform;
    uint mask;
};
uint Pick(uint i)
{
    switch (i) {
    case 0: return asuint(position.x);
    case 1: return asuint(position.z);
    case 2: return (uint)packedInt;
    case 3: return (uint)counts.x;
    case 4: return (uint)counts.y;
    case 5: return (uint)counts.z;
    case 6: return (uint)counts.w;
    case 7: return enabled ? 0x01020304u : 0xA0B0C0D0u;
    case 8: return asuint(transform[1][2]);
    case 9: return asuint(mul(transform, float4(0, 0, 0, 1)).w);
    case 10: return mask;
    default: return 0u;
    }
}
float4 QR_Main(float4 position : SV_POSITION) : SV_TARGET
{
    uint v = Pick((uint)position.x);
    return float4(v & 0xFFu, (v >> 8) & 0xFFu, (v >> 16) & 0xFFu, v >> 24) / 255.0;
}
)";
    MixedConstants constants;
    std::memset(&constants, 0, sizeof(constants));
    constants.position[0] = 1.5f;
    constants.position[2] = -2.25f;
    constants.packedInt = 3; // a denormal if it were read as a float
    constants.counts[0] = -123456789;
    constants.counts[1] = INT_MIN; // -0.0 as a float
    constants.counts[2] = INT_MAX; // a NaN as a float
    constants.counts[3] = 1;
    constants.enabled = 1;
    for (int i = 0; i < 16; ++i)
        constants.transform[i] = 100.0f + static_cast<float>(i);
    constants.mask = 0xFFC00001u; // another NaN
    BindPixelConstants(0, &constants, sizeof(constants));
    DrawFullScreen(source);

    auto bytesOf = [](std::uint32_t v) {
        return GpuColour{static_cast<int>(v & 0xFFu), static_cast<int>((v >> 8) & 0xFFu),
                         static_cast<int>((v >> 16) & 0xFFu), static_cast<int>(v >> 24)};
    };
    auto bits = [](float f) {
        std::uint32_t v;
        std::memcpy(&v, &f, 4);
        return v;
    };
    const std::uint32_t expected[] = {bits(1.5f),
                                      bits(-2.25f),
                                      3u,
                                      static_cast<std::uint32_t>(-123456789),
                                      0x80000000u,
                                      0x7FFFFFFFu,
                                      1u,
                                      0x01020304u,
                                      bits(constants.transform[2 * 4 + 1]), // row 1, column 2
                                      bits(constants.transform[3 * 4 + 3]),
                                      0xFFC00001u};
    for (std::uint32_t i = 0; i < sizeof(expected) / sizeof(expected[0]); ++i)
        EXPECT_TRUE(Near(Pixel(i, 7), bytesOf(expected[i]), 0)) << "value " << i;

    // A false bool reads as false.
    constants.enabled = 0;
    buffers.clear();
    BindPixelConstants(0, &constants, sizeof(constants));
    DrawFullScreen(source);
    EXPECT_TRUE(Near(Pixel(7, 7), bytesOf(0xA0B0C0D0u), 0));

    // The vertex stage goes through the same rewrite; its GLSL must build on the device too.
    const char* vertex = R"(
cbuffer Transform { float4x4 wvp; int instanceBase; uint mask; bool flip; };
float4 QR_Main(float4 p : POSITION, uint id : SV_InstanceID) : SV_POSITION
{
    float4 o = mul(p, wvp);
    o.x += (id + instanceBase) & mask;
    return flip ? -o : o;
}
)";
    QC_Ptr<QP_Blob> code, errors;
    ASSERT_EQ(QP_Compile(vertex, std::strlen(vertex), nullptr, "QR_Main", "vs_4_0", &code, &errors), QP_OK)
        << QP_BlobText(errors.Get());
    QC_Ptr<QP_VertexShader> vertexShader;
    EXPECT_EQ(device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), &vertexShader), QP_OK)
        << QP_ShaderCodeText(code.Get());
}

TEST_F(QP_ShaderCompilerConstantsTest, ArrayOfStructsPassedWholeToAFunctionIsDrawnRight)
{
    const char* source = R"(
struct Light { float4 colour; float strength; int enabled; };
cbuffer Lights { Light lights[3]; float4 ambient; };
float4 Shade(Light light) { return light.enabled != 0 ? light.colour * light.strength : float4(0, 0, 0, 0); }
float4 Sum(Light all[3]) { return Shade(all[0]) + Shade(all[1]) + Shade(all[2]); }
float4 QR_Main(float4 position : SV_POSITION) : SV_TARGET { return Sum(lights) + ambient + Shade(lights[1]); }
)";
    // Each Light takes 24 bytes and starts a 16-byte row: stride 32; ambient follows at 96.
    float data[28] = {};
    auto setLight = [&data](int i, float r, float g, float b, float a, float strength, std::int32_t enabled) {
        float* light = data + 8 * i;
        light[0] = r, light[1] = g, light[2] = b, light[3] = a, light[4] = strength;
        std::memcpy(light + 5, &enabled, 4);
    };
    setLight(0, 1, 0, 0, 1, 0.5f, 1);
    setLight(1, 0, 1, 0, 1, 0.25f, 0);
    setLight(2, 0, 0, 1, 0, 1.0f, 1);
    data[24] = 0, data[25] = 0.2f, data[26] = 0, data[27] = 0.5f;
    BindPixelConstants(0, data, sizeof(data));
    DrawFullScreen(source);
    EXPECT_TRUE(Near(Pixel(20, 40), {128, 51, 255, 255}));

    // Matrices and bool arrays inside an array of structs read whole, then indexed as a copy.
    const char* parts = R"(
struct Part { float2x2 m; bool on[2]; };
cbuffer Parts { Part parts[2]; };
float4 Pick(Part p) { return float4(mul(p.m, float2(1, 0)), p.on[0] ? 1 : 0, p.on[1] ? 1 : 0); }
float4 QR_Main(float4 position : SV_POSITION) : SV_TARGET
{
    Part all[2] = parts;
    return position.x < 32 ? Pick(parts[0]) : Pick(all[1]);
}
)";
    // A Part: matrix columns at bytes 0 and 16, on[0] at 32, on[1] at 48 (52 bytes), stride 64.
    float partData[32] = {};
    auto setPart = [&partData](int i, float m00, float m10, std::uint32_t on0, std::uint32_t on1) {
        float* part = partData + 16 * i;
        part[0] = m00, part[1] = m10, part[4] = 9, part[5] = 9;
        std::memcpy(part + 8, &on0, 4);
        std::memcpy(part + 12, &on1, 4);
    };
    setPart(0, 0.2f, 0.4f, 1, 0);
    setPart(1, 0.8f, 0.6f, 0, 1);
    buffers.clear();
    BindPixelConstants(0, partData, sizeof(partData));
    DrawFullScreen(parts);
    EXPECT_TRUE(Near(Pixel(10, 10), {51, 102, 255, 0})) << "parts[0]";
    EXPECT_TRUE(Near(Pixel(50, 10), {204, 153, 0, 255})) << "parts[1] through a copy of the array";
}

TEST_F(QP_ShaderCompilerConstantsTest, BufferShapesThatCannotBeFlattenedFailNamingTheBuffer)
{
    const char* wide = "cbuffer Wide { double d; float4 f; };\n"
                       "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return f * (float)d; }\n";
    std::string messages = CompilePixelStage(wide);
    EXPECT_NE(messages.find("Constant buffer 'Wide': members of 64-bit floating point"), std::string::npos) << messages;

    // Read whole, this array would become 16800 loads: more than any buffer within the size limit needs.
    const char* huge = "struct Q { float a; float b; float c; float d; };\n"
                       "cbuffer Huge { Q q[4200]; };\n"
                       "float Sum(Q a[4200]) { return a[0].a + a[4199].d; }\n"
                       "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return Sum(q); }\n";
    messages = CompilePixelStage(huge);
    EXPECT_NE(messages.find("Constant buffer 'Huge': too many values are read at once"), std::string::npos) << messages;
}
