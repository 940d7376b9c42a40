#include "QR_PixelShader_DX10.h"

#include "QC_Log.h"
#include "QP_ShaderCompiler.h"
#include "QR_ShaderMessages.h"

void QR_PixelShader_DX10::Compile(QP_Device* device, const QC_StringBase& text, const char* sourceName,
                                  std::uint32_t stageLine, QP_Include* include, const char* profile)
{
    QC_Ptr<QP_Blob> code, errors;
    if (QP_Failed(QP_Compile(text.CStr(), text.Length(), sourceName, include, "QR_Main", profile, &code, &errors))) {
        QC_ERROR("Shader stage compilation failed, D3D message is \"%s\"",
                 QR_ShaderMessages::FromCompiler(QP_BlobText(errors.Get()), sourceName, stageLine).CStr());
        return;
    }
    // The driver's own message (logged by the device) counts lines of the GLSL made from the
    // text, which has no place in the source: the stage as a whole is named.
    if (QP_Failed(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), &platformShader)))
        QC_ERROR("%sFailed to create pixel shader.", QR_ShaderMessages::Place(sourceName, stageLine).CStr());
}
