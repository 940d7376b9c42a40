// Shader objects made from the shading language through the renderer: the input layout derived
// from the vertex inputs, compilation failures reported with the compiler's text, the shader
// state's slots, and the canvas shaders drawing a quad each.

#include "support/QR_RendererTestSupport.h"

#include "QR_InputLayout_DX10.h"
#include "QR_ShaderParser.h"
#include "QR_Texture2D_DX10.h"
#include "QR_VertexShader_DX10.h"

namespace {
const QR_ShaderDescription& Parse(QR_ShaderParser& parser, const char* source)
{
    parser.Parse(QC_StaticString<4096>(source));
    return parser.Description();
}

bool HasMessageStartingWith(const std::vector<std::string>& messages, const std::string& start)
{
    for (const std::string& message : messages)
        if (message.compare(0, start.size(), start) == 0)
            return true;
    return false;
}
} // namespace

class QR_ShaderObjectsTest : public QR_RendererTest
{
};

TEST_F(QR_ShaderObjectsTest, CanvasVertexInputsMakeAFortyByteLayoutCheckedByTheDummyShader)
{
    QR_ShaderParser parser;
    const QR_ShaderDescription& description = Parse(parser, QrCanvasShaders::vertex);
    QR_InputElements elements;
    QC_String dummy;
    QR_InputLayout_DX10::Describe(description.vertexStage.inputs, elements, dummy);
    EXPECT_STREQ(dummy.CStr(), "void main(in float4 position : POSITION,in float2 texCoord0 : TEXCOORD0,"
                               "in float4 color0 : COLOR0,out float4 outPosition: SV_POSITION){ outPosition = 0; }");
    ASSERT_EQ(elements.count, 3u);
    EXPECT_STREQ(elements.elements[0].semanticName, "POSITION");
    EXPECT_EQ(elements.elements[0].format, QP_FORMAT_R32G32B32A32_FLOAT);
    EXPECT_EQ(elements.elements[0].alignedByteOffset, 0u);
    EXPECT_STREQ(elements.elements[1].semanticName, "TEXCOORD");
    EXPECT_EQ(elements.elements[1].format, QP_FORMAT_R32G32_FLOAT);
    EXPECT_EQ(elements.elements[1].alignedByteOffset, QP_APPEND_ALIGNED_ELEMENT);
    EXPECT_STREQ(elements.elements[2].semanticName, "COLOR");
    EXPECT_EQ(elements.elements[2].alignedByteOffset, QP_APPEND_ALIGNED_ELEMENT);
    for (std::uint32_t i = 0; i < elements.count; ++i) {
        EXPECT_EQ(elements.elements[i].semanticIndex, 0u);
        EXPECT_EQ(elements.elements[i].inputSlot, 0u);
        EXPECT_EQ(elements.elements[i].inputSlotClass, QP_INPUT_PER_VERTEX_DATA);
        EXPECT_EQ(elements.elements[i].instanceDataStepRate, 0u);
    }
    EXPECT_EQ(elements.vertexSize, 40u);

    // Through the renderer the layout exists on the device. Append-aligned places the texture
    // coordinate at byte 16 and the colour at 24: a flat quad whose colour sits at byte 24 of
    // each 40-byte vertex comes out in that colour.
    QC_Ptr<QR_VertexShader> shader = VertexShader(QrCanvasShaders::vertex);
    ASSERT_TRUE(shader);
    QR_VertexShader_DX10* backendShader = static_cast<QR_VertexShader_DX10*>(shader.Get());
    ASSERT_TRUE(backendShader->inputLayout);
    EXPECT_TRUE(backendShader->inputLayout->platformLayout);
    EXPECT_EQ(backendShader->inputLayout->VertexSize(), 40u);
    shaderState = CanvasState(QrCanvasShaders::flat);
    const float colour[4] = {0.0f, 0.5f, 1.0f, 1.0f};
    geometry = Rectangle(-1, -1, 1, 1, colour);
    context->SetShaderAndGeometry(geometry.Get(), shaderState.Get());
    context->Clear({0, 0, 0, 255});
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {0, 128, 255, 255}));
    EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(QR_ShaderObjectsTest, InputsInOtherOrdersAndSystemValuesShapeTheLayout)
{
    // Only the instance id: no elements, and the dummy goes straight to its closing text.
    QR_ShaderParser instanceParser;
    const QR_ShaderDescription& instanceOnly =
        Parse(instanceParser, "vertex { void main(in QR_InstanceId id, out QR_Position p) { p = float4(id, 0, 0, 1); } }");
    QR_InputElements elements;
    QC_String dummy;
    QR_InputLayout_DX10::Describe(instanceOnly.vertexStage.inputs, elements, dummy);
    EXPECT_EQ(elements.count, 0u);
    EXPECT_EQ(elements.vertexSize, 0u);
    EXPECT_STREQ(dummy.CStr(), "void main(out float4 outPosition: SV_POSITION){ outPosition = 0; }");
    EXPECT_TRUE(VertexShader("vertex { void main(in QR_InstanceId id, out QR_Position p) { p = float4(id, 0, 0, 1); } }"));

    // A leading instance id makes the first element append-aligned (byte 0 all the same).
    QR_ShaderParser leadingParser;
    const QR_ShaderDescription& leading =
        Parse(leadingParser, "vertex { void main(in QR_InstanceId id, in QR_Colour c, in QR_Position p, in QR_Normal n,"
                             " out QR_Position q) { q = p + c + n; } }");
    dummy.Clear();
    QR_InputLayout_DX10::Describe(leading.vertexStage.inputs, elements, dummy);
    ASSERT_EQ(elements.count, 3u);
    EXPECT_STREQ(elements.elements[0].semanticName, "COLOR");
    EXPECT_EQ(elements.elements[0].alignedByteOffset, QP_APPEND_ALIGNED_ELEMENT);
    EXPECT_STREQ(elements.elements[1].semanticName, "POSITION");
    EXPECT_STREQ(elements.elements[2].semanticName, "NORMAL");
    EXPECT_EQ(elements.vertexSize, 48u);
    EXPECT_STREQ(dummy.CStr(), "void main(in float4 color0 : COLOR0,in float4 position : POSITION,"
                               "in float4 normal : NORMAL,out float4 outPosition: SV_POSITION){ outPosition = 0; }");
    EXPECT_TRUE(TakeErrors().empty());

    // Colour first, position second: the vertex holds the colour in bytes 0-15.
    const char* colourFirst = "vertex { void main(in QR_Colour inColour, in QR_Position inPosition,"
                              " out QR_Position outPosition, out QR_Colour outColour)"
                              " { outPosition = inPosition; outColour = inColour; } }"
                              "pixel { void main(in QR_Position p, in QR_Colour inColour, out QR_Target t)"
                              " { t = inColour; } }";
    QC_Ptr<QR_VertexShader> vertexShader = VertexShader(colourFirst);
    QC_Ptr<QR_PixelShader> pixelShader = PixelShader(colourFirst);
    ASSERT_TRUE(vertexShader);
    ASSERT_TRUE(pixelShader);
    shaderState = renderer->CreateShaderState(vertexShader.Get(), pixelShader.Get());
    const float vertices[4][8] = {{1, 1, 0, 1, -1, 1, 0.5f, 1},
                                  {1, 1, 0, 1, 1, 1, 0.5f, 1},
                                  {1, 1, 0, 1, -1, -1, 0.5f, 1},
                                  {1, 1, 0, 1, 1, -1, 0.5f, 1}};
    const std::uint32_t indices[6] = {0, 1, 2, 1, 3, 2};
    QC_Ptr<QR_VertexBuffer> vertexBuffer = renderer->CreateVertexBuffer(QR_Usage::Default, 32, 4, vertices);
    QC_Ptr<QR_IndexBuffer> indexBuffer = renderer->CreateIndexBuffer(QR_Usage::Default, 4, 6, indices);
    geometry = renderer->CreateGeometryState(QR_Primitive::TriangleList, vertexBuffer.Get(), indexBuffer.Get());
    context->SetShaderAndGeometry(geometry.Get(), shaderState.Get());
    context->Clear({0, 0, 0, 255});
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {255, 255, 0, 255}));
}

