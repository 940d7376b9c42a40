// Models and the full-screen quad on the headless device: triangle counts of their draws, the
// mesh vertex layout read by a shader, the quad's picture orientation, and values its corners
// share reaching every pixel unchanged.

#include "support/QR_RendererTestSupport.h"
#include "QM_Model.h"
#include "QM_Quad.h"

#include <algorithm>

namespace {

// Shows a mesh vertex's texture coordinates in red and green and its normal's z in blue.
const char* const meshShader = R"(vertex
{
  void main(in QR_Position inPosition, in QR_Normal inNormal, in QR_TexCoord0 inTexCoord,
            out QR_Position outPosition, out QR_TexCoord0 outTexCoord, out QR_Normal outNormal)
  {
    outPosition = inPosition;
    outTexCoord = inTexCoord;
    outNormal = inNormal;
  }
}
pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, in QR_Normal inNormal,
            out QR_Target outColour)
  {
    outColour = float4(inTexCoord.x, inTexCoord.y, inNormal.z, 1);
  }
}
)";

// The quad's vertex: position and texture coordinates shown in red and green.
const char* const quadShader = R"(vertex
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord,
            out QR_Position outPosition, out QR_TexCoord0 outTexCoord)
  {
    outPosition = inPosition;
    outTexCoord = inTexCoord;
  }
}
pixel
{
  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord, out QR_Target outColour)
  {
    outColour = float4(inTexCoord.x, inTexCoord.y, 0, 1);
  }
}
)";

// The scenes' full-screen shaders work out what every pixel shares once per corner and pass it
// on; that is only the same picture when the pixels receive it bit for bit. The vertex stage
// passes such values, the pixel stage works them out again from the same constants and shows,
// per component, whether the two are equal (255) or not (0).
const char* const sharedValuesShader = R"(constants
{
  custom
  {
    float4 clock;
  }
}
vertex
{
  float4 Shared()
  {
    float t = custom.clock.x;
    return float4(sin(t * 0.23) * 1.4, exp(-frac(t) * 5.0), custom.clock.y / custom.clock.z,
                  1.0 - 0.04 * sin(t * 0.2));
  }

  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord,
            out QR_Position outPosition, out QR_TexCoord1_Float4 outShared)
  {
    outPosition = inPosition;
    outShared = Shared();
  }
}
pixel
{
  float4 Shared()
  {
    float t = custom.clock.x;
    return float4(sin(t * 0.23) * 1.4, exp(-frac(t) * 5.0), custom.clock.y / custom.clock.z,
                  1.0 - 0.04 * sin(t * 0.2));
  }

  void main(in QR_Position inPosition, in QR_TexCoord1_Float4 inShared, out QR_Target outColour)
  {
    float4 expected = Shared();
    outColour = float4(inShared.x == expected.x ? 1.0 : 0.0, inShared.y == expected.y ? 1.0 : 0.0,
                       inShared.z == expected.z ? 1.0 : 0.0, inShared.w == expected.w ? 1.0 : 0.0);
  }
}
)";

} // namespace

class QM_ModelQuadTest : public QR_RendererTest
{
protected:
    QC_Ptr<QR_ShaderState> State(const char* source)
    {
        QC_Ptr<QR_VertexShader> vertexShader = VertexShader(source);
        QC_Ptr<QR_PixelShader> pixelShader = PixelShader(source);
        EXPECT_TRUE(vertexShader);
        EXPECT_TRUE(pixelShader);
        return renderer->CreateShaderState(vertexShader.Get(), pixelShader.Get());
    }

    void ClearTarget()
    {
        context->Clear({0, 0, 0, 255});
        context->ClearDepth(1.0f, 0);
    }
};

