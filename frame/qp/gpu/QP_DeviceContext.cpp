// The immediate context. Sections: construction, clears, output binding, states, input, shaders
// and resources, draw preparation (the pushes of each state group), draws, resource contents,
// queries.
// Invariant: a Set only records what is bound and marks the groups it changed; PrepareDraw
// pushes the marked groups to GL. Render targets are the exception: attached when set.

#include "QP_DeviceContext.h"

#include "QC_Log.h"
#include "QP_GL.h"
#include "QP_GLContext.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

void SetCapability(GLenum capability, bool enable)
{
    if (enable)
        glEnable(capability);
    else
        glDisable(capability);
}

GLboolean Channel(std::uint8_t mask, int bit) { return ((mask >> bit) & 1u) ? GL_TRUE : GL_FALSE; }

} // namespace

// --- construction ------------------------------------------------------------------------------
QP_DeviceContext::QP_DeviceContext(QP_GLContext* context) : glContext(context)
{
    glCreateFramebuffers(1, &glFramebuffer);
    glCreateProgramPipelines(1, &glPipeline);
    glCreateVertexArrays(1, &glEmptyVertexArray);
    glBindProgramPipeline(glPipeline);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, glFramebuffer);
    QP_CHECK_GL();
}

QP_DeviceContext::~QP_DeviceContext()
{
    glDeleteFramebuffers(1, &glFramebuffer);
    glDeleteProgramPipelines(1, &glPipeline);
    glDeleteVertexArrays(1, &glEmptyVertexArray);
}

// --- clears ------------------------------------------------------------------------------------
namespace {
enum ClearLift : std::uint32_t
{
    LiftedScissor = 1,
    LiftedColourMask = 2,
    LiftedDepthMask = 4,
    LiftedStencilMask = 8,
};
} // namespace

