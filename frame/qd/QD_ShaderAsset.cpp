#include "qd/QD_ShaderAsset.h"

#include "qc/QC_File.h"
#include "qr/QR_Renderer.h"

bool QD_ShaderAsset::Load()
{
    if (StampUnchanged())
        return false;
    QC_String text;
    if (!QC_ReadFile(path.CStr(), text)) {
        ReportLoadFailure();
        return false;
    }
    source = std::move(text);
    pending = nullptr;
    const bool stepRan = RunMainThreadStep();
    source.Clear();
    return stepRan && pending;
}

void QD_ShaderAsset::MainThreadStep()
{
    QR_Renderer* renderer = QR_GetRenderer();
    QC_ASSERT(renderer != nullptr, "Shaders are loaded into the renderer: create it first.");
    QC_Ptr<QR_VertexShader> vertexShader = renderer->CreateVertexShader(source);
    QC_Ptr<QR_PixelShader> pixelShader = renderer->CreatePixelShader(source);
    if (vertexShader && pixelShader)
        pending = renderer->CreateShaderState(vertexShader.Get(), pixelShader.Get());
}

void QD_ShaderAsset::MakePendingCurrent()
{
    current = pending;
    pending = nullptr;
}
