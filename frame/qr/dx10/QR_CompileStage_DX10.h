#pragma once
// The compile both shader stages share: the generated HLSL text with entry "QR_Main" and a
// profile, through the platform's compiler. A refusal is reported once, the compiler's lines
// rewritten to the author's places (QR_ShaderMessages); the caller then makes no shader.
//
//   QC_Ptr<QP_Blob> code = QR_CompileStage_DX10(text, sourceName, stageLine, include, profile);
//   if (code) device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), &shader);

#include "QC_Ptr.h"
#include "QC_String.h"
#include "QP_ShaderCompiler.h"

#include <cstdint>

// The code blob, or empty after the error has been reported. sourceName and stageLine name the
// place of lines the compiler gives none.
QC_Ptr<QP_Blob> QR_CompileStage_DX10(const QC_StringBase& text, const char* sourceName, std::uint32_t stageLine,
                                     QP_Include* include, const char* profile);