std::uint32_t QP_DeviceContext::LiftForClear(std::uint32_t buffers)
{
    std::uint32_t lifted = 0;
    if (glContext->scissorEnabled) {
        glDisable(GL_SCISSOR_TEST);
        lifted |= LiftedScissor;
    }
    // A view's clear framebuffer draws to buffer 0 only, so mask 0 is the one that counts.
    if ((buffers & ClearColour) && glColourMask0 != QP_COLOR_WRITE_ENABLE_ALL) {
        glColorMaski(0, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        lifted |= LiftedColourMask;
    }
    if ((buffers & QP_CLEAR_DEPTH) && !glDepthWrite) {
        glDepthMask(GL_TRUE);
        lifted |= LiftedDepthMask;
    }
    if ((buffers & QP_CLEAR_STENCIL) && glStencilWriteMask != 0xFF) {
        glStencilMask(0xFF);
        lifted |= LiftedStencilMask;
    }
    return lifted;
}

void QP_DeviceContext::RestoreAfterClear(std::uint32_t lifted)
{
    if (lifted & LiftedScissor)
        glEnable(GL_SCISSOR_TEST);
    if (lifted & LiftedColourMask)
        glColorMaski(0, Channel(glColourMask0, 0), Channel(glColourMask0, 1), Channel(glColourMask0, 2),
                     Channel(glColourMask0, 3));
    if (lifted & LiftedDepthMask)
        glDepthMask(GL_FALSE);
    if (lifted & LiftedStencilMask)
        glStencilMask(glStencilWriteMask);
}

void QP_DeviceContext::ClearRenderTargetView(QP_RenderTargetView* view, const float colour[4])
{
    if (!view || !colour)
        return;
    const std::uint32_t lifted = LiftForClear(ClearColour);
    glClearNamedFramebufferfv(view->glClearFramebuffer, GL_COLOR, 0, colour);
    RestoreAfterClear(lifted);
    QP_CHECK_GL();
}

void QP_DeviceContext::ClearDepthStencilView(QP_DepthStencilView* view, std::uint32_t clearFlags, float depth,
                                             std::uint8_t stencil)
{
    if (!view)
        return;
    const GLint stencilValue = stencil;
    const bool clearDepth = (clearFlags & QP_CLEAR_DEPTH) != 0;
    const bool clearStencil = (clearFlags & QP_CLEAR_STENCIL) != 0;
    if (!clearDepth && !clearStencil)
        return;
    const std::uint32_t lifted = LiftForClear(clearFlags);
    if (clearDepth && clearStencil)
        glClearNamedFramebufferfi(view->glClearFramebuffer, GL_DEPTH_STENCIL, 0, depth, stencilValue);
    else if (clearDepth)
        glClearNamedFramebufferfv(view->glClearFramebuffer, GL_DEPTH, 0, &depth);
    else
        glClearNamedFramebufferiv(view->glClearFramebuffer, GL_STENCIL, 0, &stencilValue);
    RestoreAfterClear(lifted);
    QP_CHECK_GL();
}

// --- output binding ----------------------------------------------------------------------------
void QP_DeviceContext::OMSetRenderTargets(std::uint32_t viewCount, QP_RenderTargetView* const* views,
                                          QP_DepthStencilView* depthView)
{
    // Attached at once, so a view unbound here is no longer held by the framebuffer either.
    viewCount = views ? std::min(viewCount, QP_SIMULTANEOUS_RENDER_TARGET_COUNT) : 0;
    bool changed = viewCount != renderTargetCount;
    GLenum drawBuffers[QP_SIMULTANEOUS_RENDER_TARGET_COUNT];
    for (std::uint32_t i = 0; i < QP_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
        QP_RenderTargetView* view = i < viewCount ? views[i] : nullptr;
        drawBuffers[i] = view ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
        if (view == renderTargets[i].Get())
            continue;
        // Views compare, not textures: two views of one texture may name different mip levels.
        glNamedFramebufferTexture(glFramebuffer, GL_COLOR_ATTACHMENT0 + i, view ? view->texture->glTexture : 0,
                                  view ? static_cast<GLint>(view->desc.mipSlice) : 0);
        renderTargets[i] = view;
        changed = true;
    }
    renderTargetCount = viewCount;
    if (depthView != depthStencil.Get()) {
        glNamedFramebufferTexture(glFramebuffer, GL_DEPTH_STENCIL_ATTACHMENT, depthView ? depthView->texture->glTexture : 0,
                                  depthView ? static_cast<GLint>(depthView->desc.mipSlice) : 0);
        depthStencil = depthView;
        changed = true;
    }
    if (!changed)
        return;
    glNamedFramebufferDrawBuffers(glFramebuffer, QP_SIMULTANEOUS_RENDER_TARGET_COUNT, drawBuffers);
    ++statePushes[FramebufferGroup];
    QP_CHECK_GL();
}

// --- states ------------------------------------------------------------------------------------
void QP_DeviceContext::OMSetBlendState(QP_BlendState* state, const float factor[4], std::uint32_t)
{
    QP_BlendState* chosen = state ? state : defaultBlendState.Get();
    bool changed = chosen != blendState.Get();
    for (int i = 0; i < 4; ++i) {
        const float value = factor ? factor[i] : 1.0f;
        changed = changed || value != blendFactor[i];
        blendFactor[i] = value;
    }
    blendState = chosen;
    if (changed)
        MarkDirty(BlendGroup);
}

void QP_DeviceContext::OMSetDepthStencilState(QP_DepthStencilState* state, std::uint32_t reference)
{
    QP_DepthStencilState* chosen = state ? state : defaultDepthStencilState.Get();
    if (chosen != depthStencilState.Get() || reference != stencilRef)
        MarkDirty(DepthStencilGroup);
    depthStencilState = chosen;
    stencilRef = reference;
}

void QP_DeviceContext::RSSetState(QP_RasterizerState* state)
{
    QP_RasterizerState* chosen = state ? state : defaultRasterizerState.Get();
    if (chosen != rasterizerState.Get())
        MarkDirty(RasteriserGroup);
    rasterizerState = chosen;
}

void QP_DeviceContext::RSSetViewports(std::uint32_t count, const QP_Viewport* viewports)
{
    // One viewport: the layer draws into a single target region.
    if (count == 0 || !viewports) {
        viewportSet = false;
    } else {
        viewport = viewports[0];
        viewportSet = true;
    }
    MarkDirty(ViewportGroup);
}

void QP_DeviceContext::RSSetScissorRects(std::uint32_t count, const QP_Rect* rects)
{
    scissor = (count > 0 && rects) ? rects[0] : QP_Rect();
    MarkDirty(ScissorGroup);
}

// --- input -------------------------------------------------------------------------------------
void QP_DeviceContext::IASetInputLayout(QP_InputLayout* layout)
{
    if (layout != inputLayout.Get())
        MarkDirty(InputGroup);
    inputLayout = layout;
}

void QP_DeviceContext::IASetVertexBuffers(std::uint32_t startSlot, std::uint32_t count, QP_Buffer* const* buffers,
                                          const std::uint32_t* strides, const std::uint32_t* offsets)
{
    if (startSlot >= QP_INPUT_ASSEMBLER_SLOT_COUNT)
        return;
    count = std::min(count, QP_INPUT_ASSEMBLER_SLOT_COUNT - startSlot);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t slot = startSlot + i;
        QP_Buffer* buffer = buffers ? buffers[i] : nullptr;
        const std::uint32_t stride = strides ? strides[i] : 0;
        const std::uint32_t offset = offsets ? offsets[i] : 0;
        if (buffer == vertexBuffers[slot].Get() && stride == vertexStrides[slot] && offset == vertexOffsets[slot])
            continue;
        if (buffer && !(buffer->desc.bindFlags & QP_BIND_VERTEX_BUFFER)) {
            QC_ERROR("IASetVertexBuffers: the buffer in slot %u is not a vertex buffer.", slot);
            buffer = nullptr;
        }
        vertexBuffers[slot] = buffer;
        vertexStrides[slot] = stride;
        vertexOffsets[slot] = offset;
        MarkDirty(InputGroup);
    }
}

