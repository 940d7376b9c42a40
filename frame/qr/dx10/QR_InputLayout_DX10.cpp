#include "QR_InputLayout_DX10.h"

#include "QC_Log.h"
#include "QP_ShaderCompiler.h"
#include "QR_ShaderMessages.h"

#include <cstring>

namespace {
struct ElementRow
{
    QR_ShaderSemantic semantic;
    const char* semanticName;
    QP_Format format;
    std::uint32_t bytes;
    const char* dummyLine;
};

const ElementRow elementRows[] = {
    {QR_SEMANTIC_POSITION, "POSITION", QP_FORMAT_R32G32B32A32_FLOAT, 16, "in float4 position : POSITION,"},
    {QR_SEMANTIC_NORMAL, "NORMAL", QP_FORMAT_R32G32B32A32_FLOAT, 16, "in float4 normal : NORMAL,"},
    {QR_SEMANTIC_COLOUR, "COLOR", QP_FORMAT_R32G32B32A32_FLOAT, 16, "in float4 color0 : COLOR0,"},
    {QR_SEMANTIC_TEXCOORD0, "TEXCOORD", QP_FORMAT_R32G32_FLOAT, 8, "in float2 texCoord0 : TEXCOORD0,"},
};
static_assert(sizeof(elementRows) / sizeof(elementRows[0]) == 4);

const ElementRow* FindRow(QR_ShaderSemantic semantic)
{
    for (const ElementRow& row : elementRows)
        if (row.semantic == semantic)
            return &row;
    return nullptr;
}
} // namespace

bool QR_InputLayout_DX10::Describe(const QR_ShaderList<QR_ShaderParameter>& inputs, QR_InputElements& elements,
                                   QC_StringBase& dummyText)
{
    elements = QR_InputElements();
    dummyText.Append("void main(");
    for (std::uint32_t i = 0; i < inputs.Count(); ++i) {
        const QR_ShaderSemantic semantic = inputs[i].semantic;
        // A system value: the platform supplies it, the vertex buffer holds nothing for it.
        if (semantic == QR_SEMANTIC_INSTANCE_ID)
            continue;
        const ElementRow* row = FindRow(semantic);
        if (!row)
            return false;
        QP_InputElementDesc& element = elements.elements[elements.count++];
        element.semanticName = row->semanticName;
        element.semanticIndex = 0;
        element.format = row->format;
        element.inputSlot = 0;
        // The element of the first parameter at 0, every later one right after its predecessor.
        // A leading QR_InstanceId makes the first element append-aligned, which is 0 all the same.
        element.alignedByteOffset = i == 0 ? 0 : QP_APPEND_ALIGNED_ELEMENT;
        element.inputSlotClass = QP_INPUT_PER_VERTEX_DATA;
        element.instanceDataStepRate = 0;
        elements.vertexSize += row->bytes;
        dummyText.Append(row->dummyLine);
    }
    dummyText.Append("out float4 outPosition: SV_POSITION){ outPosition = 0; }");
    return true;
}

void QR_InputLayout_DX10::Build(QP_Device* device, const QR_ShaderList<QR_ShaderParameter>& inputs,
                                const char* profile, const char* sourceName, std::uint32_t stageLine)
{
    QR_InputElements elements;
    QC_String dummyText;
    // The generator has reported the input's semantic at its line, and the stage does not compile.
    if (!Describe(inputs, elements, dummyText))
        return;
    vertexSize = elements.vertexSize;

    // The dummy is made from main's parameters: its one line is numbered as main's, in the
    // source's file (a #line without a name keeps the name the compile is given).
    QC_String text("#line ");
    char digits[16];
    QC_IntToString(static_cast<int>(stageLine), digits);
    text.Append(digits);
    text.Append('\n');
    text.Append(dummyText);
    QC_Ptr<QP_Blob> code, errors;
    if (QP_Failed(QP_Compile(text.CStr(), text.Length(), sourceName, "main", profile, &code, &errors))) {
        QC_ERROR("Failed to create input layout. Shader compilation failed, D3D message is \"%s\"",
                 QR_ShaderMessages::FromCompiler(QP_BlobText(errors.Get()), sourceName, stageLine).CStr());
        return;
    }
    if (QP_Failed(device->CreateInputLayout(elements.elements, elements.count, code->GetBufferPointer(),
                                            code->GetBufferSize(), &platformLayout)))
        QC_ERROR("%sFailed to create input layout.", QR_ShaderMessages::Place(sourceName, stageLine).CStr());
}
