#pragma once
// The process-wide log. Every error and assertion of the system goes through QC_Report,
// which formats the message once and hands it to the installed backends in order.
//
//   QC_CreateLog({ .fatalMessageBox = true });     // first thing at start-up
//   QC_ERROR("Failed to parse %s.", name);          // level 2: the caller goes on
//   QC_FATAL("Out of memory.");                     // level 3: never returns
//   QC_DestroyLog();                                // last thing at shut-down
//
// Lines look like "frame/qc/QC_String.h(120):   4711 [FATAL] Out of memory.\n". A fatal report
// writes its line, flushes, and ends the process with exit code 3 (after the message box when
// one is installed and a display is present). Reports made while no log exists go straight to
// the debugger output, so nothing is lost before start-up or after shut-down.
//
// Standard error shows the levels from QC_SetStandardErrorLevel on (all of them unless a program
// says otherwise; the demo keeps it to errors unless asked to be verbose). The threshold is the
// process's, not a log's: it also holds for the reports made while no log exists. Other backends
// see every level, and a fatal report is always written.

#include <cstdarg>
#include <cstddef>
#include <cstdint>

enum QC_LogLevel : int
{
    QC_LOG_DEBUG = 0,
    QC_LOG_INFO = 1,
    QC_LOG_ERROR = 2,
    QC_LOG_FATAL = 3,
};

// Exit code of a process ended by a fatal report.
constexpr int QC_FATAL_EXIT_CODE = 3;
// Size of the message and line buffers; longer texts are cut to one byte less.
constexpr std::size_t QC_LOG_BUFFER_SIZE = 4096;
constexpr std::uint32_t QC_LOG_MAX_BACKENDS = 16;

class QC_LogBackend
{
public:
    virtual ~QC_LogBackend() = default;
    virtual void Write(int level, std::uint32_t threadId, const char* message, const char* file, int line) = 0;
    virtual void Flush() {}
};

// Writes the lines of levels 0-3 from the standard error threshold on to the debugger output
// (standard error on this platform).
class QC_IdeLogBackend : public QC_LogBackend
{
public:
    void Write(int level, std::uint32_t threadId, const char* message, const char* file, int line) override;
};

// Shows fatal lines in a message box captioned "FATAL" and ends the process.
class QC_MessageBoxLogBackend : public QC_LogBackend
{
public:
    void Write(int level, std::uint32_t threadId, const char* message, const char* file, int line) override;
};

struct QC_LogConfig
{
    bool fatalMessageBox = false;
};

class QC_Log
{
public:
    explicit QC_Log(const QC_LogConfig& config);
    ~QC_Log();
    QC_Log(const QC_Log&) = delete;
    QC_Log& operator=(const QC_Log&) = delete;

    // Takes ownership. The list is fixed after start-up: reports read it without a lock.
    void AddBackend(QC_LogBackend* backend);

    void Write(int level, std::uint32_t threadId, const char* message, const char* file, int line);
    void Flush();

    bool FatalMessageBox() const { return fatalMessageBox; }
    std::uint32_t BackendCount() const { return backendCount; }

private:
    bool fatalMessageBox;
    QC_LogBackend* backends[QC_LOG_MAX_BACKENDS] = {};
    std::uint32_t backendCount = 0;
};

QC_Log* QC_CreateLog(const QC_LogConfig& config);
// The lowest level standard error shows, clamped to QC_LOG_DEBUG-QC_LOG_FATAL; QC_LOG_DEBUG at
// start. Safe from any thread.
void QC_SetStandardErrorLevel(int lowestLevel);
int QC_GetStandardErrorLevel();
void QC_DestroyLog();
QC_Log* QC_GetLog();

// Formats one log line into buffer (cut to size - 1 characters). Returns false, writing an
// empty text, for a level outside 0-3.
bool QC_FormatLogLine(char* buffer, std::size_t size, int level, std::uint32_t threadId, const char* message,
                      const char* file, int line);

void QC_Report(QC_Log* log, int level, const char* format, const char* file, int line, ...)
    __attribute__((format(printf, 3, 6)));
void QC_ReportV(QC_Log* log, int level, const char* format, const char* file, int line, va_list arguments);
[[noreturn]] void QC_Fatal(QC_Log* log, const char* format, const char* file, int line, ...)
    __attribute__((format(printf, 2, 5)));
void QC_FlushLog(QC_Log* log);

#define QC_DEBUG(format, ...) QC_Report(QC_GetLog(), QC_LOG_DEBUG, format, __FILE__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define QC_INFO(format, ...) QC_Report(QC_GetLog(), QC_LOG_INFO, format, __FILE__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define QC_ERROR(format, ...) QC_Report(QC_GetLog(), QC_LOG_ERROR, format, __FILE__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define QC_FATAL(format, ...) QC_Fatal(QC_GetLog(), format, __FILE__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define QC_ASSERT(condition, format, ...)                                                                   \
    do {                                                                                                    \
        if (!(condition))                                                                                   \
            QC_FATAL(format __VA_OPT__(, ) __VA_ARGS__);                                                    \
    } while (false)
