#include "QP_FileWatcher.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace
{
// Events that make a change. IN_MODIFY is left out on purpose: a file written in many pieces
// notifies once, when it is closed.
constexpr std::uint32_t CHANGE_EVENTS =
    IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ATTRIB;
constexpr std::uint32_t SELF_EVENTS = IN_DELETE_SELF | IN_MOVE_SELF;
} // namespace

struct QP_FileWatcher
{
    std::string rootPath;
    int descriptor = -1;
    int rootWatch = -1;
    bool rootLost = false;
    bool changeCarried = false; // seen in the poll that reported the abandonment
    std::unordered_map<int, std::string> folders; // watch descriptor -> folder path
};

namespace
{
bool IsFolder(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Watches folder and everything below it; an explicit stack keeps deep trees off the call
// stack. Returns the first errno of a folder that exists and could not be watched, or 0.
int WatchTree(QP_FileWatcher* watcher, const std::string& folder)
{
    int firstError = 0;
    std::vector<std::string> stack{folder};
    while (!stack.empty()) {
        std::string path = std::move(stack.back());
        stack.pop_back();
        const int watch = inotify_add_watch(watcher->descriptor, path.c_str(),
                                            CHANGE_EVENTS | SELF_EVENTS | IN_ONLYDIR | IN_DONT_FOLLOW);
        if (watch < 0) {
            // Gone again before we got to it: nothing left to watch there.
            if (errno != ENOENT && errno != ENOTDIR && firstError == 0)
                firstError = errno;
            continue;
        }
        watcher->folders[watch] = path;
        DIR* directory = opendir(path.c_str());
        if (!directory)
            continue;
        while (const dirent* entry = readdir(directory)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                continue;
            std::string child = path;
            if (child.empty() || child.back() != '/')
                child += '/';
            child += entry->d_name;
            const bool folderEntry = entry->d_type == DT_DIR || (entry->d_type == DT_UNKNOWN && IsFolder(child));
            if (folderEntry)
                stack.push_back(std::move(child));
        }
        closedir(directory);
    }
    return firstError;
}
} // namespace

namespace
{
// Watches the root and every folder below it. False, with errno, when the root cannot be
// watched. The root itself may be a symbolic link to the asset folder: it is followed.
bool WatchRoot(QP_FileWatcher* watcher, int* errorCode)
{
    const std::string& rootPath = watcher->rootPath;
    watcher->rootWatch = inotify_add_watch(watcher->descriptor, rootPath.c_str(), CHANGE_EVENTS | SELF_EVENTS | IN_ONLYDIR);
    if (watcher->rootWatch < 0) {
        *errorCode = errno;
        return false;
    }
    watcher->folders[watcher->rootWatch] = rootPath;
    DIR* directory = opendir(rootPath.c_str());
    if (directory) {
        while (const dirent* entry = readdir(directory)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                continue;
            std::string child = rootPath;
            if (child.back() != '/')
                child += '/';
            child += entry->d_name;
            if (entry->d_type == DT_DIR || (entry->d_type == DT_UNKNOWN && IsFolder(child)))
                WatchTree(watcher, child);
        }
        closedir(directory);
    }
    return true;
}

// A lost root that exists again as a folder: drops what is left of the old watches (a moved
// root keeps its watch on the folder that moved away) and watches the new tree.
bool RestoreRoot(QP_FileWatcher* watcher)
{
    struct stat info;
    if (stat(watcher->rootPath.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    for (const auto& folder : watcher->folders)
        inotify_rm_watch(watcher->descriptor, folder.first);
    watcher->folders.clear();
    int errorCode = 0;
    if (!WatchRoot(watcher, &errorCode))
        return false; // gone again already: looked for at the next poll
    watcher->rootLost = false;
    return true;
}
} // namespace

QP_FileWatcher* QP_CreateFileWatcher(const char* root, int* errorCode)
{
    const int descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor < 0) {
        *errorCode = errno;
        return nullptr;
    }
    QP_FileWatcher* watcher = new QP_FileWatcher;
    watcher->descriptor = descriptor;
    watcher->rootPath = root[0] ? root : ".";
    if (!WatchRoot(watcher, errorCode)) {
        QP_DestroyFileWatcher(watcher);
        return nullptr;
    }
    return watcher;
}

void QP_DestroyFileWatcher(QP_FileWatcher* watcher)
{
    if (!watcher)
        return;
    if (watcher->descriptor >= 0)
        close(watcher->descriptor); // removes every watch with it
    delete watcher;
}

QP_WatchPoll QP_PollFileWatcher(QP_FileWatcher* watcher)
{
    QP_WatchPoll poll;
    bool changed = watcher->changeCarried;
    watcher->changeCarried = false;
    bool abandoned = false;

    // Aligned for inotify_event; large enough for at least one event with the longest name.
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        const ssize_t count = read(watcher->descriptor, buffer, sizeof(buffer));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            poll.result = QP_WATCH_FAILED;
            poll.errorCode = errno;
            watcher->changeCarried = changed;
            return poll;
        }
        if (count == 0)
            break;
        for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= count;) {
            const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                changed = true;
                continue;
            }
            // Late events of watches dropped when the root was restored.
            if (watcher->folders.find(event->wd) == watcher->folders.end() && !(event->mask & IN_IGNORED))
                continue;
            if (event->mask & CHANGE_EVENTS)
                changed = true;
            if ((event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO)) && event->len > 0) {
                auto parent = watcher->folders.find(event->wd);
                if (parent != watcher->folders.end()) {
                    std::string child = parent->second;
                    if (child.back() != '/')
                        child += '/';
                    child += event->name;
                    const int error = WatchTree(watcher, child);
                    if (error != 0 && poll.rearmErrorCode == 0)
                        poll.rearmErrorCode = error;
                }
            }
            if (event->mask & IN_IGNORED) {
                watcher->folders.erase(event->wd);
                if (event->wd == watcher->rootWatch && !watcher->rootLost) {
                    watcher->rootLost = true;
                    abandoned = true;
                }
            } else if (event->wd == watcher->rootWatch && (event->mask & (SELF_EVENTS | IN_UNMOUNT)) &&
                       !watcher->rootLost) {
                // A moved root keeps its watch but no longer is the folder the paths name.
                watcher->rootLost = true;
                abandoned = true;
            }
        }
    }
    if (abandoned) {
        poll.result = QP_WATCH_ABANDONED;
        watcher->changeCarried = changed;
        return poll;
    }
    if (watcher->rootLost && RestoreRoot(watcher)) {
        poll.restored = true;
        changed = true;
    }
    poll.result = changed ? QP_WATCH_CHANGED : QP_WATCH_NOTHING;
    return poll;
}
