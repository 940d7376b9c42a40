// The immediate context. Sections: construction, output binding and clears, states, input,
// shaders and resources, draw preparation, draws, resource contents, queries.
// Invariant: a Set only records (and marks dirty); PrepareDraw pushes the differences to GL.

#include "qp/QP_DeviceContext.h"

#include "qc/QC_Log.h"
#include "qp/QP_GL.h"
#include "qp/QP_GLContext.h"

#include <algorithm>
#include <cstring>
#include <vector>

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

// --- output binding and clears -------------------------------------------------------------------
void QP_DeviceContext::PrepareClear()
{
    if (glContext->scissorEnabled) {
        glDisable(GL_SCISSOR_TEST);
        glContext->scissorEnabled = false;
    }
    glColorMaski(0, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    statesDirty = true;
}

void QP_DeviceContext::ClearRenderTargetView(QP_RenderTargetView* view, const float colour[4])
{
    if (!view || !colour)
        return;
    PrepareClear();
    glClearNamedFramebufferfv(view->glClearFramebuffer, GL_COLOR, 0, colour);
    QP_CHECK_GL();
}

void QP_DeviceContext::ClearDepthStencilView(QP_DepthStencilView* view, std::uint32_t clearFlags, float depth,
                                             std::uint8_t stencil)
{
    if (!view)
        return;
    PrepareClear();
    const GLint stencilValue = stencil;
    const bool clearDepth = (clearFlags & QP_CLEAR_DEPTH) != 0;
    const bool clearStencil = (clearFlags & QP_CLEAR_STENCIL) != 0;
    if (clearDepth && clearStencil)
        glClearNamedFramebufferfi(view->glClearFramebuffer, GL_DEPTH_STENCIL, 0, depth, stencilValue);
    else if (clearDepth)
        glClearNamedFramebufferfv(view->glClearFramebuffer, GL_DEPTH, 0, &depth);
    else if (clearStencil)
        glClearNamedFramebufferiv(view->glClearFramebuffer, GL_STENCIL, 0, &stencilValue);
    QP_CHECK_GL();
}

void QP_DeviceContext::OMSetRenderTargets(std::uint32_t viewCount, QP_RenderTargetView* const* views,
                                          QP_DepthStencilView* depthView)
{
    viewCount = std::min(viewCount, QP_SIMULTANEOUS_RENDER_TARGET_COUNT);
    for (std::uint32_t i = 0; i < QP_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i)
        renderTargets[i] = (views && i < viewCount) ? views[i] : nullptr;
    renderTargetCount = views ? viewCount : 0;
    depthStencil = depthView;
    // Attached at once, so a view unbound here is no longer held by the framebuffer either.
    ApplyFramebuffer();
}

void QP_DeviceContext::OMSetBlendState(QP_BlendState* state, const float factor[4], std::uint32_t)
{
    blendState = state;
    for (int i = 0; i < 4; ++i)
        blendFactor[i] = factor ? factor[i] : 1.0f;
    statesDirty = true;
}

void QP_DeviceContext::OMSetDepthStencilState(QP_DepthStencilState* state, std::uint32_t reference)
{
    depthStencilState = state;
    stencilRef = reference;
    statesDirty = true;
}

void QP_DeviceContext::RSSetState(QP_RasterizerState* state)
{
    rasterizerState = state;
    statesDirty = true;
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
    viewportDirty = true;
}

void QP_DeviceContext::RSSetScissorRects(std::uint32_t count, const QP_Rect* rects)
{
    scissor = (count > 0 && rects) ? rects[0] : QP_Rect();
    scissorDirty = true;
}

// --- input -------------------------------------------------------------------------------------
void QP_DeviceContext::IASetInputLayout(QP_InputLayout* layout) { inputLayout = layout; }

void QP_DeviceContext::IASetVertexBuffers(std::uint32_t startSlot, std::uint32_t count, QP_Buffer* const* buffers,
                                          const std::uint32_t* strides, const std::uint32_t* offsets)
{
    if (startSlot >= QP_INPUT_ASSEMBLER_SLOT_COUNT)
        return;
    count = std::min(count, QP_INPUT_ASSEMBLER_SLOT_COUNT - startSlot);
    for (std::uint32_t i = 0; i < count; ++i) {
        QP_Buffer* buffer = buffers ? buffers[i] : nullptr;
        if (buffer && !(buffer->desc.bindFlags & QP_BIND_VERTEX_BUFFER)) {
            QC_ERROR("IASetVertexBuffers: the buffer in slot %u is not a vertex buffer.", startSlot + i);
            buffer = nullptr;
        }
        vertexBuffers[startSlot + i] = buffer;
        vertexStrides[startSlot + i] = strides ? strides[i] : 0;
        vertexOffsets[startSlot + i] = offsets ? offsets[i] : 0;
    }
}

void QP_DeviceContext::IASetIndexBuffer(QP_Buffer* buffer, QP_Format format, std::uint32_t offset)
{
    if (buffer && (!(buffer->desc.bindFlags & QP_BIND_INDEX_BUFFER) ||
                   (format != QP_FORMAT_R16_UINT && format != QP_FORMAT_R32_UINT))) {
        QC_ERROR("IASetIndexBuffer: not an index buffer, or format %d is not R16_UINT or R32_UINT.", format);
        buffer = nullptr;
    }
    indexBuffer = buffer;
    indexFormat = format;
    indexOffset = offset;
}

void QP_DeviceContext::IASetPrimitiveTopology(QP_PrimitiveTopology primitiveTopology) { topology = primitiveTopology; }

// --- shaders and resources ---------------------------------------------------------------------
void QP_DeviceContext::VSSetShader(QP_VertexShader* shader)
{
    if (vertexShader.Get() != shader)
        pipelineVertexDirty = true;
    vertexShader = shader;
}

void QP_DeviceContext::PSSetShader(QP_PixelShader* shader)
{
    if (pixelShader.Get() != shader)
        pipelinePixelDirty = true;
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
    for (std::uint32_t i = 0; i < count; ++i)
        stages[stage].views[startSlot + i] = views ? views[i] : nullptr;
}

void QP_DeviceContext::SetSamplers(Stage stage, std::uint32_t startSlot, std::uint32_t count,
                                   QP_SamplerState* const* samplers)
{
    if (startSlot >= QP_SAMPLER_SLOT_COUNT)
        return;
    count = std::min(count, QP_SAMPLER_SLOT_COUNT - startSlot);
    for (std::uint32_t i = 0; i < count; ++i)
        stages[stage].samplers[startSlot + i] = samplers ? samplers[i] : nullptr;
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
void QP_DeviceContext::ApplyFramebuffer()
{
    GLenum drawBuffers[QP_SIMULTANEOUS_RENDER_TARGET_COUNT];
    for (std::uint32_t i = 0; i < QP_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
        const QP_RenderTargetView* view = renderTargets[i].Get();
        QP_Texture2D* texture = view ? view->texture.Get() : nullptr;
        if (texture != attachedColour[i].Get()) {
            glNamedFramebufferTexture(glFramebuffer, GL_COLOR_ATTACHMENT0 + i, texture ? texture->glTexture : 0,
                                      view ? static_cast<GLint>(view->desc.mipSlice) : 0);
            attachedColour[i] = texture;
        }
        drawBuffers[i] = (view && i < renderTargetCount) ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
    }
    glNamedFramebufferDrawBuffers(glFramebuffer, QP_SIMULTANEOUS_RENDER_TARGET_COUNT, drawBuffers);
    QP_Texture2D* depthTexture = depthStencil ? depthStencil->texture.Get() : nullptr;
    if (depthTexture != attachedDepth.Get()) {
        glNamedFramebufferTexture(glFramebuffer, GL_DEPTH_STENCIL_ATTACHMENT, depthTexture ? depthTexture->glTexture : 0,
                                  depthStencil ? static_cast<GLint>(depthStencil->desc.mipSlice) : 0);
        attachedDepth = depthTexture;
    }
    framebufferDirty = false;
    QP_CHECK_GL();
}

void QP_DeviceContext::ApplyStates()
{
    // Blend: Direct3D's default state is blending off, all channels written, factor ones.
    for (std::uint32_t i = 0; i < QP_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
        if (blendState) {
            const QP_BlendState::Target& target = blendState->targets[i];
            if (target.enable) {
                glEnablei(GL_BLEND, i);
                glBlendFuncSeparatei(i, target.srcColour, target.destColour, target.srcAlpha, target.destAlpha);
                glBlendEquationSeparatei(i, target.colourEquation, target.alphaEquation);
            } else {
                glDisablei(GL_BLEND, i);
            }
            const std::uint8_t mask = target.writeMask;
            glColorMaski(i, (mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
        } else {
            glDisablei(GL_BLEND, i);
            glColorMaski(i, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        }
    }
    glBlendColor(blendFactor[0], blendFactor[1], blendFactor[2], blendFactor[3]);
    if (blendState && blendState->desc.alphaToCoverageEnable)
        glEnable(GL_SAMPLE_ALPHA_TO_COVERAGE);
    else
        glDisable(GL_SAMPLE_ALPHA_TO_COVERAGE);

    // Depth-stencil: default depth test Less with writes, no stencil.
    const QP_DepthStencilState* depth = depthStencilState.Get();
    if (!depth || depth->desc.depthEnable) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(depth ? depth->depthFunc : GL_LESS);
        glDepthMask((!depth || depth->desc.depthWriteMask == QP_DEPTH_WRITE_MASK_ALL) ? GL_TRUE : GL_FALSE);
    } else {
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
    }
    if (depth && depth->desc.stencilEnable) {
        glEnable(GL_STENCIL_TEST);
        const GLint reference = static_cast<GLint>(stencilRef);
        glStencilFuncSeparate(GL_FRONT, depth->front.func, reference, depth->desc.stencilReadMask);
        glStencilFuncSeparate(GL_BACK, depth->back.func, reference, depth->desc.stencilReadMask);
        glStencilOpSeparate(GL_FRONT, depth->front.fail, depth->front.depthFail, depth->front.pass);
        glStencilOpSeparate(GL_BACK, depth->back.fail, depth->back.depthFail, depth->back.pass);
        glStencilMask(depth->desc.stencilWriteMask);
    } else {
        glDisable(GL_STENCIL_TEST);
    }

    // Rasteriser: default solid, cull back, clockwise front, depth clip on, no scissor.
    const QP_RasterizerState* raster = rasterizerState.Get();
    glPolygonMode(GL_FRONT_AND_BACK, raster ? raster->polygonMode : GL_FILL);
    if (!raster || raster->cullEnable) {
        glEnable(GL_CULL_FACE);
        glCullFace(raster ? raster->cullFace : GL_BACK);
    } else {
        glDisable(GL_CULL_FACE);
    }
    glFrontFace(raster ? raster->frontFace : GL_CW);
    if (raster && !raster->desc.depthClipEnable)
        glEnable(GL_DEPTH_CLAMP);
    else
        glDisable(GL_DEPTH_CLAMP);
    if (raster && (raster->desc.depthBias != 0 || raster->desc.slopeScaledDepthBias != 0.0f)) {
        glEnable(GL_POLYGON_OFFSET_FILL);
        glEnable(GL_POLYGON_OFFSET_LINE);
        glPolygonOffset(raster->desc.slopeScaledDepthBias, static_cast<float>(raster->desc.depthBias));
    } else {
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDisable(GL_POLYGON_OFFSET_LINE);
    }
    const bool scissorWanted = raster && raster->desc.scissorEnable;
    if (scissorWanted != glContext->scissorEnabled) {
        if (scissorWanted)
            glEnable(GL_SCISSOR_TEST);
        else
            glDisable(GL_SCISSOR_TEST);
        glContext->scissorEnabled = scissorWanted;
    }
    statesDirty = false;
    QP_CHECK_GL();
}

void QP_DeviceContext::ApplyInput()
{
    QP_InputLayout* layout = inputLayout.Get();
    if (layout) {
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
        if (layout != boundLayout.Get() || emptyVertexArrayBound) {
            glBindVertexArray(vertexArray);
            boundLayout = layout;
            emptyVertexArrayBound = false;
        }
    } else {
        glVertexArrayElementBuffer(glEmptyVertexArray, indexBuffer ? indexBuffer->glBuffer : 0);
        if (!emptyVertexArrayBound) {
            glBindVertexArray(glEmptyVertexArray);
            emptyVertexArrayBound = true;
        }
    }
}

void QP_DeviceContext::ApplyShaderResources(Stage stage, QP_Shader* shader)
{
    const QP_ShaderInterface& shaderInterface = shader->shaderInterface;
    const StageBindings& bindings = stages[stage];
    const std::uint32_t firstUnit = stage == PixelStage ? 0 : QP_MAX_SAMPLER_COMBINATIONS;
    for (std::uint32_t i = 0; i < shaderInterface.samplerCount; ++i) {
        const QP_ShaderSamplerCombination& combination = shaderInterface.samplers[i];
        const std::uint32_t unit = firstUnit + combination.unit;
        const QP_ShaderResourceView* view = bindings.views[combination.textureSlot].Get();
        QP_Texture2D* texture = view ? view->texture.Get() : nullptr;
        QP_SamplerState* sampler =
            combination.samplerSlot == QP_NO_SAMPLER_SLOT ? nullptr : bindings.samplers[combination.samplerSlot].Get();
        if (unitTextures[unit].Get() != texture) {
            glBindTextureUnit(unit, texture ? texture->glTexture : 0);
            unitTextures[unit] = texture;
        }
        if (unitSamplers[unit].Get() != sampler) {
            glBindSampler(unit, sampler ? sampler->glSampler : 0);
            unitSamplers[unit] = sampler;
        }
    }
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
    if (framebufferDirty)
        ApplyFramebuffer();
    if (statesDirty)
        ApplyStates();
    if (viewportDirty) {
        if (viewportSet) {
            glViewportIndexedf(0, viewport.topLeftX, viewport.topLeftY, viewport.width, viewport.height);
            glDepthRangeIndexed(0, viewport.minDepth, viewport.maxDepth);
        } else {
            glViewportIndexedf(0, 0.0f, 0.0f, 0.0f, 0.0f);
        }
        viewportDirty = false;
    }
    if (scissorDirty) {
        glScissorIndexed(0, scissor.left, scissor.top, std::max(scissor.right - scissor.left, 0),
                         std::max(scissor.bottom - scissor.top, 0));
        scissorDirty = false;
    }
    if (pipelineVertexDirty) {
        glUseProgramStages(glPipeline, GL_VERTEX_SHADER_BIT, vertexShader->glProgram);
        pipelineVertexDirty = false;
    }
    if (pipelinePixelDirty) {
        glUseProgramStages(glPipeline, GL_FRAGMENT_SHADER_BIT, pixelShader ? pixelShader->glProgram : 0);
        pipelinePixelDirty = false;
    }
    ApplyInput();
    ApplyShaderResources(VertexStage, vertexShader.Get());
    UploadConstants(VertexStage, vertexShader.Get());
    if (pixelShader) {
        ApplyShaderResources(PixelStage, pixelShader.Get());
        UploadConstants(PixelStage, pixelShader.Get());
    }
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
    GLenum mode = 0;
    if (!QP_GLTopology(topology, &mode)) {
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
    glDrawArraysInstancedBaseInstance(mode, static_cast<GLint>(startVertex), static_cast<GLsizei>(vertexCountPerInstance),
                                      static_cast<GLsizei>(instanceCount), startInstance);
    ++drawCalls;
    QP_CHECK_GL();
}

void QP_DeviceContext::DrawIndexedInstanced(std::uint32_t indexCountPerInstance, std::uint32_t instanceCount,
                                            std::uint32_t startIndex, std::int32_t baseVertex,
                                            std::uint32_t startInstance)
{
    GLenum mode = 0;
    if (!QP_GLTopology(topology, &mode)) {
        QC_ERROR("DrawIndexed with primitive topology %d.", topology);
        return;
    }
    if (!indexBuffer) {
        QC_ERROR("DrawIndexed without an index buffer.");
        return;
    }
    const std::uint32_t indexSize = indexFormat == QP_FORMAT_R16_UINT ? 2 : 4;
    const std::uint64_t end = indexOffset + (static_cast<std::uint64_t>(startIndex) + indexCountPerInstance) * indexSize;
    if (end > indexBuffer->desc.byteWidth) {
        QC_ERROR("DrawIndexed reads indices past the end of the index buffer (%llu > %u bytes).",
                 static_cast<unsigned long long>(end), indexBuffer->desc.byteWidth);
        return;
    }
    if (indexCountPerInstance == 0 || instanceCount == 0 || !PrepareDraw())
        return;
    const std::uintptr_t byteOffset = indexOffset + static_cast<std::uintptr_t>(startIndex) * indexSize;
    glDrawElementsInstancedBaseVertexBaseInstance(mode, static_cast<GLsizei>(indexCountPerInstance),
                                                  indexSize == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT,
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
        QC_ERROR("Map: no buffer, no output or subresource %u.", subresource);
        return QP_E_INVALIDARG;
    }
    if (buffer->mapped) {
        QC_ERROR("Map: the buffer is mapped already.");
        return QP_E_INVALIDARG;
    }
    // Direct3D's rules: only dynamic buffers with CPU write access map, for discard or for
    // writes that leave the rest alone (not constant buffers); nothing maps for reading.
    const bool dynamic = buffer->desc.usage == QP_USAGE_DYNAMIC;
    const bool discard = mapType == QP_MAP_WRITE_DISCARD;
    const bool noOverwrite = mapType == QP_MAP_WRITE_NO_OVERWRITE && buffer->desc.bindFlags != QP_BIND_CONSTANT_BUFFER;
    if (!dynamic || !(discard || noOverwrite)) {
        QC_ERROR("Map: map type %d is not allowed on a buffer of usage %d and bind flags 0x%X.", mapType,
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
