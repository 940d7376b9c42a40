#include "qd/QD_TextAsset.h"

#include "qc/QC_File.h"

bool QD_TextAsset::Load()
{
    if (StampUnchanged())
        return false;
    QC_Ptr<QD_Text> text(new QD_Text);
    // An unreadable file leaves the text empty, which is this kind's content for it.
    QC_ReadFile(path.CStr(), text->GetText());
    pending = text;
    return true;
}

void QD_TextAsset::MakePendingCurrent()
{
    current = pending;
    pending = nullptr;
}
