#include "QD_TextureAsset.h"

#include "QR_Renderer.h"

bool QD_TextureAsset::Load()
{
    if (!BeginRead())
        return false;
    pending = nullptr;
    const bool decoded = QC_LoadPng(path.CStr(), image);
    if (!EndRead())
        return false;
    if (!decoded) {
        NoteFailure("The image cannot be read or decoded.");
        ReportLoadFailure();
        return false;
    }
    return RunMainThreadStep() && pending;
}

void QD_TextureAsset::MainThreadStep()
{
    QR_Renderer* renderer = QR_GetRenderer();
    QC_ASSERT(renderer != nullptr, "Textures are loaded into the renderer: create it first.");
    if (!image)
        return;
    QC_Ptr<QR_Texture2D> target = texture;
    if (!target || target->Width() != image->Width() || target->Height() != image->Height())
        target = renderer->CreateTexture2D(image->Width(), image->Height());
    QC_Ptr<QR_RenderContext> context = renderer->GetRenderContext();
    context->UpdateTexture(target.Get(), *image, 0, 0, image->Width(), image->Height());
    pending = target;
}

void QD_TextureAsset::MakePendingCurrent()
{
    texture = pending;
    pending = nullptr;
}
