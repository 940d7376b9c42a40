#pragma once
// Helpers for the sequencer suite: a process log whose lines a test can read back, and a
// process sync for channels to subscribe to.

#include "QC_Log.h"
#include "QD_Sync.h"

#include <mutex>
#include <string>
#include <vector>

struct CapturedReport
{
    int level;
    std::string message;
    std::string file;
};

// Installs a fresh process log with a capturing backend (lines still reach stderr too) and
// removes it again.
class LogCapture
{
public:
    LogCapture()
    {
        QC_CreateLog(QC_LogConfig{});
        QC_GetLog()->AddBackend(new Backend(this));
    }
    ~LogCapture() { QC_DestroyLog(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<CapturedReport> Reports() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return reports;
    }
    // The messages of level-2 reports, in order.
    std::vector<std::string> Errors() const
    {
        std::vector<std::string> errors;
        for (const CapturedReport& report : Reports()) {
            if (report.level == QC_LOG_ERROR)
                errors.push_back(report.message);
        }
        return errors;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        reports.clear();
    }

private:
    class Backend : public QC_LogBackend
    {
    public:
        explicit Backend(LogCapture* owner) : capture(owner) {}
        void Write(int level, std::uint32_t, const char* message, const char* file, int) override
        {
            std::lock_guard<std::mutex> lock(capture->mutex);
            capture->reports.push_back({level, message, file});
        }

    private:
        LogCapture* capture;
    };

    mutable std::mutex mutex;
    std::vector<CapturedReport> reports;
};

// The process sync in BPM mode for the lifetime of the object.
class ScopedSync
{
public:
    explicit ScopedSync(int bpm = 120)
    {
        QD_SyncSettings settings;
        settings.method = QD_SYNC_METHOD_BPM;
        settings.bpm = bpm;
        sync = QD_CreateSync(settings);
    }
    ~ScopedSync() { QD_DestroySync(); }
    ScopedSync(const ScopedSync&) = delete;
    ScopedSync& operator=(const ScopedSync&) = delete;

    QD_Sync* operator->() const { return sync; }
    QD_Sync* Get() const { return sync; }

private:
    QD_Sync* sync;
};