void QP_DeviceContext::IASetIndexBuffer(QP_Buffer* buffer, QP_Format format, std::uint32_t offset)
{
    const bool knownFormat = format == QP_FORMAT_R16_UINT || format == QP_FORMAT_R32_UINT;
    if (buffer && (!(buffer->desc.bindFlags & QP_BIND_INDEX_BUFFER) || !knownFormat)) {
        QC_ERROR("IASetIndexBuffer: not an index buffer, or format %d is not R16_UINT or R32_UINT.", format);
        buffer = nullptr;
    }
    if (buffer != indexBuffer.Get())
        MarkDirty(InputGroup);
    indexBuffer = buffer;
    indexSize = format == QP_FORMAT_R16_UINT ? 2 : 4;
    glIndexType = format == QP_FORMAT_R16_UINT ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT;
    indexOffset = offset;
}

void QP_DeviceContext::IASetPrimitiveTopology(QP_PrimitiveTopology primitiveTopology)
{
    // An unknown topology is reported by the draw that would use it, as Direct3D does.
    topology = primitiveTopology;
    GLenum mode = 0;
    topologyValid = QP_GLTopology(primitiveTopology, &mode);
    glTopology = mode;
}

// --- shaders and resources ---------------------------------------------------------------------
void QP_DeviceContext::VSSetShader(QP_VertexShader* shader)
{
    if (vertexShader.Get() != shader)
        dirtyGroups |= (1u << VertexProgramGroup) | (1u << VertexResourceGroup);
    vertexShader = shader;
}

void QP_DeviceContext::PSSetShader(QP_PixelShader* shader)
{
    if (pixelShader.Get() != shader)
        dirtyGroups |= (1u << PixelProgramGroup) | (1u << PixelResourceGroup);
    pixelShader = shader;
}

void QP_DeviceContext::SetConstantBuffers(Stage stage, std::uint32_t startSlot, std::uint32_t count,
                                          QP_Buffer* const* buffers)
{
    if (startSlot >= QP_CONSTANT_BUFFER_SLOT_COUNT)
        return;
    count = std::min(count, QP_CONSTANT_BUFFER_SLOT_COUNT - startSlot);
    for (std::uint32_t i = 0; i < count; ++i) {
        QP_Buffer* buffer = buffers ? buffers[i] : nullptr;
        if (buffer == stages[stage].constantBuffers[startSlot + i].Get())
            continue;
        if (buffer && buffer->desc.bindFlags != QP_BIND_CONSTANT_BUFFER) {
            QC_ERROR("SetConstantBuffers: the buffer for slot %u is not a constant buffer.", startSlot + i);
            buffer = nullptr;
        }
        stages[stage].constantBuffers[startSlot + i] = buffer;
    }
}

void QP_DeviceContext::SetShaderResources(Stage stage, std::uint32_t startSlot, std::uint32_t count,
                                          QP_ShaderResourceView* const* views)
{
    if (startSlot >= QP_SHADER_RESOURCE_SLOT_COUNT)
        return;
    count = std::min(count, QP_SHADER_RESOURCE_SLOT_COUNT - startSlot);
    const StateGroup group = stage == PixelStage ? PixelResourceGroup : VertexResourceGroup;
    for (std::uint32_t i = 0; i < count; ++i) {
        QP_ShaderResourceView* view = views ? views[i] : nullptr;
        if (view != stages[stage].views[startSlot + i].Get()) {
            stages[stage].views[startSlot + i] = view;
            MarkDirty(group);
        }
    }
}

void QP_DeviceContext::SetSamplers(Stage stage, std::uint32_t startSlot, std::uint32_t count,
                                   QP_SamplerState* const* samplers)
{
    if (startSlot >= QP_SAMPLER_SLOT_COUNT)
        return;
    count = std::min(count, QP_SAMPLER_SLOT_COUNT - startSlot);
    const StateGroup group = stage == PixelStage ? PixelResourceGroup : VertexResourceGroup;
    for (std::uint32_t i = 0; i < count; ++i) {
        QP_SamplerState* sampler = samplers ? samplers[i] : nullptr;
        if (sampler != stages[stage].samplers[startSlot + i].Get()) {
            stages[stage].samplers[startSlot + i] = sampler;
            MarkDirty(group);
        }
    }
}

void QP_DeviceContext::VSSetConstantBuffers(std::uint32_t startSlot, std::uint32_t count, QP_Buffer* const* buffers)
{
    SetConstantBuffers(VertexStage, startSlot, count, buffers);
}
void QP_DeviceContext::PSSetConstantBuffers(std::uint32_t startSlot, std::uint32_t count, QP_Buffer* const* buffers)
{
    SetConstantBuffers(PixelStage, startSlot, count, buffers);
}
void QP_DeviceContext::VSSetShaderResources(std::uint32_t startSlot, std::uint32_t count,
                                            QP_ShaderResourceView* const* views)
{
    SetShaderResources(VertexStage, startSlot, count, views);
}
void QP_DeviceContext::PSSetShaderResources(std::uint32_t startSlot, std::uint32_t count,
                                            QP_ShaderResourceView* const* views)
{
    SetShaderResources(PixelStage, startSlot, count, views);
}
void QP_DeviceContext::VSSetSamplers(std::uint32_t startSlot, std::uint32_t count, QP_SamplerState* const* samplers)
{
    SetSamplers(VertexStage, startSlot, count, samplers);
}
void QP_DeviceContext::PSSetSamplers(std::uint32_t startSlot, std::uint32_t count, QP_SamplerState* const* samplers)
{
    SetSamplers(PixelStage, startSlot, count, samplers);
}


