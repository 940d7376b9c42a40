#pragma once
// The immediate context: every command of the device, with Direct3D's meaning. Bindings are
// recorded when set, once, in one record that keeps a reference to everything bound. The GL
// state falls into groups (StateGroup), each with its own dirty bit: a Set that changes a group
// marks it, and the next draw pushes only the marked groups, from values the state objects
// translated when they were created. Render targets are attached when set. A clear lifts only the
// scissor test and write masks that would limit it, and puts them back at once.
// Viewports and scissor rectangles take top-left coordinates, and every render target holds
// row 0 at the top of the picture.
//
// Constant buffers live in CPU memory: Map with WRITE_DISCARD (or UpdateSubresource) writes
// there, and a draw hands the contents to each program whose copy is out of date.
// Per-draw work allocates nothing.

#include "QC_Ptr.h"
#include "QP_DeviceChild.h"
#include "QP_GraphicsTypes.h"

#include <cstdint>

class QP_GLContext;

class QP_DeviceContext final : public QC_RefCounted
{
public:
    ~QP_DeviceContext() override;

    // --- output ---
    void ClearRenderTargetView(QP_RenderTargetView* view, const float colour[4]);
    void ClearDepthStencilView(QP_DepthStencilView* view, std::uint32_t clearFlags, float depth, std::uint8_t stencil);
    void OMSetRenderTargets(std::uint32_t viewCount, QP_RenderTargetView* const* views, QP_DepthStencilView* depthView);
    // A null factor means all ones; the sample mask is accepted and ignored.
    void OMSetBlendState(QP_BlendState* state, const float blendFactor[4], std::uint32_t sampleMask);
    void OMSetDepthStencilState(QP_DepthStencilState* state, std::uint32_t stencilRef);
    void RSSetState(QP_RasterizerState* state);
    void RSSetViewports(std::uint32_t count, const QP_Viewport* viewports);
    void RSSetScissorRects(std::uint32_t count, const QP_Rect* rects);

    // --- input ---
    void IASetInputLayout(QP_InputLayout* layout);
    void IASetVertexBuffers(std::uint32_t startSlot, std::uint32_t count, QP_Buffer* const* buffers,
                            const std::uint32_t* strides, const std::uint32_t* offsets);
    // Format R16_UINT or R32_UINT.
    void IASetIndexBuffer(QP_Buffer* buffer, QP_Format format, std::uint32_t offset);
    void IASetPrimitiveTopology(QP_PrimitiveTopology topology);

    // --- shaders and their resources ---
    void VSSetShader(QP_VertexShader* shader);
    void PSSetShader(QP_PixelShader* shader);
    void VSSetConstantBuffers(std::uint32_t startSlot, std::uint32_t count, QP_Buffer* const* buffers);
    void PSSetConstantBuffers(std::uint32_t startSlot, std::uint32_t count, QP_Buffer* const* buffers);
    void VSSetShaderResources(std::uint32_t startSlot, std::uint32_t count, QP_ShaderResourceView* const* views);
    void PSSetShaderResources(std::uint32_t startSlot, std::uint32_t count, QP_ShaderResourceView* const* views);
    void VSSetSamplers(std::uint32_t startSlot, std::uint32_t count, QP_SamplerState* const* samplers);
    void PSSetSamplers(std::uint32_t startSlot, std::uint32_t count, QP_SamplerState* const* samplers);

    // --- drawing ---
    void Draw(std::uint32_t vertexCount, std::uint32_t startVertex);
    void DrawIndexed(std::uint32_t indexCount, std::uint32_t startIndex, std::int32_t baseVertex);
    void DrawInstanced(std::uint32_t vertexCountPerInstance, std::uint32_t instanceCount, std::uint32_t startVertex,
                       std::uint32_t startInstance);
    void DrawIndexedInstanced(std::uint32_t indexCountPerInstance, std::uint32_t instanceCount,
                              std::uint32_t startIndex, std::int32_t baseVertex, std::uint32_t startInstance);
    void Flush();

    // --- resource contents ---
    // Buffers: subresource 0; DYNAMIC with CPU write access for WRITE_DISCARD/WRITE_NO_OVERWRITE.
    // A refusal returns QP_E_INVALIDARG with an info line saying why; the caller reports it.
    QP_Result Map(QP_Buffer* buffer, std::uint32_t subresource, QP_Map mapType, std::uint32_t mapFlags,
                  QP_MappedSubresource* mapped);
    void Unmap(QP_Buffer* buffer, std::uint32_t subresource);
    // A null box writes the whole resource. Texture rows are rowPitch bytes apart in data.
    void UpdateSubresource(QP_Buffer* buffer, std::uint32_t subresource, const QP_Box* box, const void* data,
                           std::uint32_t rowPitch, std::uint32_t depthPitch);
    void UpdateSubresource(QP_Texture2D* texture, std::uint32_t subresource, const QP_Box* box, const void* data,
                           std::uint32_t rowPitch, std::uint32_t depthPitch);

    // --- queries ---
    void Begin(QP_Query* query);
    void End(QP_Query* query);
    // QP_OK with the data, QP_FALSE while not ready. Timestamps in nanoseconds; the disjoint
    // query reports a frequency of 1 GHz.
    QP_Result GetData(QP_Query* query, void* data, std::uint32_t dataSize, std::uint32_t flags);

    // Unbinds everything and returns every state to its default.
    void ClearState();