// A vertex input the stage cannot take in (the parser knows every keyword in every stage) is an
// author's mistake like any other: the generator reports its semantic at its line, the stage
// does not compile, no layout is described, and the process goes on (it used to end it).
TEST_F(QR_ShaderObjectsTest, VertexInputsWithoutAnElementMakeNoShaderAndEndNothing)
{
    const char* source = "vertex { void main(in QR_Position q,\n"
                         "                   in QR_TexCoord0_Float4 t, out QR_Position p) { p = t; } }";
    EXPECT_FALSE(VertexShader(source));
    const std::vector<std::string> errors = TakeErrors();
    EXPECT_TRUE(HasMessageStartingWith(errors, "0(2): error: Unknown semantic.")) << errors.size() << " errors";
    EXPECT_TRUE(HasMessageStartingWith(errors, "Shader stage compilation failed, D3D message is \"0(2): error: "));

    QR_ShaderParser parser;
    QR_InputElements elements;
    QC_String dummy;
    EXPECT_FALSE(QR_InputLayout_DX10::Describe(Parse(parser, source).vertexStage.inputs, elements, dummy));
}

TEST_F(QR_ShaderObjectsTest, FaultyStagesReturnNothingAndQuoteTheCompiler)
{
    // An undeclared name in the pixel code.
    QC_Ptr<QR_PixelShader> faulty =
        PixelShader("pixel { void main(in QR_Position p, out QR_Target t) { t = undeclaredColour; } }");
    EXPECT_FALSE(faulty);
    std::vector<std::string> errors = TakeErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Shader stage compilation failed, D3D message is \"", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find("\"0(1): error: 'undeclaredColour' : unknown variable\n"), std::string::npos)
        << "the compiler's line in the one form, at the line of a source read from no file: " << errors[0];
    EXPECT_EQ(errors[0].back(), '"');

    // A source without a pixel block calls an undefined main.
    EXPECT_FALSE(PixelShader("vertex { void main(in QR_Position p, out QR_Position q) { q = p; } }"));
    EXPECT_TRUE(HasMessageStartingWith(TakeErrors(), "Shader stage compilation failed, D3D message is \""));

    // QR_Sample inside a larger expression does not compile: the macro ends in a semicolon.
    EXPECT_FALSE(PixelShader("samplers { QR_Sampler2D image; }"
                             "pixel { void main(in QR_Position p, in QR_TexCoord0 uv, out QR_Target t)"
                             " { t = QR_Sample(image, uv).w; } }"));
    EXPECT_TRUE(HasMessageStartingWith(TakeErrors(), "Shader stage compilation failed"));

    // A faulty vertex stage: the layout is still built (and reported nowhere), the shader is not.
    EXPECT_FALSE(VertexShader("vertex { void main(in QR_Position p, out QR_Position q) { q = p * missing; } }"));
    errors = TakeErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("missing"), std::string::npos);
}