// --- draw preparation --------------------------------------------------------------------------
void QP_DeviceContext::PushBlend()
{
    const QP_BlendState& state = *blendState;
    if (state.sameForAllTargets) {
        const QP_BlendState::Target& target = state.targets[0];
        SetCapability(GL_BLEND, target.enable);
        if (target.enable) {
            glBlendFuncSeparate(target.srcColour, target.destColour, target.srcAlpha, target.destAlpha);
            glBlendEquationSeparate(target.colourEquation, target.alphaEquation);
        }
        const std::uint8_t mask = target.writeMask;
        glColorMask(Channel(mask, 0), Channel(mask, 1), Channel(mask, 2), Channel(mask, 3));
    } else {
        for (std::uint32_t i = 0; i < QP_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
            const QP_BlendState::Target& target = state.targets[i];
            if (target.enable) {
                glEnablei(GL_BLEND, i);
                glBlendFuncSeparatei(i, target.srcColour, target.destColour, target.srcAlpha, target.destAlpha);
                glBlendEquationSeparatei(i, target.colourEquation, target.alphaEquation);
            } else {
                glDisablei(GL_BLEND, i);
            }
            const std::uint8_t mask = target.writeMask;
            glColorMaski(i, Channel(mask, 0), Channel(mask, 1), Channel(mask, 2), Channel(mask, 3));
        }
    }
    glColourMask0 = state.targets[0].writeMask;
    glBlendColor(blendFactor[0], blendFactor[1], blendFactor[2], blendFactor[3]);
    SetCapability(GL_SAMPLE_ALPHA_TO_COVERAGE, state.desc.alphaToCoverageEnable);
}

void QP_DeviceContext::PushDepthStencil()
{
    const QP_DepthStencilState& state = *depthStencilState;
    SetCapability(GL_DEPTH_TEST, state.depthTest);
    if (state.depthTest)
        glDepthFunc(state.depthFunc);
    glDepthMask(state.depthWrite ? GL_TRUE : GL_FALSE);
    glDepthWrite = state.depthWrite;
    SetCapability(GL_STENCIL_TEST, state.stencilTest);
    if (state.stencilTest) {
        const GLint reference = static_cast<GLint>(stencilRef);
        glStencilFuncSeparate(GL_FRONT, state.front.func, reference, state.desc.stencilReadMask);
        glStencilFuncSeparate(GL_BACK, state.back.func, reference, state.desc.stencilReadMask);
        glStencilOpSeparate(GL_FRONT, state.front.fail, state.front.depthFail, state.front.pass);
        glStencilOpSeparate(GL_BACK, state.back.fail, state.back.depthFail, state.back.pass);
        glStencilMask(state.desc.stencilWriteMask);
        glStencilWriteMask = state.desc.stencilWriteMask;
    }
}

void QP_DeviceContext::PushRasteriser()
{
    const QP_RasterizerState& state = *rasterizerState;
    glPolygonMode(GL_FRONT_AND_BACK, state.polygonMode);
    SetCapability(GL_CULL_FACE, state.cullEnable);
    if (state.cullEnable)
        glCullFace(state.cullFace);
    glFrontFace(state.frontFace);
    SetCapability(GL_DEPTH_CLAMP, state.depthClamp);
    SetCapability(GL_POLYGON_OFFSET_FILL, state.polygonOffset);
    SetCapability(GL_POLYGON_OFFSET_LINE, state.polygonOffset);
    if (state.polygonOffset)
        glPolygonOffset(state.offsetFactor, state.offsetUnits);
    SetCapability(GL_SCISSOR_TEST, state.scissorTest);
    glContext->scissorEnabled = state.scissorTest;
}

void QP_DeviceContext::PushViewport()
{
    if (viewportSet) {
        glViewportIndexedf(0, viewport.topLeftX, viewport.topLeftY, viewport.width, viewport.height);
        glDepthRangeIndexed(0, viewport.minDepth, viewport.maxDepth);
    } else {
        glViewportIndexedf(0, 0.0f, 0.0f, 0.0f, 0.0f);
    }
}

void QP_DeviceContext::PushScissor()
{
    glScissorIndexed(0, scissor.left, scissor.top, std::max(scissor.right - scissor.left, 0),
                     std::max(scissor.bottom - scissor.top, 0));
}

