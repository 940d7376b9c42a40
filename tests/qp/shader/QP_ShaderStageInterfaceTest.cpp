// How compiled stages meet each other and their inputs on the headless device: values passed
// between stages under semantics of the shader's own, vertex inputs fed by input layout elements
// of any semantic, read-only buffers, and the messages for what GLSL cannot express.

#include "support/GpuTestSupport.h"

#include <string>

namespace {

// Both stages of one source, as the renderer compiles them.
class QP_StageInterfaceTest : public QP_GpuTest
{
protected:
    QC_Ptr<QP_Blob> CompileEntry(const char* source, const char* entry, const char* profile, std::string* message = nullptr)
    {
        QC_Ptr<QP_Blob> code, errors;
        const QP_Result result = QP_Compile(source, std::strlen(source), nullptr, entry, profile, &code, &errors);
        if (message)
            *message = QP_BlobText(errors.Get());
        else
            EXPECT_EQ(result, QP_OK) << entry << ": " << QP_BlobText(errors.Get());
        return code;
    }

    // Compiles and creates both stages (accepted code must compile and link in GL as well), with
    // an input layout for GpuVertex unless the caller makes its own.
    void UseStages(const char* source, const char* vertexEntry, const char* pixelEntry, bool gpuVertexLayout = true)
    {
        QC_Ptr<QP_Blob> vertexCode = CompileEntry(source, vertexEntry, "vs_4_0");
        QC_Ptr<QP_Blob> pixelCode = CompileEntry(source, pixelEntry, "ps_4_0");
        ASSERT_TRUE(vertexCode && pixelCode);
        QC_Ptr<QP_VertexShader> vertexShader;
        QC_Ptr<QP_PixelShader> pixelShader;
        ASSERT_EQ(device->CreateVertexShader(vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(), &vertexShader),
                  QP_OK)
            << QP_ShaderCodeText(vertexCode.Get());
        ASSERT_EQ(device->CreatePixelShader(pixelCode->GetBufferPointer(), pixelCode->GetBufferSize(), &pixelShader), QP_OK)
            << QP_ShaderCodeText(pixelCode.Get());
        context->VSSetShader(vertexShader.Get());
        context->PSSetShader(pixelShader.Get());
        if (!gpuVertexLayout)
            return;
        const QP_InputElementDesc elements[] = {
            {"POSITION", 0, QP_FORMAT_R32G32B32A32_FLOAT, 0, 0, QP_INPUT_PER_VERTEX_DATA, 0},
            {"TEXCOORD", 0, QP_FORMAT_R32G32_FLOAT, 0, QP_APPEND_ALIGNED_ELEMENT, QP_INPUT_PER_VERTEX_DATA, 0},
        };
        ASSERT_EQ(device->CreateInputLayout(elements, 2, vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(),
                                            &layout),
                  QP_OK);
        context->IASetInputLayout(layout.Get());
    }

    GpuColour DrawAndReadCentre()
    {
        ClearBackBuffer(0, 0, 0, 0);
        DrawQuad(-1, -1, 1, 1);
        ReadBack();
        return Pixel(size / 2, size / 2);
    }

    QC_Ptr<QP_InputLayout> layout;
};

// The vertex stage writes four values of its own semantics; each pixel stage reads some of them,
// declared in another order. DUST and FOG share a home location (the probe must agree in both
// stages even though the pixel stages never name DUST); GLOW and MYDATA3 share another.
const char* const userSemanticsSource = R"(
struct VSIn { float4 position : POSITION; float2 uv : TEXCOORD0; };
struct VSOut
{
    float4 position : SV_Position;
    float3 world : WORLDPOS;
    float dust : DUST;
    float fog : FOG;
    float2 far : TEXCOORD8;
    float4 data : MYDATA3;
    float glow : glow;
};
VSOut VSMain(VSIn input)
{
    VSOut output;
    output.position = input.position;
    output.world = float3(1, 0, 0);
    output.dust = 0.0;
    output.fog = 0.25;
    output.far = float2(0.5, 0.75);
    output.data = float4(0, 0.5, 0.75, 1);
    output.glow = 0.0;
    return output;
}

struct FogIn { float4 data : MYDATA3; float fog : Fog; };
float4 FogMain(float4 position : SV_POSITION, FogIn input) : SV_Target
{
    return float4(input.fog, input.data.y, input.data.z, 1);
}

float4 FarMain(float2 far : TEXCOORD8, float4 position : SV_Position, float3 world : WORLDPOS) : SV_Target
{
    return float4(world.x, far, 1);
}
)";

} // namespace

