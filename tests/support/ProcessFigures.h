#pragma once
// What a long run must keep flat, read from /proc for this process or a child: resident memory,
// open file descriptors and inotify watches. For this process also the bytes its allocator has
// handed out and not had back, which - unlike the resident size - neither the allocator's free
// fragments nor code that a GL driver compiles and keeps mapped can move.
//
//   const ProcessFigures before = ReadProcessFigures("self");   // or std::to_string(pid)
//   ... hours of work ...
//   EXPECT_LE(ReadProcessFigures("self").residentKiB - before.residentKiB, 2048);

#include <filesystem>
#include <fstream>
#include <string>

#include <malloc.h>
#include <unistd.h>

struct ProcessFigures
{
    long residentKiB = -1;
    int descriptors = -1;
    // Watches of every inotify instance the process holds.
    int inotifyWatches = -1;
    // Only for "self": live allocations, small and mapped.
    long heapInUseKiB = -1;
};

inline ProcessFigures ReadProcessFigures(const std::string& process)
{
    ProcessFigures figures;
    const std::filesystem::path root = std::filesystem::path("/proc") / process;
    std::ifstream status(root / "status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            figures.residentKiB = std::stol(line.substr(6));
    std::error_code error;
    int descriptors = 0;
    int watches = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root / "fd", error)) {
        ++descriptors;
        char target[64] = {};
        const ssize_t length = readlink(entry.path().c_str(), target, sizeof(target) - 1);
        if (length <= 0 || std::string(target, static_cast<std::size_t>(length)) != "anon_inode:inotify")
            continue;
        std::ifstream info(root / "fdinfo" / entry.path().filename());
        for (std::string line; std::getline(info, line);)
            watches += line.rfind("inotify wd:", 0) == 0 ? 1 : 0;
    }
    if (!error) {
        figures.descriptors = descriptors;
        figures.inotifyWatches = watches;
    }
    if (process == "self") {
        const struct mallinfo2 heap = mallinfo2();
        figures.heapInUseKiB = static_cast<long>((heap.uordblks + heap.hblkhd) / 1024);
    }
    return figures;
}