void QP_DeviceContext::PushInput()
{
    QP_InputLayout* layout = inputLayout.Get();
    if (!layout) {
        glVertexArrayElementBuffer(glEmptyVertexArray, indexBuffer ? indexBuffer->glBuffer : 0);
        glBindVertexArray(glEmptyVertexArray);
        return;
    }
    // Each layout's vertex array keeps its buffer bindings between uses: only differences are set.
    const GLuint vertexArray = layout->glVertexArray;
    for (std::uint32_t slot = 0; slot < QP_INPUT_ASSEMBLER_SLOT_COUNT; ++slot) {
        if (!((layout->usedSlots >> slot) & 1u))
            continue;
        QP_Buffer* buffer = vertexBuffers[slot].Get();
        if (buffer != layout->boundBuffers[slot].Get() || vertexStrides[slot] != layout->boundStrides[slot] ||
            vertexOffsets[slot] != layout->boundOffsets[slot]) {
            glVertexArrayVertexBuffer(vertexArray, slot, buffer ? buffer->glBuffer : 0, vertexOffsets[slot],
                                      static_cast<GLsizei>(vertexStrides[slot]));
            layout->boundBuffers[slot] = buffer;
            layout->boundStrides[slot] = vertexStrides[slot];
            layout->boundOffsets[slot] = vertexOffsets[slot];
        }
    }
    if (indexBuffer.Get() != layout->boundIndexBuffer.Get()) {
        glVertexArrayElementBuffer(vertexArray, indexBuffer ? indexBuffer->glBuffer : 0);
        layout->boundIndexBuffer = indexBuffer;
    }
    glBindVertexArray(vertexArray);
}

void QP_DeviceContext::PushProgram(Stage stage)
{
    if (stage == VertexStage)
        glUseProgramStages(glPipeline, GL_VERTEX_SHADER_BIT, vertexShader->glProgram);
    else
        glUseProgramStages(glPipeline, GL_FRAGMENT_SHADER_BIT, pixelShader ? pixelShader->glProgram : 0);
}

void QP_DeviceContext::PushShaderResources(Stage stage)
{
    const QP_Shader* shader = stage == PixelStage ? static_cast<QP_Shader*>(pixelShader.Get()) : vertexShader.Get();
    const QP_ShaderInterface& shaderInterface = shader->shaderInterface;
    const StageBindings& bindings = stages[stage];
    // Each stage has its own range of units, so the stages never undo each other's bindings.
    const std::uint32_t firstUnit = stage == PixelStage ? 0 : QP_MAX_SAMPLER_COMBINATIONS;
    for (std::uint32_t i = 0; i < shaderInterface.samplerCount; ++i) {
        const QP_ShaderSamplerCombination& combination = shaderInterface.samplers[i];
        const QP_ShaderResourceView* view = bindings.views[combination.textureSlot].Get();
        const QP_SamplerState* sampler =
            combination.samplerSlot == QP_NO_SAMPLER_SLOT ? nullptr : bindings.samplers[combination.samplerSlot].Get();
        glBindTextureUnit(firstUnit + combination.unit, view && view->texture ? view->texture->glTexture : 0);
        glBindSampler(firstUnit + combination.unit, sampler ? sampler->glSampler : 0);
    }
    // Read-only buffers at the stage's storage buffer bindings; a slot without a buffer view
    // binds nothing, and the shader reads zeros.
    for (std::uint32_t i = 0; i < shaderInterface.storageBufferCount; ++i) {
        const QP_ShaderStorageBuffer& storage = shaderInterface.storageBuffers[i];
        const QP_ShaderResourceView* view = bindings.views[storage.slot].Get();
        if (view && view->buffer)
            glBindBufferRange(GL_SHADER_STORAGE_BUFFER, storage.binding, view->buffer->glBuffer, view->byteOffset,
                              view->byteSize);
        else
            glBindBufferBase(GL_SHADER_STORAGE_BUFFER, storage.binding, 0);
    }
}

void QP_DeviceContext::PushDirtyGroups()
{
    // The pixel groups wait while no pixel shader is bound: nothing reads them.
    std::uint32_t pushing = dirtyGroups;
    if (!pixelShader)
        pushing &= ~(1u << PixelResourceGroup);
    for (std::uint32_t group = 0; group < StateGroupCount; ++group) {
        if (!((pushing >> group) & 1u))
            continue;
        switch (static_cast<StateGroup>(group)) {
        case BlendGroup: PushBlend(); break;
        case DepthStencilGroup: PushDepthStencil(); break;
        case RasteriserGroup: PushRasteriser(); break;
        case ViewportGroup: PushViewport(); break;
        case ScissorGroup: PushScissor(); break;
        case InputGroup: PushInput(); break;
        case VertexProgramGroup: PushProgram(VertexStage); break;
        case PixelProgramGroup: PushProgram(PixelStage); break;
        case VertexResourceGroup: PushShaderResources(VertexStage); break;
        case PixelResourceGroup: PushShaderResources(PixelStage); break;
        case FramebufferGroup: // attached when set
        case StateGroupCount: continue;
        }
        ++statePushes[group];
    }
    dirtyGroups &= ~pushing;
    QP_CHECK_GL();
}