TEST_F(QP_StageInterfaceTest, UserSemanticsReachThePixelStageWhateverEachStageDeclares)
{
    UseStages(userSemanticsSource, "VSMain", "FogMain");
    EXPECT_TRUE(Near(DrawAndReadCentre(), {64, 128, 191, 255})) << "FOG and MYDATA3, read without DUST and GLOW";
    UseStages(userSemanticsSource, "VSMain", "FarMain");
    EXPECT_TRUE(Near(DrawAndReadCentre(), {255, 128, 191, 255})) << "WORLDPOS and TEXCOORD8 in another order";

    // The fixed table still holds: TEXCOORD0 stays at location 0 beside the user semantics.
    const char* fixed = "float4 QR_Main(float4 p : SV_POSITION, float2 uv : TEXCOORD0, float fog : FOG) : SV_TARGET"
                        " { return float4(uv, fog, 1); }";
    QC_Ptr<QP_Blob> code = CompileEntry(fixed, "QR_Main", "ps_4_0");
    ASSERT_TRUE(code);
    EXPECT_NE(std::string(QP_ShaderCodeText(code.Get())).find("layout(location = 0) in vec2"), std::string::npos)
        << QP_ShaderCodeText(code.Get());
}

TEST_F(QP_StageInterfaceTest, UserSemanticsThatCannotBePlacedAreRefusedWithTheirLine)
{
    std::string message;
    // A matrix under a semantic of its own would need several locations in a row.
    const char* matrix = "struct V { float4 p : SV_Position; float4x4 m : MYMATRIX; };\n"
                         "V QR_Main(float4 p : POSITION) { V v; v.p = p; v.m = 0; return v; }";
    EXPECT_FALSE(CompileEntry(matrix, "QR_Main", "vs_4_0", &message));
    EXPECT_NE(message.find("ERROR: 0:1: 'MYMATRIX' : "), std::string::npos) << message;

    // Nineteen semantics of their own: one more than the free locations between the stages.
    std::string many = "struct V {\n float4 p : SV_Position;\n";
    for (int i = 0; i < 19; ++i)
        many += " float v" + std::to_string(i) + " : VALUE" + std::to_string(i) + ";\n";
    many += "};\nV QR_Main(float4 p : POSITION) { V v = (V)0; v.p = p; return v; }\n";
    EXPECT_FALSE(CompileEntry(many.c_str(), "QR_Main", "vs_4_0", &message));
    EXPECT_NE(message.find("no location is left between the stages"), std::string::npos) << message;
    EXPECT_NE(message.find("ERROR: 0:"), std::string::npos) << message;
}

