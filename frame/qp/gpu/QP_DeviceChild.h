#pragma once
// The objects a QP_Device creates: buffers, textures, views, input layouts, shaders, pipeline
// states and queries. Each is counted (QC_RefCounted) and immutable after creation except for
// buffer and texture contents. They are created, bound and released on the thread that owns the
// device. Their GL objects are opaque handles here; only frame/qp reads them.
//
// Translation happens once, at creation: a state object holds the GL values it stands for, and
// binding it at draw time only pushes them.

#include "QC_Ptr.h"
#include "QP_GraphicsTypes.h"
#include "QP_ShaderCode.h"

#include <cstdint>
#include <vector>

class QP_GLContext;

// A new contents serial for QP_Buffer::version.
std::uint64_t QP_NextBufferVersion();

// Common base: keeps the GL context alive for as long as the object owns GL names.
class QP_DeviceChild : public QC_RefCounted
{
public:
    ~QP_DeviceChild() override;

protected:
    explicit QP_DeviceChild(QP_GLContext* context);
    QC_Ptr<QP_GLContext> glContext;
};

class QP_Buffer final : public QP_DeviceChild
{
public:
    const QP_BufferDesc& GetDesc() const { return desc; }
    ~QP_Buffer() override;

private:
    friend class QP_Device;
    friend class QP_DeviceContext;
    QP_Buffer(QP_GLContext* context, const QP_BufferDesc& desc) : QP_DeviceChild(context), desc(desc) {}

    QP_BufferDesc desc;
    std::uint32_t glBuffer = 0;          // 0 for constant buffers: they live in CPU memory
    std::vector<std::uint8_t> cpuMemory; // constant buffers, and mapping of dynamic buffers
    // Process-wide serial of the contents, renewed by every write: equal versions mean the
    // same buffer with the same contents, even across a freed and reused address.
    std::uint64_t version = 0;
    bool mapped = false;
    QP_Map mapType = QP_MAP_WRITE_DISCARD;
};

class QP_Texture2D final : public QP_DeviceChild
{
public:
    const QP_Texture2DDesc& GetDesc() const { return desc; }
    ~QP_Texture2D() override;

private:
    friend class QP_Device;
    friend class QP_DeviceContext;
    friend class QP_SwapChain;
    QP_Texture2D(QP_GLContext* context, const QP_Texture2DDesc& desc) : QP_DeviceChild(context), desc(desc) {}

    QP_Texture2DDesc desc;
    std::uint32_t glTexture = 0;
};

class QP_ShaderResourceView final : public QP_DeviceChild
{
public:
    const QP_ShaderResourceViewDesc& GetDesc() const { return desc; }
    QP_Texture2D* GetResource() const { return texture.Get(); }
    QP_Buffer* GetBuffer() const { return buffer.Get(); }

private:
    friend class QP_Device;
    friend class QP_DeviceContext;
    QP_ShaderResourceView(QP_GLContext* context, QP_Texture2D* texture, const QP_ShaderResourceViewDesc& desc)
        : QP_DeviceChild(context), desc(desc), texture(texture)
    {
    }
    QP_ShaderResourceView(QP_GLContext* context, QP_Buffer* buffer, const QP_ShaderResourceViewDesc& desc,
                          std::uint32_t byteOffset, std::uint32_t byteSize)
        : QP_DeviceChild(context), desc(desc), buffer(buffer), byteOffset(byteOffset), byteSize(byteSize)
    {
    }

    QP_ShaderResourceViewDesc desc;
    QC_Ptr<QP_Texture2D> texture; // one of the two
    QC_Ptr<QP_Buffer> buffer;     // bound as a storage buffer range
    std::uint32_t byteOffset = 0, byteSize = 0;
};

// A colour or depth-stencil view; each owns a framebuffer with just its texture attached, used
// to clear it whatever is bound for drawing.
class QP_RenderTargetView final : public QP_DeviceChild
{
public:
    const QP_RenderTargetViewDesc& GetDesc() const { return desc; }
    QP_Texture2D* GetResource() const { return texture.Get(); }
    ~QP_RenderTargetView() override;

private:
    friend class QP_Device;
    friend class QP_DeviceContext;
    QP_RenderTargetView(QP_GLContext* context, QP_Texture2D* texture, const QP_RenderTargetViewDesc& desc)
        : QP_DeviceChild(context), desc(desc), texture(texture)
    {
    }

    QP_RenderTargetViewDesc desc;
    QC_Ptr<QP_Texture2D> texture;
    std::uint32_t glClearFramebuffer = 0;
};

class QP_DepthStencilView final : public QP_DeviceChild
{
public:
    const QP_DepthStencilViewDesc& GetDesc() const { return desc; }
    QP_Texture2D* GetResource() const { return texture.Get(); }
    ~QP_DepthStencilView() override;

private:
    friend class QP_Device;
    friend class QP_DeviceContext;
    QP_DepthStencilView(QP_GLContext* context, QP_Texture2D* texture, const QP_DepthStencilViewDesc& desc)
        : QP_DeviceChild(context), desc(desc), texture(texture)
    {
    }

    QP_DepthStencilViewDesc desc;
    QC_Ptr<QP_Texture2D> texture;
    std::uint32_t glClearFramebuffer = 0;
};

// Vertex formats by attribute location, and the vertex array object that holds them.
class QP_InputLayout final : public QP_DeviceChild
{
public:
    ~QP_InputLayout() override;

private:
    friend class QP_Device;
    friend class QP_DeviceContext;
    explicit QP_InputLayout(QP_GLContext* context) : QP_DeviceChild(context) {}