    // The groups of GL state pushed apart from each other.
    enum StateGroup : std::uint32_t
    {
        BlendGroup = 0,        // blend state and factor
        DepthStencilGroup,     // depth-stencil state and stencil reference
        RasteriserGroup,       // rasteriser state, the scissor test included
        ViewportGroup,
        ScissorGroup,          // the scissor rectangle
        FramebufferGroup,      // render target and depth views, attached when set
        InputGroup,            // input layout, vertex and index buffers
        VertexProgramGroup,    // the vertex shader in the program pipeline
        PixelProgramGroup,
        VertexResourceGroup,   // textures and samplers the vertex shader reads
        PixelResourceGroup,
        StateGroupCount,
    };

    // Counters for tests and benchmarks: GL draw calls issued, constant uploads made and pushes
    // of each state group.
    std::uint64_t DrawCallCount() const { return drawCalls; }
    std::uint64_t ConstantUploadCount() const { return constantUploads; }
    std::uint64_t StatePushCount(StateGroup group) const { return group < StateGroupCount ? statePushes[group] : 0; }

private:
    friend class QP_Device;
    explicit QP_DeviceContext(QP_GLContext* context);

    enum Stage
    {
        VertexStage = 0,
        PixelStage = 1,
        StageCount = 2,
    };
    struct StageBindings
    {
        QC_Ptr<QP_Buffer> constantBuffers[QP_CONSTANT_BUFFER_SLOT_COUNT];
        QC_Ptr<QP_ShaderResourceView> views[QP_SHADER_RESOURCE_SLOT_COUNT];
        QC_Ptr<QP_SamplerState> samplers[QP_SAMPLER_SLOT_COUNT];
    };

    bool PrepareDraw();
    void MarkDirty(StateGroup group) { dirtyGroups |= 1u << group; }
    void PushDirtyGroups();
    void PushBlend();
    void PushDepthStencil();
    void PushRasteriser();
    void PushViewport();
    void PushScissor();
    void PushInput();
    void PushProgram(Stage stage);
    void PushShaderResources(Stage stage);
    void UploadConstants(Stage stage, QP_Shader* shader);
    void SetConstantBuffers(Stage stage, std::uint32_t startSlot, std::uint32_t count, QP_Buffer* const* buffers);
    void SetShaderResources(Stage stage, std::uint32_t startSlot, std::uint32_t count,
                            QP_ShaderResourceView* const* views);
    void SetSamplers(Stage stage, std::uint32_t startSlot, std::uint32_t count, QP_SamplerState* const* samplers);
    // Clears obey the scissor test and write masks in GL but not in Direct3D: lifts those that
    // would limit a clear of the given buffers (QP_CLEAR_* bits, colour as ClearColour) and
    // returns what it changed, for RestoreAfterClear.
    static constexpr std::uint32_t ClearColour = 0x100;
    std::uint32_t LiftForClear(std::uint32_t buffers);
    void RestoreAfterClear(std::uint32_t lifted);

    QC_Ptr<QP_GLContext> glContext;

    // What is bound. States are never null: unbinding binds the device's default state objects,
    // which hold Direct3D's defaults.
    QC_Ptr<QP_RenderTargetView> renderTargets[QP_SIMULTANEOUS_RENDER_TARGET_COUNT];
    std::uint32_t renderTargetCount = 0;
    QC_Ptr<QP_DepthStencilView> depthStencil;
    QC_Ptr<QP_BlendState> blendState;
    float blendFactor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    QC_Ptr<QP_DepthStencilState> depthStencilState;
    std::uint32_t stencilRef = 0;
    QC_Ptr<QP_RasterizerState> rasterizerState;
    QP_Viewport viewport;
    bool viewportSet = false;
    QP_Rect scissor;
    QC_Ptr<QP_InputLayout> inputLayout;
    QC_Ptr<QP_Buffer> vertexBuffers[QP_INPUT_ASSEMBLER_SLOT_COUNT];
    std::uint32_t vertexStrides[QP_INPUT_ASSEMBLER_SLOT_COUNT] = {};
    std::uint32_t vertexOffsets[QP_INPUT_ASSEMBLER_SLOT_COUNT] = {};
    QC_Ptr<QP_Buffer> indexBuffer;
    std::uint32_t indexSize = 4;    // bytes per index, from the format when set
    std::uint32_t glIndexType = 0;  // the GL type of the format
    std::uint32_t indexOffset = 0;
    QP_PrimitiveTopology topology = QP_PRIMITIVE_TOPOLOGY_UNDEFINED;
    std::uint32_t glTopology = 0;   // the GL mode, translated when set
    bool topologyValid = false;
    QC_Ptr<QP_VertexShader> vertexShader;
    QC_Ptr<QP_PixelShader> pixelShader;
    StageBindings stages[StageCount];
    QC_Ptr<QP_BlendState> defaultBlendState;
    QC_Ptr<QP_DepthStencilState> defaultDepthStencilState;
    QC_Ptr<QP_RasterizerState> defaultRasterizerState;

    // Bit per StateGroup whose bound values GL does not hold yet.
    std::uint32_t dirtyGroups = (1u << StateGroupCount) - 1;
    std::uint32_t glFramebuffer = 0;
    std::uint32_t glPipeline = 0;
    std::uint32_t glEmptyVertexArray = 0;
    // What GL holds of the masks a clear must lift (the scissor test's state is in glContext,
    // which presentation shares). Values only: they are compared, never bound.
    std::uint8_t glColourMask0 = QP_COLOR_WRITE_ENABLE_ALL;
    bool glDepthWrite = true;
    std::uint8_t glStencilWriteMask = 0xFF;

    std::uint64_t drawCalls = 0;
    std::uint64_t constantUploads = 0;
    std::uint64_t statePushes[StateGroupCount] = {};
};