TEST_F(QP_StageInterfaceTest, VertexInputsMeetLayoutElementsBySemantic)
{
    // SV_Position as a vertex input is an ordinary attribute, fed by a POSITION element; a
    // semantic of the shader's own is fed by an element of that semantic, in any case.
    const char* source = R"(
struct VSIn { float4 tint : MyTint; float4 position : SV_Position; float2 skipped : SPARE; };
struct VSOut { float4 position : SV_POSITION; float4 tint : COLOR0; };
VSOut VSMain(VSIn input) { VSOut o; o.position = input.position; o.tint = input.tint + float4(input.skipped, 0, 0) * 0; return o; }
float4 PSMain(float4 position : SV_POSITION, float4 tint : COLOR0) : SV_Target { return tint; }
)";
    QC_Ptr<QP_Blob> vertexCode = CompileEntry(source, "VSMain", "vs_4_0");
    ASSERT_TRUE(vertexCode);
    UseStages(source, "VSMain", "PSMain", false);
    struct Vertex
    {
        float x, y, z, w;
        float tint[4];
        float spare[2];
    };
    const QP_InputElementDesc elements[] = {
        {"POSITION", 0, QP_FORMAT_R32G32B32A32_FLOAT, 0, 0, QP_INPUT_PER_VERTEX_DATA, 0},
        {"MYTINT", 0, QP_FORMAT_R32G32B32A32_FLOAT, 0, 16, QP_INPUT_PER_VERTEX_DATA, 0},
        {"SPARE", 0, QP_FORMAT_R32G32_FLOAT, 0, 32, QP_INPUT_PER_VERTEX_DATA, 0},
        // Not read by the shader: accepted and fed to nothing, as with the platform device.
        {"NORMAL", 0, QP_FORMAT_R32G32_FLOAT, 0, 32, QP_INPUT_PER_VERTEX_DATA, 0},
        {"UNREAD", 0, QP_FORMAT_R32G32_FLOAT, 0, 32, QP_INPUT_PER_VERTEX_DATA, 0},
    };
    QC_Ptr<QP_InputLayout> tintLayout;
    ASSERT_EQ(device->CreateInputLayout(elements, 5, vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(),
                                        &tintLayout),
              QP_OK);
    context->IASetInputLayout(tintLayout.Get());
    const float tint[4] = {0.25f, 0.5f, 1.0f, 1.0f};
    std::vector<Vertex> vertices;
    const float corners[6][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, 1}, {1, -1}, {-1, -1}};
    for (const auto& corner : corners)
        vertices.push_back({corner[0], corner[1], 0.5f, 1, {tint[0], tint[1], tint[2], tint[3]}, {0, 0}});
    QP_BufferDesc desc;
    desc.byteWidth = static_cast<std::uint32_t>(vertices.size() * sizeof(Vertex));
    desc.bindFlags = QP_BIND_VERTEX_BUFFER;
    QP_SubresourceData data;
    data.sysMem = vertices.data();
    QC_Ptr<QP_Buffer> buffer;
    ASSERT_EQ(device->CreateBuffer(&desc, &data, &buffer), QP_OK);
    QP_Buffer* buffers[] = {buffer.Get()};
    const std::uint32_t stride = sizeof(Vertex), offset = 0;
    context->IASetVertexBuffers(0, 1, buffers, &stride, &offset);
    ClearBackBuffer(0, 0, 0, 0);
    context->Draw(6, 0);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(size / 2, size / 2), {64, 128, 255, 255}));

    // A layout without the shader's own semantic cannot feed it.
    QC_Ptr<QP_InputLayout> missing;
    EXPECT_EQ(device->CreateInputLayout(elements, 1, vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(), &missing),
              QP_E_INVALIDARG);

    // Sixteen attributes in all: POSITION and sixteen inputs of the shader's own do not fit.
    std::string many = "float4 QR_Main(float4 p : POSITION";
    for (int i = 0; i < 16; ++i)
        many += ", float4 a" + std::to_string(i) + " : ATTRIBUTE" + std::to_string(i);
    many += ") : SV_Position { return p + a0 + a15; }";
    std::string message;
    EXPECT_FALSE(CompileEntry(many.c_str(), "QR_Main", "vs_4_0", &message));
    EXPECT_NE(message.find("no vertex attribute location is left"), std::string::npos) << message;
}

TEST_F(QP_StageInterfaceTest, OverloadedEntryPointIsNamedWithItsLine)
{
    const char* source = "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return p; }\n"
                         "\n"
                         "float4 QR_Main(float4 p : SV_POSITION, float2 uv : TEXCOORD0) : SV_TARGET\n"
                         "{\n"
                         "    return p * uv.x;\n"
                         "}\n";
    std::string message;
    EXPECT_FALSE(CompileEntry(source, "QR_Main", "ps_4_0", &message));
    EXPECT_NE(message.find("ERROR: 0:3: 'QR_Main' : the entry point is defined more than once"), std::string::npos)
        << message;
    EXPECT_NE(message.find("0:1"), std::string::npos) << "the first definition is named too: " << message;

    // Overloads of other functions are fine; only the entry point must be one function.
    const char* helpers = "float Shade(float a) { return a; }\n"
                          "float Shade(float2 a) { return a.x + a.y; }\n"
                          "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return Shade(p.x) + Shade(p.xy); }\n";
    EXPECT_TRUE(CompileEntry(helpers, "QR_Main", "ps_4_0", &message)) << message;
}

