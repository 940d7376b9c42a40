#pragma once
// Collects the error lines reported while an asset loads, so a failed load can say why. The
// parsers and the shader compiler report through the log (level 2) from whichever thread runs
// them; an asset marks its loader (worker) and its main-thread step as a capture scope, and this
// backend appends every error line of that thread to the asset's error text.
//
//   QC_GetLog()->AddBackend(new QD_AssetErrorLog);   // once, after the log is created
//   ...                                               // QD_Asset does the rest
//   asset->GetLoadError();                             // "" or the lines of the last failure
//
// Without the backend installed, failed loads still carry one line of their own ("Cannot read
// the file."), but not the parser's or compiler's messages.

#include "QC_Log.h"
#include "QC_String.h"

class QD_AssetErrorLog : public QC_LogBackend
{
public:
    // Appends error and fatal lines to the calling thread's capture target, if any.
    void Write(int level, std::uint32_t threadId, const char* message, const char* file, int line) override;

    // The longest error text kept per load: a source with thousands of errors keeps its first
    // ones and a closing line.
    static constexpr std::uint32_t MaxTextLength = 4096;

    // Appends one line to text, cut at MaxTextLength (the cut is marked once).
    static void AppendLine(QC_String& text, const char* line);
};

// Makes the calling thread's error lines go to target for the scope's lifetime; scopes nest.
class QD_AssetErrorCapture
{
public:
    explicit QD_AssetErrorCapture(QC_String* target);
    ~QD_AssetErrorCapture();
    QD_AssetErrorCapture(const QD_AssetErrorCapture&) = delete;
    QD_AssetErrorCapture& operator=(const QD_AssetErrorCapture&) = delete;

private:
    QC_String* previous;
};
