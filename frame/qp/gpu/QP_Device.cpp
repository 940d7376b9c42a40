// Resource and state creation. Sections: buffers, textures, views, shaders and input layouts,
// pipeline states, queries, device creation. Every description is checked completely before a
// GL object is made, and a refused value is named in the log line.

#include "QP_Device.h"

#include "QC_Log.h"
#include "QP_DeviceContext.h"
#include "QP_Factory.h"
#include "QP_GL.h"
#include "QP_GLContext.h"

#include <algorithm>
#include <cstring>

namespace {

template <typename T>
QP_Result Deliver(T* object, QC_Ptr<T>* out)
{
    QC_Ptr<T> held(object);
    if (out)
        *out = held;
    return QP_OK;
}

std::uint32_t FullMipCount(std::uint32_t width, std::uint32_t height)
{
    std::uint32_t levels = 1;
    for (std::uint32_t size = std::max(width, height); size > 1; size /= 2)
        ++levels;
    return levels;
}

} // namespace

QP_Device::QP_Device(QP_GLContext* context) : glContext(context)
{
    immediateContext = QC_Ptr<QP_DeviceContext>(new QP_DeviceContext(context));
    // Direct3D's default states as objects, so that binding null binds them and a push never
    // asks whether a state is bound.
    const QP_BlendDesc1 blendDefaults;
    const QP_DepthStencilDesc depthStencilDefaults;
    const QP_RasterizerDesc rasterizerDefaults;
    CreateBlendState1(&blendDefaults, &immediateContext->defaultBlendState);
    CreateDepthStencilState(&depthStencilDefaults, &immediateContext->defaultDepthStencilState);
    CreateRasterizerState(&rasterizerDefaults, &immediateContext->defaultRasterizerState);
    immediateContext->ClearState();
}

QP_Device::~QP_Device() = default;

void QP_Device::GetImmediateContext(QC_Ptr<QP_DeviceContext>* context)
{
    if (context)
        *context = immediateContext;
}

const char* QP_Device::GetRendererName() const { return glContext->RendererName(); }
bool QP_Device::IsHeadless() const { return glContext->Headless(); }

// --- buffers -----------------------------------------------------------------------------------
QP_Result QP_Device::CreateBuffer(const QP_BufferDesc* desc, const QP_SubresourceData* initialData,
                                  QC_Ptr<QP_Buffer>* buffer)
{
    if (!desc || desc->byteWidth == 0) {
        QC_INFO("CreateBuffer: no description or a size of 0.");
        return QP_E_INVALIDARG;
    }
    const std::uint32_t knownBinds =
        QP_BIND_VERTEX_BUFFER | QP_BIND_INDEX_BUFFER | QP_BIND_CONSTANT_BUFFER | QP_BIND_SHADER_RESOURCE;
    if (desc->bindFlags == 0 || (desc->bindFlags & ~knownBinds) != 0) {
        QC_INFO("CreateBuffer: bind flags 0x%X are not supported.", desc->bindFlags);
        return QP_E_INVALIDARG;
    }
    const std::uint32_t stride = desc->structureByteStride;
    const bool structured = (desc->miscFlags & QP_RESOURCE_MISC_BUFFER_STRUCTURED) != 0;
    if ((structured && (stride == 0 || stride % 4 != 0 || stride > 2048)) ||
        ((desc->miscFlags & QP_RESOURCE_MISC_BUFFER_ALLOW_RAW_VIEWS) && (structured || desc->byteWidth % 4 != 0))) {
        QC_INFO("CreateBuffer: a structured buffer needs a stride of 4 to 2048 bytes in 4-byte steps (%u), and a "
                "buffer for raw views a size in 4-byte steps (%u), never both.",
                stride, desc->byteWidth);
        return QP_E_INVALIDARG;
    }
    if ((desc->bindFlags & QP_BIND_CONSTANT_BUFFER) &&
        (desc->bindFlags != QP_BIND_CONSTANT_BUFFER || desc->byteWidth % 16 != 0 ||
         desc->byteWidth > QP_MAX_CONSTANT_BUFFER_BYTES)) {
        QC_INFO("CreateBuffer: a constant buffer is bound alone and sized in 16-byte steps up to %u bytes (%u).",
                QP_MAX_CONSTANT_BUFFER_BYTES, desc->byteWidth);
        return QP_E_INVALIDARG;
    }
    switch (desc->usage) {
    case QP_USAGE_DEFAULT:
        if (desc->cpuAccessFlags != 0) {
            QC_INFO("CreateBuffer: default usage allows no CPU access.");
            return QP_E_INVALIDARG;
        }
        break;
    case QP_USAGE_IMMUTABLE:
        if (desc->cpuAccessFlags != 0 || !initialData || !initialData->sysMem) {
            QC_INFO("CreateBuffer: an immutable buffer needs initial data and no CPU access.");
            return QP_E_INVALIDARG;
        }
        break;
    case QP_USAGE_DYNAMIC:
        if (desc->cpuAccessFlags != QP_CPU_ACCESS_WRITE) {
            QC_INFO("CreateBuffer: a dynamic buffer needs CPU write access only.");
            return QP_E_INVALIDARG;
        }
        break;
    default:
        QC_INFO("CreateBuffer: usage %d is not supported.", desc->usage);
        return QP_E_INVALIDARG;
    }
    if (initialData && !initialData->sysMem) {
        QC_INFO("CreateBuffer: initial data without memory.");
        return QP_E_INVALIDARG;
    }

    QP_Buffer* created = new QP_Buffer(glContext.Get(), *desc);
    QC_Ptr<QP_Buffer> held(created);
    created->version = QP_NextBufferVersion();
    const void* data = initialData ? initialData->sysMem : nullptr;
    if (desc->bindFlags == QP_BIND_CONSTANT_BUFFER) {
        created->cpuMemory.assign(desc->byteWidth, 0);
        if (data)
            std::memcpy(created->cpuMemory.data(), data, desc->byteWidth);
    } else {
        glCreateBuffers(1, &created->glBuffer);
        if (desc->usage == QP_USAGE_DYNAMIC) {
            // Mutable storage: a discarding map orphans it at unmap.
            created->cpuMemory.assign(desc->byteWidth, 0);
            if (data)
                std::memcpy(created->cpuMemory.data(), data, desc->byteWidth);
            glNamedBufferData(created->glBuffer, desc->byteWidth, created->cpuMemory.data(), GL_DYNAMIC_DRAW);
        } else {
            const GLbitfield flags = desc->usage == QP_USAGE_DEFAULT ? GL_DYNAMIC_STORAGE_BIT : 0;
            glNamedBufferStorage(created->glBuffer, desc->byteWidth, data, flags);
        }
        QP_CHECK_GL();
    }
    if (buffer)
        *buffer = held;
    return QP_OK;
}

