#pragma once
// The content of a text asset: a plain text file's bytes (CR LF read as LF).

#include "QC_Ptr.h"
#include "QC_String.h"

class QD_Text : public QC_RefCounted
{
public:
    const QC_String& GetText() const { return text; }
    QC_String& GetText() { return text; }

private:
    QC_String text;
};