void QP_DeviceContext::UploadConstants(Stage stage, QP_Shader* shader)
{
    const QP_ShaderInterface& shaderInterface = shader->shaderInterface;
    for (std::uint32_t i = 0; i < shaderInterface.constantBlockCount; ++i) {
        const QP_ShaderConstantBlock& block = shaderInterface.constantBlocks[i];
        const QP_Buffer* buffer = stages[stage].constantBuffers[block.slot].Get();
        if (!buffer || shader->constantLocations[i] < 0)
            continue;
        if (shader->uploadedVersion[i] == buffer->version)
            continue;
        // A buffer smaller than the block leaves the rest of the block as it was.
        const std::uint32_t vectors = std::min(block.vectorCount, buffer->desc.byteWidth / 16);
        glProgramUniform4fv(shader->glProgram, shader->constantLocations[i], static_cast<GLsizei>(vectors),
                            reinterpret_cast<const GLfloat*>(buffer->cpuMemory.data()));
        shader->uploadedVersion[i] = buffer->version;
        ++constantUploads;
    }
}

bool QP_DeviceContext::PrepareDraw()
{
    if (!vertexShader) {
        QC_ERROR("Draw without a vertex shader.");
        return false;
    }
    if (renderTargetCount == 0 && !depthStencil)
        return false;
    if (dirtyGroups)
        PushDirtyGroups();
    UploadConstants(VertexStage, vertexShader.Get());
    if (pixelShader)
        UploadConstants(PixelStage, pixelShader.Get());
    QP_CHECK_GL();
    return true;
}

// --- draws -------------------------------------------------------------------------------------
void QP_DeviceContext::Draw(std::uint32_t vertexCount, std::uint32_t startVertex)
{
    DrawInstanced(vertexCount, 1, startVertex, 0);
}

void QP_DeviceContext::DrawIndexed(std::uint32_t indexCount, std::uint32_t startIndex, std::int32_t baseVertex)
{
    DrawIndexedInstanced(indexCount, 1, startIndex, baseVertex, 0);
}

void QP_DeviceContext::DrawInstanced(std::uint32_t vertexCountPerInstance, std::uint32_t instanceCount,
                                     std::uint32_t startVertex, std::uint32_t startInstance)
{
    if (!topologyValid) {
        QC_ERROR("Draw with primitive topology %d.", topology);
        return;
    }
    if (vertexCountPerInstance == 0 || instanceCount == 0)
        return;
    // Direct3D reads zeros past the end of a vertex buffer; GL may read anything or fault, so a
    // draw that would read past the end of a bound buffer is refused.
    if (const QP_InputLayout* layout = inputLayout.Get()) {
        for (std::uint32_t slot = 0; slot < QP_INPUT_ASSEMBLER_SLOT_COUNT; ++slot) {
            if (!((layout->usedSlots >> slot) & 1u))
                continue;
            const QP_Buffer* buffer = vertexBuffers[slot].Get();
            std::uint64_t last = static_cast<std::uint64_t>(startVertex) + vertexCountPerInstance - 1;
            if ((layout->instancedSlots >> slot) & 1u) {
                const std::uint32_t rate = layout->slotStepRate[slot];
                last = rate == 0 ? startInstance : startInstance + (instanceCount - 1) / rate;
            }
            const std::uint64_t end = vertexOffsets[slot] + last * vertexStrides[slot] + layout->slotExtent[slot];
            if (!buffer || end > buffer->desc.byteWidth) {
                QC_ERROR("Draw reads past the end of the vertex buffer in slot %u (%llu bytes of %u).", slot,
                         static_cast<unsigned long long>(end), buffer ? buffer->desc.byteWidth : 0);
                return;
            }
        }
    }
    if (!PrepareDraw())
        return;
    glDrawArraysInstancedBaseInstance(glTopology, static_cast<GLint>(startVertex), static_cast<GLsizei>(vertexCountPerInstance),
                                      static_cast<GLsizei>(instanceCount), startInstance);
    ++drawCalls;
    QP_CHECK_GL();
}

void QP_DeviceContext::DrawIndexedInstanced(std::uint32_t indexCountPerInstance, std::uint32_t instanceCount,
                                            std::uint32_t startIndex, std::int32_t baseVertex,
                                            std::uint32_t startInstance)
{
    if (!topologyValid) {
        QC_ERROR("DrawIndexed with primitive topology %d.", topology);
        return;
    }
    if (!indexBuffer) {
        QC_ERROR("DrawIndexed without an index buffer.");
        return;
    }
    const std::uint64_t end = indexOffset + (static_cast<std::uint64_t>(startIndex) + indexCountPerInstance) * indexSize;
    if (end > indexBuffer->desc.byteWidth) {
        QC_ERROR("DrawIndexed reads indices past the end of the index buffer (%llu > %u bytes).",
                 static_cast<unsigned long long>(end), indexBuffer->desc.byteWidth);
        return;
    }
    if (indexCountPerInstance == 0 || instanceCount == 0 || !PrepareDraw())
        return;
    const std::uintptr_t byteOffset = indexOffset + static_cast<std::uintptr_t>(startIndex) * indexSize;
    glDrawElementsInstancedBaseVertexBaseInstance(glTopology, static_cast<GLsizei>(indexCountPerInstance),
                                                  glIndexType,
                                                  reinterpret_cast<const void*>(byteOffset),
                                                  static_cast<GLsizei>(instanceCount), baseVertex, startInstance);
    ++drawCalls;
    QP_CHECK_GL();
}

void QP_DeviceContext::Flush() { glFlush(); }