TEST_F(QP_StageInterfaceTest, TextureCopiedFromAnArrayIntoALocalSamplesTheChosenTexture)
{
    const char* source = R"(
Texture2D textures[2] : register(t0);
SamplerState pointSampler : register(s0);
cbuffer Choice : register(b0) { int which; };
float4 VSMain(float4 p : POSITION) : SV_Position { return p; }
float4 PSMain(float4 p : SV_Position) : SV_Target
{
    Texture2D chosen = textures[which];
    return chosen.Sample(pointSampler, float2(0.5, 0.5));
}
)";
    UseStages(source, "VSMain", "PSMain");
    const std::uint8_t red[4] = {255, 0, 0, 255}, green[4] = {0, 255, 0, 255};
    QC_Ptr<QP_ShaderResourceView> views[2];
    const std::uint8_t* texels[2] = {red, green};
    for (int i = 0; i < 2; ++i) {
        QP_Texture2DDesc desc;
        desc.width = desc.height = 1;
        desc.format = QP_FORMAT_R8G8B8A8_UNORM;
        desc.bindFlags = QP_BIND_SHADER_RESOURCE;
        QP_SubresourceData data;
        data.sysMem = texels[i];
        data.sysMemPitch = 4;
        QC_Ptr<QP_Texture2D> texture;
        ASSERT_EQ(device->CreateTexture2D(&desc, &data, &texture), QP_OK);
        ASSERT_EQ(device->CreateShaderResourceView(texture.Get(), nullptr, &views[i]), QP_OK);
    }
    QP_ShaderResourceView* bound[] = {views[0].Get(), views[1].Get()};
    context->PSSetShaderResources(0, 2, bound);
    QC_Ptr<QP_SamplerState> sampler = PointSampler();
    QP_SamplerState* samplers[] = {sampler.Get()};
    context->PSSetSamplers(0, 1, samplers);
    const int choices[2][4] = {{1, 0, 0, 0}, {0, 0, 0, 0}};
    const GpuColour expected[2] = {{0, 255, 0, 255}, {255, 0, 0, 255}};
    for (int i = 0; i < 2; ++i) {
        QC_Ptr<QP_Buffer> choice = MakeConstantBuffer(choices[i], sizeof(choices[i]));
        QP_Buffer* constants[] = {choice.Get()};
        context->PSSetConstantBuffers(0, 1, constants);
        EXPECT_TRUE(Near(DrawAndReadCentre(), expected[i])) << "textures[" << choices[i][0] << "]";
    }

    // A texture picked by a condition at run time has no GLSL form: refused, never broken GLSL.
    const char* picked = "Texture2D a : register(t0);\nTexture2D b : register(t1);\nSamplerState s : register(s0);\n"
                         "cbuffer Choice : register(b0) { int which; };\n"
                         "float4 QR_Main(float4 p : SV_Position) : SV_Target\n{\n"
                         "    Texture2D chosen = a;\n    if (which > 0) chosen = b;\n"
                         "    return chosen.Sample(s, p.xy);\n}\n";
    std::string message;
    QC_Ptr<QP_Blob> code = CompileEntry(picked, "QR_Main", "ps_4_0", &message);
    if (code) {
        QC_Ptr<QP_PixelShader> shader;
        EXPECT_EQ(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), &shader), QP_OK)
            << QP_ShaderCodeText(code.Get());
    } else {
        EXPECT_NE(message.find("ERROR: 0:7: 'chosen' : a texture or sampler chosen at run time"), std::string::npos)
            << message;
    }
}

