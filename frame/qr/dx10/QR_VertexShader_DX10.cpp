#include "QR_VertexShader_DX10.h"

#include "QC_Log.h"
#include "QR_CompileStage_DX10.h"
#include "QR_ShaderMessages.h"

void QR_VertexShader_DX10::Compile(QP_Device* device, const QC_StringBase& text, const char* sourceName,
                                   std::uint32_t stageLine, QP_Include* include, QR_InputLayout_DX10* layout,
                                   const char* profile)
{
    inputLayout = layout;
    const QC_Ptr<QP_Blob> code = QR_CompileStage_DX10(text, sourceName, stageLine, include, profile);
    if (!code)
        return;
    // The driver's own message (logged by the device) counts lines of the GLSL made from the
    // text, which has no place in the source: the stage as a whole is named.
    if (QP_Failed(device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), &platformShader)))
        QC_ERROR("%sFailed to create vertex shader.", QR_ShaderMessages::Place(sourceName, stageLine).CStr());
}
