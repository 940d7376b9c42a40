#include "QP_ReplaceFile.h"

#include <atomic>
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

// "folder/.name.PID.N": hidden beside the file, so it shares its file system (rename is atomic
// only within one) and a folder listing does not show it while it lives.
std::string TemporaryName(const std::string& target, unsigned attempt)
{
    static std::atomic<unsigned> made{0};
    const std::string::size_type slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + name + "." + std::to_string(getpid()) + "." + std::to_string(made++) + "." +
           std::to_string(attempt);
}

// A new temporary file, created with the permissions the umask allows a new file (what the
// target gets when it does not exist yet; an existing target's mode is copied later).
int CreateTemporary(const std::string& target, std::string* temporary)
{
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        *temporary = TemporaryName(target, attempt);
        const int descriptor = open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    return -1;
}

// The target's permission bits go to the new file; nothing when there is no target yet.
bool CopyMode(int descriptor, const std::string& target)
{
    struct stat info;
    if (stat(target.c_str(), &info) != 0)
        return errno == ENOENT;
    return fchmod(descriptor, info.st_mode & 07777) == 0;
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
    std::string temporary;
    const int descriptor = CreateTemporary(target, &temporary);
    if (descriptor < 0) {
        *errorCode = errno;
        return false;
    }
    const bool written = WriteAll(descriptor, static_cast<const char*>(bytes), length) &&
                         CopyMode(descriptor, target) && fsync(descriptor) == 0;
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