TEST_F(QP_StageInterfaceTest, StructuredAndByteAddressBuffersAreReadInTheStages)
{
    const char* source = R"(
StructuredBuffer<float4> colours : register(t1);
ByteAddressBuffer words : register(t3);
StructuredBuffer<float4> offsets : register(t0);
float4 VSMain(float4 p : POSITION) : SV_Position { return p + offsets[1]; }
float4 PSMain(float4 p : SV_Position) : SV_Target
{
    uint count, stride;
    colours.GetDimensions(count, stride);
    return colours[2] * asfloat(words.Load(8)) + float4(0, 0, 0, count == 3 ? 1 : 0);
}
)";
    UseStages(source, "VSMain", "PSMain");
    auto makeBuffer = [&](const void* data, std::uint32_t bytes, std::uint32_t misc, std::uint32_t stride) {
        QP_BufferDesc desc;
        desc.byteWidth = bytes;
        desc.bindFlags = QP_BIND_SHADER_RESOURCE;
        desc.miscFlags = misc;
        desc.structureByteStride = stride;
        QP_SubresourceData initial;
        initial.sysMem = data;
        QC_Ptr<QP_Buffer> buffer;
        EXPECT_EQ(device->CreateBuffer(&desc, &initial, &buffer), QP_OK);
        return buffer;
    };
    const float colours[3][4] = {{1, 1, 1, 0}, {1, 1, 1, 0}, {0.5f, 1.0f, 0.25f, 0}};
    const float words[4] = {9, 9, 0.5f, 9};
    // The vertex stage moves the quad a quarter to the right: its left edge shows the clear.
    const float offsets[2][4] = {{9, 9, 9, 9}, {0.5f, 0, 0, 0}};
    QC_Ptr<QP_Buffer> colourBuffer = makeBuffer(colours, sizeof(colours), QP_RESOURCE_MISC_BUFFER_STRUCTURED, 16);
    QC_Ptr<QP_Buffer> wordBuffer = makeBuffer(words, sizeof(words), QP_RESOURCE_MISC_BUFFER_ALLOW_RAW_VIEWS, 0);
    QC_Ptr<QP_Buffer> offsetBuffer = makeBuffer(offsets, sizeof(offsets), QP_RESOURCE_MISC_BUFFER_STRUCTURED, 16);
    QC_Ptr<QP_ShaderResourceView> colourView, wordView, offsetView;
    ASSERT_EQ(device->CreateShaderResourceView(colourBuffer.Get(), nullptr, &colourView), QP_OK);
    QP_ShaderResourceViewDesc raw;
    raw.viewDimension = QP_SRV_DIMENSION_BUFFEREX;
    raw.numElements = 4;
    raw.bufferFlags = QP_BUFFEREX_SRV_FLAG_RAW;
    ASSERT_EQ(device->CreateShaderResourceView(wordBuffer.Get(), &raw, &wordView), QP_OK);
    ASSERT_EQ(device->CreateShaderResourceView(offsetBuffer.Get(), nullptr, &offsetView), QP_OK);
    QP_ShaderResourceView* pixelViews[] = {colourView.Get(), nullptr, wordView.Get()};
    context->PSSetShaderResources(1, 3, pixelViews);
    QP_ShaderResourceView* vertexViews[] = {offsetView.Get()};
    context->VSSetShaderResources(0, 1, vertexViews);
    EXPECT_TRUE(Near(DrawAndReadCentre(), {64, 128, 32, 255})) << "colours[2] * 0.5, three elements";
    EXPECT_TRUE(Near(Pixel(4, size / 2), {0, 0, 0, 0})) << "the vertex stage read its offset";

    // Views must fit the buffer and its kind; a raw view of a structured buffer is refused.
    QP_ShaderResourceViewDesc outside;
    outside.viewDimension = QP_SRV_DIMENSION_BUFFER;
    outside.firstElement = 2;
    outside.numElements = 2;
    QC_Ptr<QP_ShaderResourceView> refused;
    EXPECT_EQ(device->CreateShaderResourceView(colourBuffer.Get(), &outside, &refused), QP_E_INVALIDARG);
    EXPECT_EQ(device->CreateShaderResourceView(colourBuffer.Get(), &raw, &refused), QP_E_INVALIDARG);
    QP_BufferDesc noStride;
    noStride.byteWidth = 16;
    noStride.bindFlags = QP_BIND_SHADER_RESOURCE;
    noStride.miscFlags = QP_RESOURCE_MISC_BUFFER_STRUCTURED;
    QC_Ptr<QP_Buffer> noBuffer;
    EXPECT_EQ(device->CreateBuffer(&noStride, nullptr, &noBuffer), QP_E_INVALIDARG);

    // Read-write resources are refused as such, and so is an element GL would lay out otherwise.
    std::string message;
    const char* readWrite = "RWStructuredBuffer<float4> results : register(u1);\n"
                            "float4 QR_Main(float4 p : SV_Position) : SV_Target { results[0] = p; return p; }\n";
    EXPECT_FALSE(CompileEntry(readWrite, "QR_Main", "ps_5_0", &message));
    EXPECT_NE(message.find("ERROR: 0:1: 'results' : read-write resources"), std::string::npos) << message;
    const char* packed = "StructuredBuffer<float3> normals : register(t0);\n"
                         "float4 QR_Main(float4 p : SV_Position) : SV_Target { return float4(normals[1], 1); }\n";
    EXPECT_FALSE(CompileEntry(packed, "QR_Main", "ps_4_0", &message));
    EXPECT_NE(message.find("ERROR: 0:1: 'normals' : the element type is laid out differently"), std::string::npos)
        << message;
}