TEST_F(QR_ShaderObjectsTest, ShaderStateSlotsHoldReferencesAndRefuseIndicesPastSixteen)
{
    shaderState = CanvasState(QrCanvasShaders::lcdText);
    EXPECT_EQ(shaderState->TextureCount(), 16u);
    EXPECT_EQ(shaderState->SamplerStateCount(), 16u);
    QC_Ptr<QR_Texture2D> texture = renderer->CreateTexture2D(4, 4);
    const std::int32_t references = texture->RefCount();
    shaderState->SetTexture(texture.Get(), 15);
    EXPECT_EQ(texture->RefCount(), references + 1);
    EXPECT_EQ(shaderState->Texture(15), texture.Get());
    shaderState->SetTexture(nullptr, 15);
    EXPECT_EQ(texture->RefCount(), references);

    shaderState->SetTexture(texture.Get(), 16);
    QC_Ptr<QR_SamplerState> sampler;
    shaderState->SetSamplerState(sampler.Get(), 40);
    EXPECT_EQ(texture->RefCount(), references);
    EXPECT_EQ(TakeErrors(), (std::vector<std::string>{"Texture index 16 is outside 0-15.",
                                                       "Sampler state index 40 is outside 0-15."}));
}

TEST_F(QR_ShaderObjectsTest, ReplacedShadersAndTexturesFreeTheirPlatformObjects)
{
    // A hot reload drops the old objects: nothing of theirs may stay on the device.
    QC_Ptr<QR_VertexShader> shader = VertexShader(QrCanvasShaders::vertex);
    ASSERT_TRUE(shader);
    QR_VertexShader_DX10* backendShader = static_cast<QR_VertexShader_DX10*>(shader.Get());
    QC_Ptr<QP_VertexShader> platformShader = backendShader->platformShader;
    QC_Ptr<QP_InputLayout> platformLayout = backendShader->inputLayout->platformLayout;
    QC_Ptr<QR_Texture2D> texture = renderer->CreateTexture2D(8, 8);
    QC_Ptr<QP_Texture2D> platformTexture = static_cast<QR_Texture2D_DX10*>(texture.Get())->platformTexture;

    shader = VertexShader(QrCanvasShaders::vertex);
    texture = renderer->CreateTexture2D(8, 8);
    EXPECT_EQ(platformShader->RefCount(), 1) << "only this test still holds the old vertex shader";
    EXPECT_EQ(platformLayout->RefCount(), 1);
    // The view held a reference to the texture too: both are gone.
    EXPECT_EQ(platformTexture->RefCount(), 1);
}

