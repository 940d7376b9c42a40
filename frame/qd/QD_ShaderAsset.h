#pragma once
// A shader source as an asset: both stages come from the one source, joined in a shader state.
// A source whose stages do not both compile (reported by the renderer) keeps the previous
// program; at the first load it leaves the asset not loaded. The stage code may #include files,
// named relative to the including file (the first level: relative to the shader's file); the
// asset reloads when any of them changes or one it looked for in vain appears.
//
//   QC_Ptr<QD_ShaderAsset> post = QD_GetAssets()->LoadShader("post.qcs");
//   if (QC_Ptr<QR_ShaderState> state = post->GetCurrent()) context->SetShaderAndGeometry(quad, state.Get());

#include "QC_String.h"
#include "QD_Asset.h"
#include "QR_ShaderState.h"

#include <string>
#include <vector>

class QD_ShaderAsset final : public QD_Asset
{
public:
    explicit QD_ShaderAsset(const QD_AssetPath& fullPath) : QD_Asset(fullPath, true) {}

    bool IsLoaded() const override { return static_cast<bool>(current); }
    QC_Ptr<QR_ShaderState> GetCurrent() const { return current; }

protected:
    bool Load() override;
    // Compiles both stages and makes the shader state: the renderer is main-thread only.
    void MainThreadStep() override;
    void MakePendingCurrent() override;

private:
    QC_String source; // written by the loader before the step is queued, read by the step
    std::vector<std::string> usedFiles; // written by the step: the files its includes opened or missed
    QC_Ptr<QR_ShaderState> current;
    QC_Ptr<QR_ShaderState> pending;
};
