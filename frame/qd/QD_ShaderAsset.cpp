#include "QD_ShaderAsset.h"

#include "QC_File.h"
#include "QP_FileInclude.h"
#include "QR_Renderer.h"

#include <string>

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
    usedFiles.clear();
    const bool stepRan = RunMainThreadStep();
    source.Clear();
    // Also after a failed compile: a fix in an included file must reload the shader.
    if (stepRan)
        SetDependencies(usedFiles);
    // The renderer has reported why a stage did not compile (captured after this line).
    if (stepRan && !pending)
        NoteFailure("The shader does not compile.");
    return stepRan && pending;
}

void QD_ShaderAsset::MainThreadStep()
{
    QR_Renderer* renderer = QR_GetRenderer();
    QC_ASSERT(renderer != nullptr, "Shaders are loaded into the renderer: create it first.");
    // Included files are found from the shader's own folder.
    const std::string file = path.CStr();
    const std::size_t slash = file.find_last_of('/');
    QP_FileInclude include(slash == std::string::npos ? "" : file.substr(0, slash).c_str());
    // Messages name the file by the asset's path, and included files relative to it.
    QC_Ptr<QR_VertexShader> vertexShader = renderer->CreateVertexShader(source, &include, path.CStr());
    QC_Ptr<QR_PixelShader> pixelShader = renderer->CreatePixelShader(source, &include, path.CStr());
    usedFiles = include.OpenedFiles();
    usedFiles.insert(usedFiles.end(), include.MissingFiles().begin(), include.MissingFiles().end());
    if (vertexShader && pixelShader)
        pending = renderer->CreateShaderState(vertexShader.Get(), pixelShader.Get());
}

void QD_ShaderAsset::MakePendingCurrent()
{
    current = pending;
    pending = nullptr;
}