// --- resource contents -------------------------------------------------------------------------
QP_Result QP_DeviceContext::Map(QP_Buffer* buffer, std::uint32_t subresource, QP_Map mapType, std::uint32_t,
                                QP_MappedSubresource* mapped)
{
    if (mapped)
        *mapped = QP_MappedSubresource();
    if (!buffer || !mapped || subresource != 0) {
        QC_INFO("Map: no buffer, no output or subresource %u.", subresource);
        return QP_E_INVALIDARG;
    }
    if (buffer->mapped) {
        QC_INFO("Map: the buffer is mapped already.");
        return QP_E_INVALIDARG;
    }
    // Direct3D's rules: only dynamic buffers with CPU write access map, for discard or for
    // writes that leave the rest alone (not constant buffers); nothing maps for reading.
    const bool dynamic = buffer->desc.usage == QP_USAGE_DYNAMIC;
    const bool discard = mapType == QP_MAP_WRITE_DISCARD;
    const bool noOverwrite = mapType == QP_MAP_WRITE_NO_OVERWRITE && buffer->desc.bindFlags != QP_BIND_CONSTANT_BUFFER;
    if (!dynamic || !(discard || noOverwrite)) {
        QC_INFO("Map: map type %d is not allowed on a buffer of usage %d and bind flags 0x%X.", mapType,
                buffer->desc.usage, buffer->desc.bindFlags);
        return QP_E_INVALIDARG;
    }
    buffer->mapped = true;
    buffer->mapType = mapType;
    mapped->data = buffer->cpuMemory.data();
    mapped->rowPitch = buffer->desc.byteWidth;
    mapped->depthPitch = buffer->desc.byteWidth;
    return QP_OK;
}

void QP_DeviceContext::Unmap(QP_Buffer* buffer, std::uint32_t subresource)
{
    if (!buffer || subresource != 0 || !buffer->mapped) {
        QC_ERROR("Unmap: the buffer is not mapped.");
        return;
    }
    buffer->mapped = false;
    buffer->version = QP_NextBufferVersion();
    if (buffer->glBuffer) {
        // Discard gives the buffer new storage, so draws still reading the old contents keep
        // them; no-overwrite writes into the storage the draws use.
        if (buffer->mapType == QP_MAP_WRITE_DISCARD)
            glNamedBufferData(buffer->glBuffer, buffer->desc.byteWidth, buffer->cpuMemory.data(), GL_DYNAMIC_DRAW);
        else
            glNamedBufferSubData(buffer->glBuffer, 0, buffer->desc.byteWidth, buffer->cpuMemory.data());
        QP_CHECK_GL();
    }
}

void QP_DeviceContext::UpdateSubresource(QP_Buffer* buffer, std::uint32_t subresource, const QP_Box* box,
                                         const void* data, std::uint32_t, std::uint32_t)
{
    if (!buffer || !data || subresource != 0) {
        QC_ERROR("UpdateSubresource: no buffer, no data or subresource %u.", subresource);
        return;
    }
    if (buffer->desc.usage != QP_USAGE_DEFAULT) {
        QC_ERROR("UpdateSubresource: only buffers of default usage can be updated (usage %d).", buffer->desc.usage);
        return;
    }
    std::uint32_t begin = 0, end = buffer->desc.byteWidth;
    if (box) {
        // Constant buffers are always written whole.
        if (buffer->desc.bindFlags == QP_BIND_CONSTANT_BUFFER || box->left >= box->right ||
            box->right > buffer->desc.byteWidth) {
            QC_ERROR("UpdateSubresource: box [%u, %u) does not fit the buffer of %u bytes.", box->left, box->right,
                     buffer->desc.byteWidth);
            return;
        }
        begin = box->left;
        end = box->right;
    }
    if (buffer->glBuffer) {
        glNamedBufferSubData(buffer->glBuffer, begin, end - begin, data);
        QP_CHECK_GL();
    } else {
        std::memcpy(buffer->cpuMemory.data() + begin, data, end - begin);
        buffer->version = QP_NextBufferVersion();
    }
}

