#include "QD_AssetErrorLog.h"

#include <cstring>

namespace
{
// The capture target of this thread: set by an asset around its loader or main-thread step.
thread_local QC_String* t_captureTarget = nullptr;

constexpr const char* kCutMarker = "(more errors not shown)\n";
} // namespace

void QD_AssetErrorLog::AppendLine(QC_String& text, const char* line)
{
    const std::uint32_t markerLength = static_cast<std::uint32_t>(std::strlen(kCutMarker));
    const bool alreadyCut =
        text.Length() >= markerLength && std::strcmp(text.CStr() + text.Length() - markerLength, kCutMarker) == 0;
    if (alreadyCut)
        return;
    std::uint32_t length = static_cast<std::uint32_t>(std::strlen(line));
    const bool needsNewline = length == 0 || line[length - 1] != '\n';
    const std::uint32_t room = MaxTextLength - markerLength - text.Length();
    if (length + (needsNewline ? 1 : 0) >= room) {
        text.Append(kCutMarker);
        return;
    }
    text.Append(line, length);
    if (needsNewline)
        text.Append('\n');
}

void QD_AssetErrorLog::Write(int level, std::uint32_t, const char* message, const char*, int)
{
    if (level < QC_LOG_ERROR || !t_captureTarget)
        return;
    AppendLine(*t_captureTarget, message);
}

QD_AssetErrorCapture::QD_AssetErrorCapture(QC_String* target) : previous(t_captureTarget)
{
    t_captureTarget = target;
}

QD_AssetErrorCapture::~QD_AssetErrorCapture()
{
    t_captureTarget = previous;
}