// --- textures ----------------------------------------------------------------------------------
QP_Result QP_Device::CreateTexture2D(const QP_Texture2DDesc* desc, const QP_SubresourceData* initialData,
                                     QC_Ptr<QP_Texture2D>* texture)
{
    if (!desc || desc->width == 0 || desc->height == 0 || desc->width > 16384 || desc->height > 16384) {
        QC_INFO("CreateTexture2D: size %ux%u is outside 1 to 16384.", desc ? desc->width : 0, desc ? desc->height : 0);
        return QP_E_INVALIDARG;
    }
    const QP_GLFormat* format = QP_GLFindFormat(desc->format);
    if (!format || !format->internalFormat) {
        QC_INFO("CreateTexture2D: format %d is not supported.", desc->format);
        return QP_E_INVALIDARG;
    }
    const std::uint32_t knownBinds = QP_BIND_SHADER_RESOURCE | QP_BIND_RENDER_TARGET | QP_BIND_DEPTH_STENCIL;
    if ((desc->bindFlags & ~knownBinds) != 0 || desc->arraySize != 1 || desc->sampleDesc.count != 1 ||
        desc->cpuAccessFlags != 0 || (desc->usage != QP_USAGE_DEFAULT && desc->usage != QP_USAGE_IMMUTABLE)) {
        QC_INFO("CreateTexture2D: only single-sample, single-slice default or immutable textures without CPU "
                "access are supported (bind 0x%X, usage %d).",
                desc->bindFlags, desc->usage);
        return QP_E_INVALIDARG;
    }
    if (format->depthStencil != ((desc->bindFlags & QP_BIND_DEPTH_STENCIL) != 0) ||
        (format->depthStencil && (desc->bindFlags & (QP_BIND_RENDER_TARGET | QP_BIND_SHADER_RESOURCE)))) {
        QC_INFO("CreateTexture2D: format %d does not fit bind flags 0x%X.", desc->format, desc->bindFlags);
        return QP_E_INVALIDARG;
    }
    const std::uint32_t fullChain = FullMipCount(desc->width, desc->height);
    const std::uint32_t levels = desc->mipLevels == 0 ? fullChain : desc->mipLevels;
    if (levels > fullChain) {
        QC_INFO("CreateTexture2D: %u mip levels for a %ux%u texture.", levels, desc->width, desc->height);
        return QP_E_INVALIDARG;
    }
    if (desc->usage == QP_USAGE_IMMUTABLE && !initialData) {
        QC_INFO("CreateTexture2D: an immutable texture needs initial data.");
        return QP_E_INVALIDARG;
    }

    QP_Texture2DDesc stored = *desc;
    stored.mipLevels = levels;
    QP_Texture2D* created = new QP_Texture2D(glContext.Get(), stored);
    QC_Ptr<QP_Texture2D> held(created);
    glCreateTextures(GL_TEXTURE_2D, 1, &created->glTexture);
    glTextureStorage2D(created->glTexture, static_cast<GLsizei>(levels), format->internalFormat,
                       static_cast<GLsizei>(desc->width), static_cast<GLsizei>(desc->height));
    // Without this a texture of fewer levels than a full chain is incomplete under mipmap filters.
    glTextureParameteri(created->glTexture, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
    if (initialData) {
        for (std::uint32_t level = 0; level < levels; ++level) {
            const QP_SubresourceData& data = initialData[level];
            if (!data.sysMem)
                continue;
            const std::uint32_t width = std::max(desc->width >> level, 1u);
            const std::uint32_t height = std::max(desc->height >> level, 1u);
            const std::uint32_t pitch = data.sysMemPitch ? data.sysMemPitch : width * format->bytesPerPixel;
            QP_Box box;
            box.right = width;
            box.bottom = height;
            immediateContext->UpdateSubresource(created, level, &box, data.sysMem, pitch, 0);
        }
    }
    QP_CHECK_GL();
    if (texture)
        *texture = held;
    return QP_OK;
}

// --- views -------------------------------------------------------------------------------------
QP_Result QP_Device::CreateShaderResourceView(QP_Buffer* resource, const QP_ShaderResourceViewDesc* desc,
                                              QC_Ptr<QP_ShaderResourceView>* view)
{
    if (!resource || !(resource->desc.bindFlags & QP_BIND_SHADER_RESOURCE) || !resource->glBuffer) {
        QC_INFO("CreateShaderResourceView: the buffer is not bound as a shader resource.");
        return QP_E_INVALIDARG;
    }
    const bool structured = (resource->desc.miscFlags & QP_RESOURCE_MISC_BUFFER_STRUCTURED) != 0;
    const bool raw = desc ? desc->viewDimension == QP_SRV_DIMENSION_BUFFEREX && (desc->bufferFlags & QP_BUFFEREX_SRV_FLAG_RAW)
                          : !structured;
    if ((raw && !(resource->desc.miscFlags & QP_RESOURCE_MISC_BUFFER_ALLOW_RAW_VIEWS)) || (!raw && !structured) ||
        (desc && desc->viewDimension != QP_SRV_DIMENSION_BUFFER && desc->viewDimension != QP_SRV_DIMENSION_BUFFEREX)) {
        QC_INFO("CreateShaderResourceView: a buffer is viewed as a structured buffer or, when it allows raw views, "
                "as raw words; typed buffer views are not supported.");
        return QP_E_INVALIDARG;
    }
    const std::uint64_t elementSize = raw ? 4 : resource->desc.structureByteStride;
    const std::uint64_t first = desc ? desc->firstElement : 0;
    const std::uint64_t count = desc ? desc->numElements : resource->desc.byteWidth / elementSize;
    GLint alignment = 1;
    glGetIntegerv(GL_SHADER_STORAGE_BUFFER_OFFSET_ALIGNMENT, &alignment);
    if (count == 0 || (first + count) * elementSize > resource->desc.byteWidth ||
        (first * elementSize) % static_cast<std::uint64_t>(std::max(alignment, 1)) != 0) {
        QC_INFO("CreateShaderResourceView: elements %llu to %llu of %llu bytes are not inside the buffer or start "
                "off the %d-byte alignment of storage buffers.",
                static_cast<unsigned long long>(first), static_cast<unsigned long long>(first + count),
                static_cast<unsigned long long>(elementSize), alignment);
        return QP_E_INVALIDARG;
    }
    QP_ShaderResourceViewDesc viewDesc;
    viewDesc.viewDimension = raw ? QP_SRV_DIMENSION_BUFFEREX : QP_SRV_DIMENSION_BUFFER;
    viewDesc.mipLevels = 0;
    viewDesc.firstElement = static_cast<std::uint32_t>(first);
    viewDesc.numElements = static_cast<std::uint32_t>(count);
    viewDesc.bufferFlags = raw ? QP_BUFFEREX_SRV_FLAG_RAW : 0;
    return Deliver(new QP_ShaderResourceView(glContext.Get(), resource, viewDesc,
                                             static_cast<std::uint32_t>(first * elementSize),
                                             static_cast<std::uint32_t>(count * elementSize)),
                   view);
}

QP_Result QP_Device::CreateShaderResourceView(QP_Texture2D* resource, const QP_ShaderResourceViewDesc* desc,
                                              QC_Ptr<QP_ShaderResourceView>* view)
{
    if (!resource || !(resource->desc.bindFlags & QP_BIND_SHADER_RESOURCE)) {
        QC_INFO("CreateShaderResourceView: the resource is not bound as a shader resource.");
        return QP_E_INVALIDARG;
    }
    QP_ShaderResourceViewDesc viewDesc;
    viewDesc.format = resource->desc.format;
    viewDesc.mipLevels = resource->desc.mipLevels;
    if (desc) {
        // Views of another format or of part of the mip chain are not supported: GL would need
        // a texture view object per combination.
        if ((desc->format != resource->desc.format && desc->format != QP_FORMAT_UNKNOWN) ||
            desc->viewDimension != QP_SRV_DIMENSION_TEXTURE2D || desc->mostDetailedMip != 0 ||
            (desc->mipLevels != resource->desc.mipLevels && desc->mipLevels != 0xFFFFFFFFu)) {
            QC_INFO("CreateShaderResourceView: only a view of the whole texture in its format is supported.");
            return QP_E_INVALIDARG;
        }
    }
    return Deliver(new QP_ShaderResourceView(glContext.Get(), resource, viewDesc), view);
}

QP_Result QP_Device::CreateRenderTargetView(QP_Texture2D* resource, const QP_RenderTargetViewDesc* desc,
                                            QC_Ptr<QP_RenderTargetView>* view)
{
    if (!resource || !(resource->desc.bindFlags & QP_BIND_RENDER_TARGET)) {
        QC_INFO("CreateRenderTargetView: the resource is not bound as a render target.");
        return QP_E_INVALIDARG;
    }
    QP_RenderTargetViewDesc viewDesc;
    viewDesc.format = resource->desc.format;
    if (desc) {
        if ((desc->format != resource->desc.format && desc->format != QP_FORMAT_UNKNOWN) ||
            desc->viewDimension != QP_RTV_DIMENSION_TEXTURE2D || desc->mipSlice >= resource->desc.mipLevels) {
            QC_INFO("CreateRenderTargetView: only two-dimensional views in the texture's format are supported.");
            return QP_E_INVALIDARG;
        }
        viewDesc.mipSlice = desc->mipSlice;
    }
    QP_RenderTargetView* created = new QP_RenderTargetView(glContext.Get(), resource, viewDesc);
    QC_Ptr<QP_RenderTargetView> held(created);
    glCreateFramebuffers(1, &created->glClearFramebuffer);
    glNamedFramebufferTexture(created->glClearFramebuffer, GL_COLOR_ATTACHMENT0, resource->glTexture,
                              static_cast<GLint>(viewDesc.mipSlice));
    QP_CHECK_GL();
    if (view)
        *view = held;
    return QP_OK;
}

QP_Result QP_Device::CreateDepthStencilView(QP_Texture2D* resource, const QP_DepthStencilViewDesc* desc,
                                            QC_Ptr<QP_DepthStencilView>* view)
{
    if (!resource || !(resource->desc.bindFlags & QP_BIND_DEPTH_STENCIL)) {
        QC_INFO("CreateDepthStencilView: the resource is not bound as a depth-stencil buffer.");
        return QP_E_INVALIDARG;
    }
    QP_DepthStencilViewDesc viewDesc;
    viewDesc.format = resource->desc.format;
    if (desc) {
        if ((desc->format != resource->desc.format && desc->format != QP_FORMAT_UNKNOWN) ||
            desc->viewDimension != QP_DSV_DIMENSION_TEXTURE2D || desc->mipSlice >= resource->desc.mipLevels ||
            desc->flags != 0) {
            QC_INFO("CreateDepthStencilView: only two-dimensional writable views in the texture's format are "
                    "supported.");
            return QP_E_INVALIDARG;
        }
        viewDesc.mipSlice = desc->mipSlice;
    }
    QP_DepthStencilView* created = new QP_DepthStencilView(glContext.Get(), resource, viewDesc);
    QC_Ptr<QP_DepthStencilView> held(created);
    glCreateFramebuffers(1, &created->glClearFramebuffer);
    glNamedFramebufferTexture(created->glClearFramebuffer, GL_DEPTH_STENCIL_ATTACHMENT, resource->glTexture,
                              static_cast<GLint>(viewDesc.mipSlice));
    QP_CHECK_GL();
    if (view)
        *view = held;
    return QP_OK;
}

// --- shaders and input layouts -------------------------------------------------------------------
QP_Result QP_Device::CreateShader(const void* code, std::size_t codeSize, std::uint32_t stage, QP_Shader* shader)
{
    const char* text = nullptr;
    if (!QP_ParseShaderCode(code, codeSize, &shader->shaderInterface, &text) ||
        shader->shaderInterface.stage != stage) {
        QC_INFO("Create%sShader: the code is not a compiled %s stage.", stage == QP_SHADER_STAGE_VERTEX ? "Vertex" : "Pixel",
                stage == QP_SHADER_STAGE_VERTEX ? "vertex" : "pixel");
        return QP_E_INVALIDARG;
    }
    const GLenum type = stage == QP_SHADER_STAGE_VERTEX ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER;
    // Separable: each stage is its own program, joined with the other in a pipeline at draw.
    shader->glProgram = glCreateShaderProgramv(type, 1, &text);
    GLint linked = GL_FALSE;
    if (shader->glProgram)
        glGetProgramiv(shader->glProgram, GL_LINK_STATUS, &linked);
    if (!linked) {
        char log[2048] = {};
        if (shader->glProgram)
            glGetProgramInfoLog(shader->glProgram, sizeof(log), nullptr, log);
        QC_INFO("The GL driver refused a compiled shader stage: %s", log);
        return QP_E_FAIL;
    }
    shader->glslText.assign(text, text + std::strlen(text) + 1);
    for (std::uint32_t i = 0; i < shader->shaderInterface.constantBlockCount; ++i) {
        const QP_ShaderConstantBlock& block = shader->shaderInterface.constantBlocks[i];
        shader->constantLocations[i] = glGetUniformLocation(shader->glProgram, block.uniformName);
    }
    QP_CHECK_GL();
    return QP_OK;
}

QP_Result QP_Device::CreateVertexShader(const void* code, std::size_t codeSize, QC_Ptr<QP_VertexShader>* shader)
{
    QC_Ptr<QP_VertexShader> created(new QP_VertexShader(glContext.Get()));
    const QP_Result result = CreateShader(code, codeSize, QP_SHADER_STAGE_VERTEX, created.Get());
    if (QP_Succeeded(result) && shader)
        *shader = created;
    return result;
}

QP_Result QP_Device::CreatePixelShader(const void* code, std::size_t codeSize, QC_Ptr<QP_PixelShader>* shader)
{
    QC_Ptr<QP_PixelShader> created(new QP_PixelShader(glContext.Get()));
    const QP_Result result = CreateShader(code, codeSize, QP_SHADER_STAGE_PIXEL, created.Get());
    if (QP_Succeeded(result) && shader)
        *shader = created;
    return result;
}

QP_Result QP_Device::CreateInputLayout(const QP_InputElementDesc* elements, std::uint32_t elementCount,
                                       const void* shaderCode, std::size_t codeSize, QC_Ptr<QP_InputLayout>* layout)
{
    QP_ShaderInterface shaderInterface;
    const char* text = nullptr;
    if (!QP_ParseShaderCode(shaderCode, codeSize, &shaderInterface, &text) ||
        shaderInterface.stage != QP_SHADER_STAGE_VERTEX) {
        QC_INFO("CreateInputLayout: the code is not a compiled vertex stage.");
        return QP_E_INVALIDARG;
    }
    if (elementCount > QP_MAX_INPUT_ELEMENTS || (elementCount > 0 && !elements)) {
        QC_INFO("CreateInputLayout: %u elements (at most %u).", elementCount, QP_MAX_INPUT_ELEMENTS);
        return QP_E_INVALIDARG;
    }
    struct Attribute
    {
        std::uint32_t location, slot, offset;
        const QP_GLFormat* format;
        bool used;
    };
    Attribute attributes[QP_MAX_INPUT_ELEMENTS];
    std::uint32_t slotEnd[QP_INPUT_ASSEMBLER_SLOT_COUNT] = {};
    std::int32_t slotClass[QP_INPUT_ASSEMBLER_SLOT_COUNT];
    std::uint32_t slotRate[QP_INPUT_ASSEMBLER_SLOT_COUNT] = {};
    std::fill(std::begin(slotClass), std::end(slotClass), -1);
    std::uint32_t usedLocations = 0;
    for (std::uint32_t i = 0; i < elementCount; ++i) {
        const QP_InputElementDesc& element = elements[i];
        Attribute& attribute = attributes[i];
        if (!element.semanticName) {
            QC_INFO("CreateInputLayout: element %u has no semantic.", i);
            return QP_E_INVALIDARG;
        }
        // An element no input of the shader reads, and that has no fixed location, feeds nothing.
        attribute.used = QP_InputElementLocation(shaderInterface, element.semanticName, element.semanticIndex,
                                                 &attribute.location);
        attribute.format = QP_GLFindFormat(element.format);
        if (!attribute.format || attribute.format->vertexComponents == 0) {
            QC_INFO("CreateInputLayout: format %d is not a vertex format.", element.format);
            return QP_E_INVALIDARG;
        }
        if (element.inputSlot >= QP_INPUT_ASSEMBLER_SLOT_COUNT ||
            (element.inputSlotClass != QP_INPUT_PER_VERTEX_DATA && element.inputSlotClass != QP_INPUT_PER_INSTANCE_DATA)) {
            QC_INFO("CreateInputLayout: element %u has slot %u and class %d.", i, element.inputSlot,
                    element.inputSlotClass);
            return QP_E_INVALIDARG;
        }
        // GL sets the step rate per buffer binding, Direct3D per element: one rate per slot.
        const std::uint32_t rate = element.inputSlotClass == QP_INPUT_PER_INSTANCE_DATA ? element.instanceDataStepRate : 0;
        if (slotClass[element.inputSlot] >= 0 &&
            (slotClass[element.inputSlot] != element.inputSlotClass || slotRate[element.inputSlot] != rate)) {
            QC_INFO("CreateInputLayout: slot %u mixes step rates.", element.inputSlot);
            return QP_E_INVALIDARG;
        }
        slotClass[element.inputSlot] = element.inputSlotClass;
        slotRate[element.inputSlot] = rate;
        if (attribute.used && ((usedLocations >> attribute.location) & 1u)) {
            QC_INFO("CreateInputLayout: semantic %s%u appears twice.", element.semanticName, element.semanticIndex);
            return QP_E_INVALIDARG;
        }
        usedLocations |= attribute.used ? 1u << attribute.location : 0u;
        attribute.slot = element.inputSlot;
        attribute.offset = element.alignedByteOffset == QP_APPEND_ALIGNED_ELEMENT ? slotEnd[element.inputSlot]
                                                                                  : element.alignedByteOffset;
        if (attribute.offset > 2048) {
            QC_INFO("CreateInputLayout: element %u starts at byte %u.", i, attribute.offset);
            return QP_E_INVALIDARG;
        }
        slotEnd[element.inputSlot] = attribute.offset + attribute.format->bytesPerPixel;
    }
    // Every input the vertex stage reads must come from an element.
    for (std::uint32_t i = 0; i < shaderInterface.inputCount; ++i) {
        const QP_ShaderInput& input = shaderInterface.inputs[i];
        if (!((usedLocations >> input.location) & 1u)) {
            QC_INFO("CreateInputLayout: the shader reads %s%u, which no element provides.", input.semanticName,
                    input.semanticIndex);
            return QP_E_INVALIDARG;
        }
    }

    QP_InputLayout* created = new QP_InputLayout(glContext.Get());
    QC_Ptr<QP_InputLayout> held(created);
    glCreateVertexArrays(1, &created->glVertexArray);
    for (std::uint32_t i = 0; i < elementCount; ++i) {
        const Attribute& attribute = attributes[i];
        const QP_GLFormat& format = *attribute.format;
        if (!attribute.used)
            continue;
        glEnableVertexArrayAttrib(created->glVertexArray, attribute.location);
        if (format.vertexInteger)
            glVertexArrayAttribIFormat(created->glVertexArray, attribute.location, format.vertexComponents,
                                       format.vertexType, attribute.offset);
        else
            glVertexArrayAttribFormat(created->glVertexArray, attribute.location, format.vertexComponents,
                                      format.vertexType, format.vertexNormalised ? GL_TRUE : GL_FALSE, attribute.offset);
        glVertexArrayAttribBinding(created->glVertexArray, attribute.location, attribute.slot);
        created->usedSlots |= 1u << attribute.slot;
        created->slotExtent[attribute.slot] =
            std::max(created->slotExtent[attribute.slot], attribute.offset + format.bytesPerPixel);
    }
    for (std::uint32_t slot = 0; slot < QP_INPUT_ASSEMBLER_SLOT_COUNT; ++slot) {
        if (slotClass[slot] == QP_INPUT_PER_INSTANCE_DATA) {
            glVertexArrayBindingDivisor(created->glVertexArray, slot, slotRate[slot]);
            created->instancedSlots |= 1u << slot;
            created->slotStepRate[slot] = slotRate[slot];
        }
    }
    QP_CHECK_GL();
    if (layout)
        *layout = held;
    return QP_OK;
}

// --- pipeline states ---------------------------------------------------------------------------
QP_Result QP_Device::CreateBlendState(const QP_BlendDesc* desc, QC_Ptr<QP_BlendState>* state)
{
    if (!desc) {
        QC_INFO("CreateBlendState: no description.");
        return QP_E_INVALIDARG;
    }
    // One set of factors for every slot: the same as eight identical independent entries.
    QP_BlendDesc1 expanded;
    expanded.alphaToCoverageEnable = desc->alphaToCoverageEnable;
    expanded.independentBlendEnable = true;
    for (std::uint32_t i = 0; i < QP_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
        QP_RenderTargetBlendDesc1& target = expanded.renderTarget[i];
        target.blendEnable = desc->blendEnable[i];
        target.srcBlend = desc->srcBlend;
        target.destBlend = desc->destBlend;
        target.blendOp = desc->blendOp;
        target.srcBlendAlpha = desc->srcBlendAlpha;
        target.destBlendAlpha = desc->destBlendAlpha;
        target.blendOpAlpha = desc->blendOpAlpha;
        target.renderTargetWriteMask = desc->renderTargetWriteMask[i];
    }
    return CreateBlendState1(&expanded, state);
}

QP_Result QP_Device::CreateBlendState1(const QP_BlendDesc1* desc, QC_Ptr<QP_BlendState>* state)
{
    if (!desc) {
        QC_INFO("CreateBlendState: no description.");
        return QP_E_INVALIDARG;
    }
    QC_Ptr<QP_BlendState> created(new QP_BlendState(glContext.Get(), *desc));
    for (std::uint32_t i = 0; i < QP_SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
        const QP_RenderTargetBlendDesc1& source = desc->renderTarget[desc->independentBlendEnable ? i : 0];
        QP_BlendState::Target& target = created->targets[i];
        GLenum srcColour = 0, destColour = 0, colourEquation = 0, srcAlpha = 0, destAlpha = 0, alphaEquation = 0;
        if (!QP_GLBlendFactor(source.srcBlend, &srcColour) || !QP_GLBlendFactor(source.destBlend, &destColour) ||
            !QP_GLBlendFactor(source.srcBlendAlpha, &srcAlpha) || !QP_GLBlendFactor(source.destBlendAlpha, &destAlpha)) {
            QC_INFO("CreateBlendState: unknown blend factor in entry %u (%d, %d, %d, %d).", i, source.srcBlend,
                    source.destBlend, source.srcBlendAlpha, source.destBlendAlpha);
            return QP_E_INVALIDARG;
        }
        if (!QP_GLBlendEquation(source.blendOp, &colourEquation) ||
            !QP_GLBlendEquation(source.blendOpAlpha, &alphaEquation)) {
            QC_INFO("CreateBlendState: unknown blend operation in entry %u (%d, %d).", i, source.blendOp,
                    source.blendOpAlpha);
            return QP_E_INVALIDARG;
        }
        if (source.renderTargetWriteMask > QP_COLOR_WRITE_ENABLE_ALL) {
            QC_INFO("CreateBlendState: write mask %u in entry %u.", source.renderTargetWriteMask, i);
            return QP_E_INVALIDARG;
        }
        target = {source.blendEnable, srcColour, destColour, colourEquation, srcAlpha, destAlpha, alphaEquation,
                  source.renderTargetWriteMask};
    }
    // Factors and equations of a target that does not blend are never pushed.
    const QP_BlendState::Target& first = created->targets[0];
    created->sameForAllTargets = true;
    for (const QP_BlendState::Target& other : created->targets) {
        const bool sameFactors = !first.enable ||
                                 (first.srcColour == other.srcColour && first.destColour == other.destColour &&
                                  first.colourEquation == other.colourEquation && first.srcAlpha == other.srcAlpha &&
                                  first.destAlpha == other.destAlpha && first.alphaEquation == other.alphaEquation);
        if (first.enable != other.enable || first.writeMask != other.writeMask || !sameFactors)
            created->sameForAllTargets = false;
    }
    if (state)
        *state = created;
    return QP_OK;
}

QP_Result QP_Device::CreateDepthStencilState(const QP_DepthStencilDesc* desc, QC_Ptr<QP_DepthStencilState>* state)
{
    if (!desc) {
        QC_INFO("CreateDepthStencilState: no description.");
        return QP_E_INVALIDARG;
    }
    QC_Ptr<QP_DepthStencilState> created(new QP_DepthStencilState(glContext.Get(), *desc));
    GLenum depthFunc = 0;
    if (!QP_GLComparison(desc->depthFunc, &depthFunc) ||
        (desc->depthWriteMask != QP_DEPTH_WRITE_MASK_ZERO && desc->depthWriteMask != QP_DEPTH_WRITE_MASK_ALL)) {
        QC_INFO("CreateDepthStencilState: depth function %d or write mask %d is unknown.", desc->depthFunc,
                desc->depthWriteMask);
        return QP_E_INVALIDARG;
    }
    created->depthTest = desc->depthEnable;
    created->depthWrite = desc->depthEnable && desc->depthWriteMask == QP_DEPTH_WRITE_MASK_ALL;
    created->depthFunc = depthFunc;
    created->stencilTest = desc->stencilEnable;
    const QP_DepthStencilOpDesc* faces[2] = {&desc->frontFace, &desc->backFace};
    QP_DepthStencilState::Face* outFaces[2] = {&created->front, &created->back};
    for (int i = 0; i < 2; ++i) {
        GLenum fail = 0, depthFail = 0, pass = 0, func = 0;
        if (!QP_GLStencilOp(faces[i]->stencilFailOp, &fail) || !QP_GLStencilOp(faces[i]->stencilDepthFailOp, &depthFail) ||
            !QP_GLStencilOp(faces[i]->stencilPassOp, &pass) || !QP_GLComparison(faces[i]->stencilFunc, &func)) {
            QC_INFO("CreateDepthStencilState: unknown stencil operation or function on the %s face.",
                    i == 0 ? "front" : "back");
            return QP_E_INVALIDARG;
        }
        *outFaces[i] = {fail, depthFail, pass, func};
    }
    if (state)
        *state = created;
    return QP_OK;
}

QP_Result QP_Device::CreateRasterizerState(const QP_RasterizerDesc* desc, QC_Ptr<QP_RasterizerState>* state)
{
    if (!desc) {
        QC_INFO("CreateRasterizerState: no description.");
        return QP_E_INVALIDARG;
    }
    QC_Ptr<QP_RasterizerState> created(new QP_RasterizerState(glContext.Get(), *desc));
    GLenum polygonMode = 0, cullFace = 0;
    bool cullEnable = false;
    if (!QP_GLFillMode(desc->fillMode, &polygonMode)) {
        QC_INFO("CreateRasterizerState: unknown fill mode %d.", desc->fillMode);
        return QP_E_INVALIDARG;
    }
    if (!QP_GLCullMode(desc->cullMode, &cullEnable, &cullFace)) {
        QC_INFO("CreateRasterizerState: unknown cull mode %d.", desc->cullMode);
        return QP_E_INVALIDARG;
    }
    created->polygonMode = polygonMode;
    created->cullEnable = cullEnable;
    created->cullFace = cullFace;
    // GL decides the winding in window coordinates, which run top-down here as on screen
    // (upper-left clip origin): clockwise means what it means in Direct3D.
    created->frontFace = desc->frontCounterClockwise ? GL_CCW : GL_CW;
    created->depthClamp = !desc->depthClipEnable;
    created->polygonOffset = desc->depthBias != 0 || desc->slopeScaledDepthBias != 0.0f;
    created->offsetFactor = desc->slopeScaledDepthBias;
    created->offsetUnits = static_cast<float>(desc->depthBias);
    created->scissorTest = desc->scissorEnable;
    if (state)
        *state = created;
    return QP_OK;
}

QP_Result QP_Device::CreateSamplerState(const QP_SamplerDesc* desc, QC_Ptr<QP_SamplerState>* state)
{
    if (!desc) {
        QC_INFO("CreateSamplerState: no description.");
        return QP_E_INVALIDARG;
    }
    GLenum minFilter = 0, magFilter = 0, wrapU = 0, wrapV = 0, wrapW = 0, comparisonFunc = 0;
    bool anisotropic = false, comparison = false;
    if (!QP_GLFilter(desc->filter, &minFilter, &magFilter, &anisotropic, &comparison)) {
        QC_INFO("CreateSamplerState: unknown filter %d.", desc->filter);
        return QP_E_INVALIDARG;
    }
    if (!QP_GLTextureAddress(desc->addressU, &wrapU) || !QP_GLTextureAddress(desc->addressV, &wrapV) ||
        !QP_GLTextureAddress(desc->addressW, &wrapW)) {
        QC_INFO("CreateSamplerState: unknown address mode (%d, %d, %d).", desc->addressU, desc->addressV,
                desc->addressW);
        return QP_E_INVALIDARG;
    }
    if (!QP_GLComparison(desc->comparisonFunc, &comparisonFunc)) {
        QC_INFO("CreateSamplerState: unknown comparison function %d.", desc->comparisonFunc);
        return QP_E_INVALIDARG;
    }
    if (anisotropic && (desc->maxAnisotropy < 1 || desc->maxAnisotropy > 16)) {
        QC_INFO("CreateSamplerState: maximum anisotropy %u is outside 1 to 16.", desc->maxAnisotropy);
        return QP_E_INVALIDARG;
    }
    QP_SamplerState* created = new QP_SamplerState(glContext.Get(), *desc);
    QC_Ptr<QP_SamplerState> held(created);
    glCreateSamplers(1, &created->glSampler);
    const GLuint sampler = created->glSampler;
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(magFilter));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, static_cast<GLint>(wrapU));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, static_cast<GLint>(wrapV));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, static_cast<GLint>(wrapW));
    glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, desc->mipLodBias);
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, desc->minLod);
    glSamplerParameterf(sampler, GL_TEXTURE_MAX_LOD, desc->maxLod);
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, desc->borderColor);
    if (comparison) {
        glSamplerParameteri(sampler, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
        glSamplerParameteri(sampler, GL_TEXTURE_COMPARE_FUNC, static_cast<GLint>(comparisonFunc));
    }
    if (anisotropic && (epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic") ||
                        epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic")))
        glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, static_cast<float>(desc->maxAnisotropy));
    QP_CHECK_GL();
    if (state)
        *state = held;
    return QP_OK;
}

// --- queries -----------------------------------------------------------------------------------
QP_Result QP_Device::CreateQuery(const QP_QueryDesc* desc, QC_Ptr<QP_Query>* query)
{
    if (!desc || desc->query < QP_QUERY_EVENT || desc->query > QP_QUERY_TIMESTAMP_DISJOINT) {
        QC_INFO("CreateQuery: query type %d is not supported.", desc ? desc->query : -1);
        return QP_E_INVALIDARG;
    }
    QP_Query* created = new QP_Query(glContext.Get(), *desc);
    QC_Ptr<QP_Query> held(created);
    if (desc->query == QP_QUERY_TIMESTAMP)
        glCreateQueries(GL_TIMESTAMP, 1, &created->glQuery);
    else if (desc->query == QP_QUERY_OCCLUSION)
        glCreateQueries(GL_SAMPLES_PASSED, 1, &created->glQuery);
    QP_CHECK_GL();
    if (query)
        *query = held;
    return QP_OK;
}

// --- device creation ---------------------------------------------------------------------------
QP_Result QP_CreateDevice(QP_Adapter* adapter, QP_DriverType driverType, std::uint32_t,
                          QC_Ptr<QP_Device>* device, QC_Ptr<QP_DeviceContext>* immediateContext)
{
    if (driverType != QP_DRIVER_TYPE_UNKNOWN && driverType != QP_DRIVER_TYPE_HARDWARE) {
        QC_INFO("CreateDevice: driver type %d is not supported.", driverType);
        return QP_E_INVALIDARG;
    }
    QC_Ptr<QP_Adapter> chosen(adapter);
    if (!chosen) {
        QC_Ptr<QP_Factory> factory;
        QP_Result result = QP_CreateFactory(QP_FactoryOptions(), &factory);
        if (QP_Failed(result) || QP_Failed(result = factory->EnumAdapters(0, &chosen)))
            return result;
    }
    QC_Ptr<QP_GLContext> context(QP_GLContext::Create(chosen->IsHeadless()));
    if (!context)
        return QP_E_FAIL;
    QC_Ptr<QP_Device> created(new QP_Device(context.Get()));
    if (device)
        *device = created;
    if (immediateContext)
        created->GetImmediateContext(immediateContext);
    return QP_OK;
}