void QP_DeviceContext::UpdateSubresource(QP_Texture2D* texture, std::uint32_t subresource, const QP_Box* box,
                                         const void* data, std::uint32_t rowPitch, std::uint32_t)
{
    if (!texture || !data || subresource >= texture->desc.mipLevels) {
        QC_ERROR("UpdateSubresource: no texture, no data or subresource %u.", subresource);
        return;
    }
    const QP_GLFormat* format = QP_GLFindFormat(texture->desc.format);
    if (!format || format->depthStencil) {
        QC_ERROR("UpdateSubresource: format %d cannot be written from memory.", texture->desc.format);
        return;
    }
    const std::uint32_t levelWidth = std::max(texture->desc.width >> subresource, 1u);
    const std::uint32_t levelHeight = std::max(texture->desc.height >> subresource, 1u);
    QP_Box region;
    region.right = levelWidth;
    region.bottom = levelHeight;
    if (box)
        region = *box;
    if (region.left >= region.right || region.top >= region.bottom || region.right > levelWidth ||
        region.bottom > levelHeight) {
        QC_ERROR("UpdateSubresource: box (%u, %u)-(%u, %u) does not fit the %ux%u texture level.", region.left,
                 region.top, region.right, region.bottom, levelWidth, levelHeight);
        return;
    }
    const std::uint32_t width = region.right - region.left;
    const std::uint32_t height = region.bottom - region.top;
    const std::uint32_t rowBytes = width * format->bytesPerPixel;
    if (rowPitch < rowBytes) {
        QC_ERROR("UpdateSubresource: row pitch %u is less than a row of %u bytes.", rowPitch, rowBytes);
        return;
    }
    // Rows go up in memory order: row 0 of the data is the top row of the box.
    if (rowPitch % format->bytesPerPixel == 0) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(rowPitch / format->bytesPerPixel));
        glTextureSubImage2D(texture->glTexture, static_cast<GLint>(subresource), static_cast<GLint>(region.left),
                            static_cast<GLint>(region.top), static_cast<GLsizei>(width), static_cast<GLsizei>(height),
                            format->pixelFormat, format->pixelType, data);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    } else {
        // A pitch GL cannot describe in pixels: pack the rows first (creation-time path).
        std::vector<std::uint8_t> packed(static_cast<std::size_t>(rowBytes) * height);
        for (std::uint32_t row = 0; row < height; ++row)
            std::memcpy(packed.data() + static_cast<std::size_t>(row) * rowBytes,
                        static_cast<const std::uint8_t*>(data) + static_cast<std::size_t>(row) * rowPitch, rowBytes);
        glTextureSubImage2D(texture->glTexture, static_cast<GLint>(subresource), static_cast<GLint>(region.left),
                            static_cast<GLint>(region.top), static_cast<GLsizei>(width), static_cast<GLsizei>(height),
                            format->pixelFormat, format->pixelType, packed.data());
    }
    QP_CHECK_GL();
}

// --- queries -----------------------------------------------------------------------------------
void QP_DeviceContext::Begin(QP_Query* query)
{
    if (query && query->desc.query == QP_QUERY_OCCLUSION)
        glBeginQuery(GL_SAMPLES_PASSED, query->glQuery);
}

void QP_DeviceContext::End(QP_Query* query)
{
    if (!query)
        return;
    if (query->desc.query == QP_QUERY_TIMESTAMP)
        glQueryCounter(query->glQuery, GL_TIMESTAMP);
    else if (query->desc.query == QP_QUERY_OCCLUSION)
        glEndQuery(GL_SAMPLES_PASSED);
    query->issued = true;
    QP_CHECK_GL();
}

QP_Result QP_DeviceContext::GetData(QP_Query* query, void* data, std::uint32_t dataSize, std::uint32_t)
{
    if (!query)
        return QP_E_INVALIDARG;
    switch (query->desc.query) {
    case QP_QUERY_EVENT:
        glFinish();
        if (data && dataSize >= sizeof(bool))
            *static_cast<bool*>(data) = true;
        return QP_OK;
    case QP_QUERY_TIMESTAMP_DISJOINT:
        if (data && dataSize >= sizeof(QP_QueryDataTimestampDisjoint))
            *static_cast<QP_QueryDataTimestampDisjoint*>(data) = {1000000000ull, false};
        return QP_OK;
    default:
        break;
    }
    if (!query->issued)
        return QP_DXGI_ERROR_INVALID_CALL;
    GLint available = 0;
    glGetQueryObjectiv(query->glQuery, GL_QUERY_RESULT_AVAILABLE, &available);
    if (!available)
        return QP_FALSE;
    GLuint64 value = 0;
    glGetQueryObjectui64v(query->glQuery, GL_QUERY_RESULT, &value);
    if (data && dataSize >= sizeof(std::uint64_t))
        std::memcpy(data, &value, sizeof(std::uint64_t));
    return QP_OK;
}

void QP_DeviceContext::ClearState()
{
    OMSetRenderTargets(0, nullptr, nullptr);
    OMSetBlendState(nullptr, nullptr, 0xFFFFFFFFu);
    OMSetDepthStencilState(nullptr, 0);
    RSSetState(nullptr);
    RSSetViewports(0, nullptr);
    RSSetScissorRects(0, nullptr);
    IASetInputLayout(nullptr);
    IASetVertexBuffers(0, QP_INPUT_ASSEMBLER_SLOT_COUNT, nullptr, nullptr, nullptr);
    IASetIndexBuffer(nullptr, QP_FORMAT_R32_UINT, 0);
    IASetPrimitiveTopology(QP_PRIMITIVE_TOPOLOGY_UNDEFINED);
    VSSetShader(nullptr);
    PSSetShader(nullptr);
    for (int stage = 0; stage < StageCount; ++stage) {
        SetConstantBuffers(static_cast<Stage>(stage), 0, QP_CONSTANT_BUFFER_SLOT_COUNT, nullptr);
        SetShaderResources(static_cast<Stage>(stage), 0, QP_SHADER_RESOURCE_SLOT_COUNT, nullptr);
        SetSamplers(static_cast<Stage>(stage), 0, QP_SAMPLER_SLOT_COUNT, nullptr);
    }
}
