#include "QC_Log.h"

#include "QP_System.h"

#include <atomic>
#include <cstdio>

namespace
{
QC_Log* g_log = nullptr;

// One format per level, so the tag is part of the constant text (the INFO tag is padded).
const char* const kLineFormats[] = {
    "%s(%d): %*d [DEBUG] %s\n",
    "%s(%d): %*d [INFO ] %s\n",
    "%s(%d): %*d [ERROR] %s\n",
    "%s(%d): %*d [FATAL] %s\n",
};
static_assert(sizeof(kLineFormats) / sizeof(kLineFormats[0]) == QC_LOG_FATAL + 1);

constexpr int kThreadIdWidth = 6;

// Read by every report on any thread, written at start-up: relaxed is enough, a line written
// just before the change may still go either way.
std::atomic<int> g_standardErrorLevel{QC_LOG_DEBUG};

void WriteWithoutLog(int level, std::uint32_t threadId, const char* message, const char* file, int line)
{
    QC_IdeLogBackend fallback;
    fallback.Write(level, threadId, message, file, line);
}
} // namespace

bool QC_FormatLogLine(char* buffer, std::size_t size, int level, std::uint32_t threadId, const char* message,
                      const char* file, int line)
{
    if (size > 0)
        buffer[0] = '\0';
    if (level < QC_LOG_DEBUG || level > QC_LOG_FATAL)
        return false;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(buffer, size, kLineFormats[level], file, line, kThreadIdWidth, static_cast<int>(threadId), message);
#pragma GCC diagnostic pop
    return true;
}

void QC_IdeLogBackend::Write(int level, std::uint32_t threadId, const char* message, const char* file, int line)
{
    if (level < g_standardErrorLevel.load(std::memory_order_relaxed))
        return;
    char text[QC_LOG_BUFFER_SIZE];
    if (QC_FormatLogLine(text, sizeof(text), level, threadId, message, file, line))
        QP_WriteDebugOutput(text);
}

void QC_MessageBoxLogBackend::Write(int level, std::uint32_t threadId, const char* message, const char* file, int line)
{
    if (level != QC_LOG_FATAL)
        return;
    char text[QC_LOG_BUFFER_SIZE];
    QC_FormatLogLine(text, sizeof(text), level, threadId, message, file, line);
    QP_ShowFatalMessageBox("FATAL", text);
    // A fatal error is a failure: never end with the success code.
    QP_ExitProcess(QC_FATAL_EXIT_CODE);
}

QC_Log::QC_Log(const QC_LogConfig& config) : fatalMessageBox(config.fatalMessageBox)
{
    AddBackend(new QC_IdeLogBackend());
    if (fatalMessageBox)
        AddBackend(new QC_MessageBoxLogBackend());
}

QC_Log::~QC_Log()
{
    for (std::uint32_t i = 0; i < backendCount; ++i)
        delete backends[i];
}

void QC_Log::AddBackend(QC_LogBackend* backend)
{
    if (backendCount >= QC_LOG_MAX_BACKENDS) {
        delete backend;
        QC_Fatal(this, "Too many log backends.", __FILE__, __LINE__);
    }
    backends[backendCount++] = backend;
}

void QC_Log::Write(int level, std::uint32_t threadId, const char* message, const char* file, int line)
{
    for (std::uint32_t i = 0; i < backendCount; ++i)
        backends[i]->Write(level, threadId, message, file, line);
}

void QC_Log::Flush()
{
    for (std::uint32_t i = 0; i < backendCount; ++i)
        backends[i]->Flush();
}

QC_Log* QC_CreateLog(const QC_LogConfig& config)
{
    delete g_log;
    g_log = new QC_Log(config);
    return g_log;
}

void QC_DestroyLog()
{
    delete g_log;
    g_log = nullptr;
}

QC_Log* QC_GetLog()
{
    return g_log;
}

void QC_SetStandardErrorLevel(int lowestLevel)
{
    // Never above fatal: a report that ends the process always says why.
    const int level = lowestLevel < QC_LOG_DEBUG ? QC_LOG_DEBUG : lowestLevel > QC_LOG_FATAL ? QC_LOG_FATAL : lowestLevel;
    g_standardErrorLevel.store(level, std::memory_order_relaxed);
}

int QC_GetStandardErrorLevel()
{
    return g_standardErrorLevel.load(std::memory_order_relaxed);
}

void QC_ReportV(QC_Log* log, int level, const char* format, const char* file, int line, va_list arguments)
{
    char message[QC_LOG_BUFFER_SIZE];
    std::vsnprintf(message, sizeof(message), format, arguments);
    const std::uint32_t threadId = QP_GetCurrentThreadId();
    if (log)
        log->Write(level, threadId, message, file, line);
    else
        WriteWithoutLog(level, threadId, message, file, line);

    if (level == QC_LOG_FATAL) {
        QC_FlushLog(log);
        QP_ExitProcess(QC_FATAL_EXIT_CODE);
    }
}

void QC_Report(QC_Log* log, int level, const char* format, const char* file, int line, ...)
{
    va_list arguments;
    va_start(arguments, line);
    QC_ReportV(log, level, format, file, line, arguments);
    va_end(arguments);
}

void QC_Fatal(QC_Log* log, const char* format, const char* file, int line, ...)
{
    va_list arguments;
    va_start(arguments, line);
    QC_ReportV(log, QC_LOG_FATAL, format, file, line, arguments);
    va_end(arguments);
    QP_ExitProcess(QC_FATAL_EXIT_CODE); // not reached: a fatal report ends the process
}

void QC_FlushLog(QC_Log* log)
{
    if (log)
        log->Flush();
}
