#include "QR_CompileStage_DX10.h"

#include "QC_Log.h"
#include "QR_ShaderMessages.h"

QC_Ptr<QP_Blob> QR_CompileStage_DX10(const QC_StringBase& text, const char* sourceName, std::uint32_t stageLine,
                                     QP_Include* include, const char* profile)
{
    QC_Ptr<QP_Blob> code, errors;
    if (QP_Failed(QP_Compile(text.CStr(), text.Length(), sourceName, include, "QR_Main", profile, &code, &errors))) {
        QC_ERROR("Shader stage compilation failed, D3D message is \"%s\"",
                 QR_ShaderMessages::FromCompiler(QP_BlobText(errors.Get()), sourceName, stageLine).CStr());
        return QC_Ptr<QP_Blob>();
    }
    return code;
}
