#include "QD_TextAsset.h"

#include "QC_File.h"

bool QD_TextAsset::Load()
{
    if (!BeginRead())
        return false;
    QC_Ptr<QD_Text> text(new QD_Text);
    // An unreadable file leaves the text empty, which is this kind's content for it; the load
    // still counts as failed, so whoever shows load errors can say so.
    const bool read = QC_ReadFile(path.CStr(), text->GetText());
    if (!EndRead())
        return false;
    pending = text;
    if (!read)
        NoteFailure("Cannot read the file; the text is empty.");
    return true;
}

void QD_TextAsset::MakePendingCurrent()
{
    current = pending;
    pending = nullptr;
}