TEST_F(QR_ShaderObjectsTest, CanvasShadersDrawTheirQuads)
{
    // A 2x2 texture: opaque red, half-covered green, transparent blue, white.
    QC_Ptr<QC_Image> picture(new QC_Image(2, 2));
    picture->Pixels()[0] = 0xFF0000FFu;
    picture->Pixels()[1] = 0x8000FF00u;
    picture->Pixels()[2] = 0x00FF0000u;
    picture->Pixels()[3] = 0xFFFFFFFFu;
    QC_Ptr<QR_Texture2D> texture = renderer->CreateTexture2D(2, 2);
    context->UpdateTexture(texture.Get(), *picture, 0, 0, 2, 2);
    QR_SamplerDesc samplerDesc = {};
    samplerDesc.filter = QR_Filter::Point;
    samplerDesc.addressU = samplerDesc.addressV = samplerDesc.addressW = QR_TextureAddress::Clamp;
    samplerDesc.maxAnisotropy = 16;
    samplerDesc.comparisonFunc = QR_ComparisonFunc::Never;
    samplerDesc.maxLod = 3.402823466e38f;
    QC_Ptr<QR_SamplerState> sampler = renderer->CreateSamplerState(samplerDesc);

    // One vertex shader, three pixel shaders, three states sharing the projection constants.
    const float scale[16] = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    QC_Ptr<QR_ShaderState> greyscale = CanvasState(QrCanvasShaders::greyscaleText, scale);
    QC_Ptr<QR_ShaderState> lcd = CanvasState(QrCanvasShaders::lcdText, scale);
    QC_Ptr<QR_ShaderState> flat = CanvasState(QrCanvasShaders::flat, scale);
    ASSERT_TRUE(TakeErrors().empty());
    for (QR_ShaderState* state : {greyscale.Get(), lcd.Get()}) {
        state->SetTexture(texture.Get(), 0);
        state->SetSamplerState(sampler.Get(), 0);
    }
    // The greyscale text's output alpha is coverage x colour alpha; blend it over the clear.
    QR_BlendDesc alphaDesc = {};
    for (QR_RenderTargetBlendDesc& entry : alphaDesc.renderTargets)
        entry = {0, QR_Blend::One, QR_Blend::Zero, QR_BlendOp::Add, QR_Blend::One, QR_Blend::Zero, QR_BlendOp::Add, 0};
    alphaDesc.renderTargets[0] = {1, QR_Blend::SrcAlpha, QR_Blend::InvSrcAlpha, QR_BlendOp::Add,
                                  QR_Blend::Zero, QR_Blend::Zero, QR_BlendOp::Add, 0};
    QC_Ptr<QR_BlendState> alphaBlend = renderer->CreateBlendState(alphaDesc);
    QR_BlendDesc opaqueDesc = alphaDesc;
    opaqueDesc.renderTargets[0].blendEnable = 0;
    QC_Ptr<QR_BlendState> opaque = renderer->CreateBlendState(opaqueDesc);

    // The quad spans the whole clip square, which the projection halves to pixels 16-47.
    const float yellow[4] = {1, 1, 0, 1};
    geometry = Rectangle(-1, -1, 1, 1, yellow);

    // Flat: the vertex colour, inside the projected quad only.
    context->SetBlendState(opaque.Get());
    context->Clear({0, 0, 0, 255});
    context->SetShaderAndGeometry(geometry.Get(), flat.Get());
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(20, 20), {255, 255, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(10, 10), {0, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(50, 40), {0, 0, 0, 255}));

    // LCD: the texel's colour with the vertex alpha; each quarter of the quad one texel.
    context->SetShaderAndGeometry(geometry.Get(), lcd.Get());
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(20, 20), {255, 0, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(40, 20), {0, 255, 0, 255}));
    EXPECT_TRUE(PixelNear(Pixel(20, 40), {0, 0, 255, 255}));
    EXPECT_TRUE(PixelNear(Pixel(40, 40), {255, 255, 255, 255}));

    // Greyscale: the vertex colour with alpha = texel coverage, blended over black.
    context->SetBlendState(alphaBlend.Get());
    context->Clear({0, 0, 0, 255});
    context->SetShaderAndGeometry(geometry.Get(), greyscale.Get());
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(20, 20), {255, 255, 0, 0}));
    EXPECT_TRUE(PixelNear(Pixel(40, 20), {128, 128, 0, 0}));
    EXPECT_TRUE(PixelNear(Pixel(20, 40), {0, 0, 0, 0}));
    EXPECT_TRUE(PixelNear(Pixel(10, 10), {0, 0, 0, 255}));
    EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(QR_ShaderObjectsTest, Direct3D11CompilesTheSameShadersWithItsProfiles)
{
    TearDown();
    StartRenderer(QR_Backend::DX11);
    shaderState = CanvasState(QrCanvasShaders::flat);
    const float magenta[4] = {1, 0, 1, 1};
    geometry = Rectangle(-1, -1, 1, 1, magenta);
    context->SetShaderAndGeometry(geometry.Get(), shaderState.Get());
    context->Clear({0, 0, 0, 255});
    context->DrawIndexed(6, 0);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {255, 0, 255, 255}));
    EXPECT_FALSE(PixelShader("pixel { void main(in QR_Position p, out QR_Target t) { t = nothing; } }"));
    EXPECT_TRUE(HasMessageStartingWith(TakeErrors(), "Shader stage compilation failed, D3D message is \""));
}

TEST_F(QR_ShaderObjectsTest, BothBackendsShowTheGlslTheirStagesRunWithoutKnowingTheBackendClass)
{
    for (QR_Backend backend : {QR_Backend::DX10, QR_Backend::DX11}) {
        TearDown();
        StartRenderer(backend);
        const QC_Ptr<QR_VertexShader> vertex = VertexShader(QrCanvasShaders::vertex);
        const QC_Ptr<QR_PixelShader> pixel = PixelShader(QrCanvasShaders::flat);
        ASSERT_TRUE(vertex && pixel) << "backend " << static_cast<int>(backend);
        const std::string vertexText = vertex->GetPlatformCodeText();
        const std::string pixelText = pixel->GetPlatformCodeText();
        EXPECT_EQ(vertexText.rfind("#version 450", 0), 0u) << vertexText;
        EXPECT_EQ(pixelText.rfind("#version 450", 0), 0u) << pixelText;
        EXPECT_NE(vertexText.find("gl_Position"), std::string::npos) << "backend " << static_cast<int>(backend);
        EXPECT_EQ(pixelText.find("gl_Position"), std::string::npos) << "backend " << static_cast<int>(backend);
    }
}
