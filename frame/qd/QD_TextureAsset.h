#pragma once
// A PNG image as a texture asset. The current content is the texture object itself: a reload
// with an image of the same size uploads into the same texture, so whoever holds it sees the
// new pixels; an image of another size gets a new texture of that size (nothing is ever
// uploaded past a texture's edge), which becomes current when the load ends. A reload that
// cannot decode its file keeps the previous texture and pixels.
//
//   QC_Ptr<QD_TextureAsset> noise = QD_GetAssets()->LoadTexture("noise.png");
//   shaderState->SetTexture(noise->GetCurrent().Get(), 0);

#include "QC_Image.h"
#include "QD_Asset.h"
#include "QR_Texture2D.h"

class QD_TextureAsset final : public QD_Asset
{
public:
    explicit QD_TextureAsset(const QD_AssetPath& fullPath) : QD_Asset(fullPath, true) {}

    bool IsLoaded() const override { return static_cast<bool>(texture); }
    QC_Ptr<QR_Texture2D> GetCurrent() const { return texture; }

protected:
    bool Load() override;
    // Creates the texture when there is none of the image's size, then uploads the image.
    void MainThreadStep() override;
    void MakePendingCurrent() override;

private:
    QC_Ptr<QC_Image> image;        // the last decoded picture (null after a failed decode)
    QC_Ptr<QR_Texture2D> texture;  // current
    QC_Ptr<QR_Texture2D> pending;  // set by the step: texture itself, or a new one
};
