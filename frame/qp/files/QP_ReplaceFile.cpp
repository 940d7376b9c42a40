#include "QP_ReplaceFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// The file a rename must replace: the target of a symbolic link (renaming over the link would
// turn it into a plain file), else the path itself.
std::string ResolveTarget(const char* path)
{
    struct stat info;
    if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(path, resolved))
            return resolved;
    }
    return path;
}

// "folder/.name.XXXXXX": hidden beside the file, so it shares its file system (rename is atomic
// only within one) and a folder listing does not show it while it lives.
std::string TemporaryPattern(const std::string& target)
{
    const std::string::size_type slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + name + ".XXXXXX";
}

mode_t ModeFor(const std::string& target)
{
    struct stat info;
    if (stat(target.c_str(), &info) == 0)
        return info.st_mode & 07777;
    // umask can only be read by setting it: set it back at once.
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool WriteAll(int descriptor, const char* bytes, std::uint64_t length)
{
    while (length > 0) {
        const ssize_t written = write(descriptor, bytes, length);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        length -= static_cast<std::uint64_t>(written);
    }
    return true;
}
} // namespace

bool QP_ReplaceFile(const char* path, const void* bytes, std::uint64_t length, int* errorCode)
{
    const std::string target = ResolveTarget(path);
    std::string temporary = TemporaryPattern(target);
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) {
        *errorCode = errno;
        return false;
    }
    const bool written = WriteAll(descriptor, static_cast<const char*>(bytes), length) &&
                         fchmod(descriptor, ModeFor(target)) == 0 && fsync(descriptor) == 0;
    int error = written ? 0 : errno;
    if (close(descriptor) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        unlink(temporary.c_str());
        *errorCode = error;
        return false;
    }
    return true;
}
