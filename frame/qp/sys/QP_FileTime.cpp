#include "QP_FileTime.h"

#include <cerrno>
#include <sys/stat.h>

bool QP_QueryFileVersion(const char* path, QP_FileVersion* version, int* errorCode)
{
    *version = QP_FileVersion{};
    struct stat info;
    if (stat(path, &info) != 0) {
        if (errorCode)
            *errorCode = errno;
        return false;
    }
    version->writeTime = std::uint64_t(info.st_mtim.tv_sec) * 1000000000ull + std::uint64_t(info.st_mtim.tv_nsec);
    version->size = std::uint64_t(info.st_size);
    version->fileId = std::uint64_t(info.st_ino);
    return true;
}