TEST_F(QM_ModelQuadTest, ModelDrawAddsIndexCountOverThreeTrianglesOfWhatWasBuilt)
{
    QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
    mesh->GenerateBox(1, 1, 1);
    QC_Ptr<QM_Model> model(new QM_Model);
    model->SetMesh(mesh.Get());
    model->Build();
    EXPECT_EQ(model->BuiltIndexCount(), 36u);
    QC_Ptr<QR_ShaderState> state = State(meshShader);
    model->SetShaderState(state.Get());

    renderer->ResetTriangleCount();
    model->Draw();
    EXPECT_EQ(renderer->GetTriangleCount(), 12);
    model->DrawInstanced(3);
    EXPECT_EQ(renderer->GetTriangleCount(), 12 + 36);

    // The buffers are static: a mesh changed after Build draws what was uploaded until the
    // next Build, never more indices than the buffer holds.
    mesh->GenerateBox(10, 10, 10);
    renderer->ResetTriangleCount();
    model->Draw();
    EXPECT_EQ(renderer->GetTriangleCount(), 12);
    model->Build();
    model->Draw();
    EXPECT_EQ(renderer->GetTriangleCount(), 12 + 1200);
    EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(QM_ModelQuadTest, ModelFeedsTheMeshVertexToItsShader)
{
    // The plane covers clip space: texture (0, 0) at its bottom-left, normal +z.
    QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
    mesh->GeneratePlane(4, 4);
    QC_Ptr<QM_Model> model(new QM_Model);
    model->SetMesh(mesh.Get());
    model->Build();
    QC_Ptr<QR_ShaderState> state = State(meshShader);
    model->SetShaderState(state.Get());
    ClearTarget();
    model->Draw();
    ReadBack();
    // Pixel centres are half a pixel in: u, v = 0.5 / 64 or 63.5 / 64 at the corners.
    EXPECT_TRUE(PixelNear(Pixel(0, 63), {2, 2, 255, 255}, 2));
    EXPECT_TRUE(PixelNear(Pixel(63, 63), {253, 2, 255, 255}, 2));
    EXPECT_TRUE(PixelNear(Pixel(0, 0), {2, 253, 255, 255}, 2));
    EXPECT_TRUE(PixelNear(Pixel(32, 32), {129, 125, 255, 255}, 2));
}

TEST_F(QM_ModelQuadTest, ModelWithoutGeometryOrShaderStateDrawsNothing)
{
    QC_Ptr<QM_Model> model(new QM_Model);
    QC_Ptr<QR_ShaderState> state = State(meshShader);
    model->SetShaderState(state.Get());
    renderer->ResetTriangleCount();
    model->Draw();
    EXPECT_EQ(TakeErrors(), std::vector<std::string>{"Model drawn before it was built."});
    model->Build();
    EXPECT_EQ(TakeErrors(), std::vector<std::string>{"Model has no mesh to build."});
    QC_Ptr<QM_Mesh> empty(new QM_Mesh);
    model->SetMesh(empty.Get());
    model->Build();
    model->DrawInstanced(2);
    EXPECT_EQ(TakeErrors(), (std::vector<std::string>{"Model has no mesh to build.", "Model drawn before it was built."}));

    QC_Ptr<QM_Mesh> mesh(new QM_Mesh);
    mesh->GenerateIcosahedron();
    model->SetMesh(mesh.Get());
    model->Build();
    model->SetShaderState(nullptr);
    model->Draw();
    EXPECT_EQ(TakeErrors(), std::vector<std::string>{"Model drawn without a shader state."});
    EXPECT_EQ(renderer->GetTriangleCount(), 0);
    model->SetShaderState(state.Get());
    model->Draw();
    EXPECT_EQ(renderer->GetTriangleCount(), 20);
}

TEST_F(QM_ModelQuadTest, QuadDrawsTwoTrianglesWithTextureOriginAtTheTopLeft)
{
    EXPECT_EQ(std::vector<std::uint32_t>(QM_QUAD_INDICES, QM_QUAD_INDICES + 6),
              (std::vector<std::uint32_t>{1, 0, 2, 2, 3, 1}));
    QC_Ptr<QM_Quad> quad(new QM_Quad);
    QC_Ptr<QR_ShaderState> state = State(quadShader);
    quad->SetShaderState(state.Get());
    quad->Draw();
    EXPECT_EQ(TakeErrors(), std::vector<std::string>{"Quad drawn before Init."});

    quad->Init();
    ClearTarget();
    renderer->ResetTriangleCount();
    quad->Draw();
    EXPECT_EQ(renderer->GetTriangleCount(), 2);
    ReadBack();
    EXPECT_TRUE(PixelNear(Pixel(0, 0), {2, 2, 0, 255}, 2));
    EXPECT_TRUE(PixelNear(Pixel(63, 0), {253, 2, 0, 255}, 2));
    EXPECT_TRUE(PixelNear(Pixel(0, 63), {2, 253, 0, 255}, 2));
    EXPECT_TRUE(PixelNear(Pixel(63, 63), {253, 253, 0, 255}, 2));
    // Both triangles cover their halves: the diagonal's neighbours are drawn too.
    EXPECT_TRUE(PixelNear(Pixel(40, 20), {161, 81, 0, 255}, 2));
    EXPECT_TRUE(PixelNear(Pixel(20, 40), {81, 161, 0, 255}, 2));

    // Init again replaces the geometry; the shader state is kept.
    QR_GeometryState* first = quad->GeometryState();
    quad->Init();
    EXPECT_NE(quad->GeometryState(), first);
    EXPECT_EQ(quad->ShaderState(), state.Get());
    quad->Draw();
    EXPECT_EQ(renderer->GetTriangleCount(), 4);
    quad->SetShaderState(nullptr);
    quad->Draw();
    EXPECT_EQ(TakeErrors(), std::vector<std::string>{"Quad drawn without a shader state."});
}

TEST_F(QM_ModelQuadTest, QuadPassesWhatItsCornersShareToEveryPixelUnchanged)
{
    QC_Ptr<QM_Quad> quad(new QM_Quad);
    quad->Init();
    QC_Ptr<QR_ShaderState> state = State(sharedValuesShader);
    QC_Ptr<QR_ConstantBuffer> constants = renderer->CreateConstantBuffer(QR_Usage::Dynamic, 16, nullptr);
    state->SetConstantBuffer(constants.Get());
    quad->SetShaderState(state.Get());
    // Song times as the scenes see them, fractions of a beat and odd aspects among them.
    const float clocks[][4] = {{0.0f, 1280.0f, 720.0f, 0.0f}, {123.456f, 1280.0f, 720.0f, 0.0f},
                               {447.99f, 320.0f, 180.0f, 0.0f}, {7.3f, 1366.0f, 768.0f, 0.0f}};
    for (const auto& clock : clocks) {
        auto* block = static_cast<float*>(context->MapConstantBuffer(constants.Get(), QR_Access::Write));
        ASSERT_NE(block, nullptr);
        std::copy(clock, clock + 4, block);
        context->UnmapConstantBuffer(constants.Get());
        ClearTarget();
        quad->Draw();
        ReadBack();
        int differing = 0;
        for (std::uint32_t y = 0; y < size; ++y)
            for (std::uint32_t x = 0; x < size; ++x)
                differing += PixelNear(Pixel(x, y), {255, 255, 255, 255}, 0) ? 0 : 1;
        EXPECT_EQ(differing, 0) << "at song time " << clock[0];
    }
    EXPECT_TRUE(TakeErrors().empty());
}
