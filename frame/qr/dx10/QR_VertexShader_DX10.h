#pragma once
// A vertex shader on the platform device and the input layout made from its inputs, for both
// backends (they differ only in the profile the renderer passes). Created empty, filled by one
// Compile, never changed afterwards; a reloaded source makes a new object. Its platform objects
// are released when it dies.

#include "QC_Ptr.h"
#include "QC_String.h"
#include "QP_Device.h"
#include "QP_Include.h"
#include "QR_InputLayout_DX10.h"
#include "QR_VertexShader.h"

#include <cstdint>

class QR_VertexShader_DX10 : public QR_VertexShader
{
public:
    // Keeps layout, compiles the HLSL text with entry "QR_Main" and profile, and makes the
    // platform shader. Failures are reported at level 2 and leave platformShader empty; their
    // messages name places in the file sourceName (QR_ShaderMessages), stageLine where the
    // compiler or the driver names none.
    void Compile(QP_Device* device, const QC_StringBase& text, const char* sourceName, std::uint32_t stageLine,
                 QP_Include* include, QR_InputLayout_DX10* layout, const char* profile);

    const char* GetPlatformCodeText() const override { return platformShader ? platformShader->GetGlslText() : ""; }

    QC_Ptr<QP_VertexShader> platformShader;
    QC_Ptr<QR_InputLayout_DX10> inputLayout;
};
