#pragma once
// A plain text file as an asset. A file that cannot be read loads as an empty text: the asset
// counts as loaded either way, and a later save brings the real content.
//
//   QC_Ptr<QD_TextAsset> credits = QD_GetAssets()->LoadText("credits.txt");
//   if (QC_Ptr<QD_Text> text = credits->GetCurrent()) Draw(text->GetText().CStr());

#include "QD_Asset.h"
#include "QD_Text.h"

class QD_TextAsset final : public QD_Asset
{
public:
    explicit QD_TextAsset(const QD_AssetPath& fullPath) : QD_Asset(fullPath, true) {}

    bool IsLoaded() const override { return static_cast<bool>(current); }
    // The last loaded text, or null before the first load has finished.
    QC_Ptr<QD_Text> GetCurrent() const { return current; }

protected:
    bool Load() override;
    void MakePendingCurrent() override;

private:
    QC_Ptr<QD_Text> current;
    QC_Ptr<QD_Text> pending;
};
