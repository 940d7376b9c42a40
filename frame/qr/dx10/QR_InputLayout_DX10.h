#pragma once
// The input layout of a vertex shader (both backends), derived from the "in" parameters of the vertex stage's
// main: in declaration order, tightly packed in slot 0, per vertex.
//
//   semantic        element        format               bytes  line of the dummy shader
//   QR_Position     POSITION 0     R32G32B32A32_FLOAT   16     in float4 position : POSITION,
//   QR_Normal       NORMAL 0       R32G32B32A32_FLOAT   16     in float4 normal : NORMAL,
//   QR_Colour       COLOR 0        R32G32B32A32_FLOAT   16     in float4 color0 : COLOR0,
//   QR_TexCoord0    TEXCOORD 0     R32G32_FLOAT         8      in float2 texCoord0 : TEXCOORD0,
//   QR_InstanceId   (system value: no element, no line)
//   anything else   no layout (the generator reports the semantic; the stage does not compile)
//
// A vertex buffer drawn with the shader holds exactly these elements per vertex: its stride
// must equal VertexSize(). The layout is checked against a dummy vertex shader made from the
// same parameters, so it exists independently of the real shader's compiled code. A failed
// dummy compilation or layout creation is reported at level 2 and leaves platformLayout empty;
// the vertex shader is made all the same and binds that empty layout. The dummy is numbered as
// main's line of the source, so its messages name that place (QR_ShaderMessages).

#include "QC_Ptr.h"
#include "QC_String.h"
#include "QP_Device.h"
#include "QP_DeviceChild.h"
#include "QR_ShaderDescription.h"

#include <cstdint>

// The element array of one layout (at most 16: the vertex stage holds at most 16 inputs).
struct QR_InputElements
{
    QP_InputElementDesc elements[QR_SHADER_LIST_CAPACITY];
    std::uint32_t count = 0;
    // Sum of the element sizes: the stride of a matching vertex buffer.
    std::uint32_t vertexSize = 0;
};

class QR_InputLayout_DX10 : public QC_RefCounted
{
public:
    // Fills platformLayout from the vertex inputs, checked against the dummy shader compiled
    // with profile ("vs_4_0" or "vs_5_0"). Messages name stageLine (main's) of the file
    // sourceName (null: "0").
    void Build(QP_Device* device, const QR_ShaderList<QR_ShaderParameter>& inputs, const char* profile,
               const char* sourceName, std::uint32_t stageLine);

    std::uint32_t VertexSize() const { return vertexSize; }

    // The element array and the dummy shader's text ("void main(" ... "out float4 outPosition:
    // SV_POSITION){ outPosition = 0; }") of the inputs. The first element is at offset 0, every
    // later one append-aligned. False, the two left part-filled, for an input without an element
    // (a semantic the vertex stage cannot take in: the parser knows every keyword in every stage).
    static bool Describe(const QR_ShaderList<QR_ShaderParameter>& inputs, QR_InputElements& elements,
                         QC_StringBase& dummyText);

    QC_Ptr<QP_InputLayout> platformLayout;

protected:
    std::uint32_t vertexSize = 0;
};