    std::uint32_t glVertexArray = 0;
    std::uint32_t usedSlots = 0; // bit per input slot read by some element
    std::uint32_t instancedSlots = 0; // bit per slot stepped per instance
    std::uint32_t slotExtent[QP_INPUT_ASSEMBLER_SLOT_COUNT] = {}; // bytes one vertex reads in a slot
    std::uint32_t slotStepRate[QP_INPUT_ASSEMBLER_SLOT_COUNT] = {};
    // What the vertex array's buffer bindings hold now, so binding the same buffers again
    // makes no GL call.
    QC_Ptr<QP_Buffer> boundBuffers[QP_INPUT_ASSEMBLER_SLOT_COUNT];
    std::uint32_t boundStrides[QP_INPUT_ASSEMBLER_SLOT_COUNT] = {};
    std::uint32_t boundOffsets[QP_INPUT_ASSEMBLER_SLOT_COUNT] = {};
    QC_Ptr<QP_Buffer> boundIndexBuffer;
};

// A compiled stage: one separable GL program and what it reads at draw time.
class QP_Shader : public QP_DeviceChild
{
public:
    ~QP_Shader() override;
    // The GLSL the stage was made from (for tools that show what the compiler produced).
    const char* GetGlslText() const { return glslText.empty() ? "" : glslText.data(); }

protected:
    friend class QP_Device;
    friend class QP_DeviceContext;
    explicit QP_Shader(QP_GLContext* context) : QP_DeviceChild(context) {}

    QP_ShaderInterface shaderInterface = {};
    std::vector<char> glslText; // with its NUL
    std::uint32_t glProgram = 0;
    std::int32_t constantLocations[QP_CONSTANT_BUFFER_SLOT_COUNT] = {};
    // The constant buffer contents (version) last given to the program, per block.
    std::uint64_t uploadedVersion[QP_CONSTANT_BUFFER_SLOT_COUNT] = {};
};

class QP_VertexShader final : public QP_Shader
{
private:
    friend class QP_Device;
    explicit QP_VertexShader(QP_GLContext* context) : QP_Shader(context) {}
};

class QP_PixelShader final : public QP_Shader
{
private:
    friend class QP_Device;
    explicit QP_PixelShader(QP_GLContext* context) : QP_Shader(context) {}
};

class QP_BlendState final : public QP_DeviceChild
{
public:
    const QP_BlendDesc1& GetDesc() const { return desc; }

private:
    friend class QP_Device;
    friend class QP_DeviceContext;
    QP_BlendState(QP_GLContext* context, const QP_BlendDesc1& desc) : QP_DeviceChild(context), desc(desc) {}

    struct Target
    {
        bool enable;
        std::uint32_t srcColour, destColour, colourEquation;
        std::uint32_t srcAlpha, destAlpha, alphaEquation;
        std::uint8_t writeMask;
    };
    QP_BlendDesc1 desc;
    Target targets[QP_SIMULTANEOUS_RENDER_TARGET_COUNT] = {};
    // Every target holds the same values: a bind sets them all with one call of each kind.
    bool sameForAllTargets = false;
};

class QP_DepthStencilState final : public QP_DeviceChild
{
public:
    const QP_DepthStencilDesc& GetDesc() const { return desc; }

private:
    friend class QP_Device;
    friend class QP_DeviceContext;
    QP_DepthStencilState(QP_GLContext* context, const QP_DepthStencilDesc& desc) : QP_DeviceChild(context), desc(desc)
    {
    }

    struct Face
    {
        std::uint32_t fail, depthFail, pass, func;
    };
    QP_DepthStencilDesc desc;
    bool depthTest = false;
    bool depthWrite = false; // off whenever the test is off, as in Direct3D
    std::uint32_t depthFunc = 0;
    bool stencilTest = false;
    Face front = {}, back = {};
};

class QP_RasterizerState final : public QP_DeviceChild
{
public:
    const QP_RasterizerDesc& GetDesc() const { return desc; }

private:
    friend class QP_Device;
    friend class QP_DeviceContext;
    QP_RasterizerState(QP_GLContext* context, const QP_RasterizerDesc& desc) : QP_DeviceChild(context), desc(desc) {}

    QP_RasterizerDesc desc;
    std::uint32_t polygonMode = 0;
    bool cullEnable = false;
    std::uint32_t cullFace = 0;
    std::uint32_t frontFace = 0;
    bool depthClamp = false;    // Direct3D's depth clip switched off
    bool polygonOffset = false; // a depth bias of either kind
    float offsetFactor = 0.0f, offsetUnits = 0.0f;
    bool scissorTest = false;
};

class QP_SamplerState final : public QP_DeviceChild
{
public:
    const QP_SamplerDesc& GetDesc() const { return desc; }
    ~QP_SamplerState() override;

private:
    friend class QP_Device;
    friend class QP_DeviceContext;
    QP_SamplerState(QP_GLContext* context, const QP_SamplerDesc& desc) : QP_DeviceChild(context), desc(desc) {}

    QP_SamplerDesc desc;
    std::uint32_t glSampler = 0;
};

class QP_Query final : public QP_DeviceChild
{
public:
    const QP_QueryDesc& GetDesc() const { return desc; }
    ~QP_Query() override;

private:
    friend class QP_Device;
    friend class QP_DeviceContext;
    QP_Query(QP_GLContext* context, const QP_QueryDesc& desc) : QP_DeviceChild(context), desc(desc) {}

    QP_QueryDesc desc;
    std::uint32_t glQuery = 0;
    bool issued = false;
};
