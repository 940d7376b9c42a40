#include "QR_VertexShader_DX10.h"

#include "QC_Log.h"
#include "QP_ShaderCompiler.h"

void QR_VertexShader_DX10::Compile(QP_Device* device, const QC_StringBase& text, QP_Include* include,
                                   QR_InputLayout_DX10* layout, const char* profile)
{
    inputLayout = layout;
    QC_Ptr<QP_Blob> code, errors;
    if (QP_Failed(QP_Compile(text.CStr(), text.Length(), nullptr, include, "QR_Main", profile, &code, &errors))) {
        QC_ERROR("Shader stage compilation failed, D3D message is \"%s\"", QP_BlobText(errors.Get()));
        return;
    }
    if (QP_Failed(device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), &platformShader)))
        QC_ERROR("Failed to create vertex shader.");
}
