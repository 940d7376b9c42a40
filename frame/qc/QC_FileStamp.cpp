#include "QC_FileStamp.h"

#include "QP_FileTime.h"

QC_FileStamp::QC_FileStamp(const char* filePath, bool answer) : path(filePath), initialAnswer(answer) {}

QC_FileStamp::Version QC_FileStamp::Query() const
{
    QP_FileVersion platform;
    QP_QueryFileVersion(path.CStr(), &platform, nullptr); // all zeros when it fails
    Version version;
    version.writeTime = platform.writeTime;
    version.size = platform.size;
    version.fileId = platform.fileId;
    return version;
}

bool QC_FileStamp::HasChanged()
{
    const Version now = Query();
    if (firstCall) {
        firstCall = false;
        recorded = now;
        return initialAnswer;
    }
    if (now == recorded)
        return false;
    recorded = now;
    return true;
}
