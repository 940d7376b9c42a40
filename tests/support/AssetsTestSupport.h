#pragma once
// Shared by the assets suite: a process log whose lines the tests read back (loaders report
// from worker threads, so it locks), the task pool and sync the assets need, a frame pump that
// drives the main loop's two asset calls until a condition holds, and file writing that makes
// sure a rewrite is seen as a new version of the file.

#include "QC_Log.h"
#include "QC_Tasks.h"
#include "QC_Thread.h"
#include "QD_Assets.h"
#include "QD_Sync.h"
#include "support/FramePump.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

class AssetsLog
{
public:
    AssetsLog() { QC_CreateLog(QC_LogConfig{})->AddBackend(new Backend(this)); }
    ~AssetsLog() { QC_DestroyLog(); }

    // Messages of at least level, in order.
    std::vector<std::string> Messages(int level) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::string> found;
        for (const auto& line : lines)
            if (line.first >= level)
                found.push_back(line.second);
        return found;
    }
    bool Contains(int level, const std::string& message) const
    {
        for (const std::string& line : Messages(level))
            if (line == message)
                return true;
        return false;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        lines.clear();
    }

private:
    class Backend : public QC_LogBackend
    {
    public:
        explicit Backend(AssetsLog* owner) : log(owner) {}
        void Write(int level, std::uint32_t, const char* message, const char*, int) override
        {
            std::lock_guard<std::mutex> lock(log->mutex);
            log->lines.emplace_back(level, message);
        }

    private:
        AssetsLog* log;
    };

    mutable std::mutex mutex;
    std::vector<std::pair<int, std::string>> lines;
};


// An asset with no load in flight and none counted.
inline bool Idle(const QD_Asset& asset)
{
    return !asset.IsLoading() && asset.GetPendingReloads() == 0;
}

// Runs frames for a while without waiting on anything: long enough for a notification to be
// read and any load it starts to finish on an otherwise idle machine. Used only where a test
// shows that something does NOT happen.
inline void RunFramesFor(std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        RunFrame();
        QC_Sleep(2);
    }
}

inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool SameVersion(const struct stat& a, const struct stat& b)
{
    return a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_size == b.st_size && a.st_ino == b.st_ino;
}

// Writes bytes in place (open, write, close: one close-after-write notification), as an editor
// that saves over the file does. The file system clock ticks every few milliseconds: when the
// rewrite lands in the same tick with the same size, it is written again a moment later, since
// a real save happens later than the load of the version it replaces.
inline void SaveInPlace(const std::string& path, const std::string& bytes)
{
    struct stat before = {};
    const bool existed = stat(path.c_str(), &before) == 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        struct stat after = {};
        if (!existed || stat(path.c_str(), &after) != 0 || !SameVersion(before, after))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ADD_FAILURE() << "the write time of " << path << " never changed";
}

// An editor's atomic save: the new content goes to a temporary file in the same folder, which
// is then renamed over the asset (the asset's file never exists half-written).
inline void SaveAtomically(const std::string& path, const std::string& bytes)
{
    const std::string temporary = path + ".swp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::filesystem::rename(temporary, path);
}

// Log, a pool of two workers and a BPM sync: what the assets need around them.
class QD_AssetsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QD_SetSaveSettling(QD_SaveSettling{});
        QC_CreateTasks(QC_TasksConfig{.workerCount = 2});
        QD_CreateSync(QD_SyncSettings{.method = QD_SYNC_METHOD_BPM, .bpm = 120, .midiDevice = 0});
    }
    void TearDown() override
    {
        QD_DestroyAssets();
        QD_DestroySync();
        QC_DestroyTasks();
    }

    QD_Assets* CreateAssets(bool watch, bool fatal = false)
    {
        return QD_CreateAssets(QD_AssetsSettings{.root = dir.Path().c_str(), .watch = watch, .fatalOnLoadFailure = fatal});
    }

    std::string Write(const std::string& name, const std::string& bytes) { return dir.Write(name, bytes); }

    AssetsLog log;
    TempDir dir;
};
