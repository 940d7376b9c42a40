#include "qd/QD_ShaderAsset.h"

#include "qc/QC_File.h"
#include "qr/QR_Renderer.h"

bool QD_ShaderAsset::Load()
{
    if (!BeginRead())
        return false;
    QC_String text;
    const bool read = QC_ReadFile(path.CStr(), text);
    if (!EndRead())
        return false;
    if (!read) {
        NoteFailure("Cannot read the file.");
        ReportLoadFailure();
        return false;
    }
    source = std::move(text);
    pending = nullptr;
    const bool stepRan = RunMainThreadStep();
    source.Clear();
    // The renderer has reported why a stage did not compile (captured after this line).
    if (stepRan && !pending)
        NoteFailure("The shader does not compile.");
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
