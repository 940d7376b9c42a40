#include "QP_ExecutableFolder.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

std::string QP_ExecutableFolder()
{
    char self[PATH_MAX];
    // readlink does not terminate the text, and a result that fills the buffer may be cut.
    const ssize_t length = readlink("/proc/self/exe", self, sizeof(self));
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof(self))
        return std::string();
    std::string path(self, static_cast<std::size_t>(length));
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return std::string();
    path.erase(slash + 1);
    return path;
}

std::string QP_FindCompanionFile(const char* environmentName, const char* fileName, int accessMode)
{
    if (const char* named = std::getenv(environmentName))
        return named;
    const std::string folder = QP_ExecutableFolder();
    if (folder.empty())
        return std::string();
    for (const std::string& candidate : {folder + fileName, folder + "../libexec/velvet-cascade/" + fileName})
        if (access(candidate.c_str(), accessMode) == 0)
            return candidate;
    return std::string();
}
