#include "QC_Log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
struct CapturedLine
{
    int level;
    std::uint32_t threadId;
    std::string message;
};

class CaptureBackend : public QC_LogBackend
{
public:
    explicit CaptureBackend(std::vector<CapturedLine>* target) : lines(target) {}
    void Write(int level, std::uint32_t threadId, const char* message, const char*, int) override
    {
        lines->push_back({level, threadId, message});
    }

private:
    std::vector<CapturedLine>* lines;
};

std::string Format(int level, std::uint32_t threadId, const char* message, const char* file, int line)
{
    char buffer[QC_LOG_BUFFER_SIZE];
    QC_FormatLogLine(buffer, sizeof(buffer), level, threadId, message, file, line);
    return buffer;
}
} // namespace

TEST(QC_LogTest, LineBytesMatchTheFormatForEveryLevel)
{
    EXPECT_EQ(Format(QC_LOG_INFO, 42, "hello", "f", 7), "f(7):     42 [INFO ] hello\n");
    EXPECT_EQ(Format(QC_LOG_DEBUG, 1, "m", "a/b.cpp", 100), "a/b.cpp(100):      1 [DEBUG] m\n");
    EXPECT_EQ(Format(QC_LOG_ERROR, 123456, "m", "f", 1), "f(1): 123456 [ERROR] m\n");
    EXPECT_EQ(Format(QC_LOG_FATAL, 4194304, "m", "f", 1), "f(1): 4194304 [FATAL] m\n");
    EXPECT_EQ(Format(4, 1, "m", "f", 1), "");
    EXPECT_EQ(Format(-1, 1, "m", "f", 1), "");
}

TEST(QC_LogTest, LongMessagesAreCutTo4095Characters)
{
    std::vector<CapturedLine> lines;
    QC_Log log(QC_LogConfig{});
    log.AddBackend(new CaptureBackend(&lines));
    const std::string huge(10000, 'x');
    QC_Report(&log, QC_LOG_INFO, "%s", "f", 1, huge.c_str());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].message.size(), 4095u);

    const std::string line = Format(QC_LOG_INFO, 1, huge.c_str(), "f", 1);
    EXPECT_EQ(line.size(), 4095u);
}

TEST(QC_LogTest, BackendsReceiveReportsInOrderAndIdeBackendWritesStderr)
{
    std::vector<CapturedLine> lines;
    QC_Log log(QC_LogConfig{});
    EXPECT_EQ(log.BackendCount(), 1u);
    log.AddBackend(new CaptureBackend(&lines));

    testing::internal::CaptureStderr();
    QC_Report(&log, QC_LOG_ERROR, "value %d of %s", "frame/qc/x.cpp", 12, 5, "five");
    QC_Report(&log, 7, "ignored by the ide backend", "f", 1);
    const std::string written = testing::internal::GetCapturedStderr();

    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].level, QC_LOG_ERROR);
    EXPECT_EQ(lines[0].message, "value 5 of five");
    EXPECT_NE(lines[0].threadId, 0u);
    EXPECT_NE(written.find("frame/qc/x.cpp(12): "), std::string::npos);
    EXPECT_NE(written.find(" [ERROR] value 5 of five\n"), std::string::npos);
    EXPECT_EQ(written.find("ignored"), std::string::npos);
}

TEST(QC_LogTest, MessageBoxBackendOnlyWhenAskedFor)
{
    QC_Log plain(QC_LogConfig{.fatalMessageBox = false});
    EXPECT_EQ(plain.BackendCount(), 1u);
    QC_Log boxed(QC_LogConfig{.fatalMessageBox = true});
    EXPECT_EQ(boxed.BackendCount(), 2u);

    // Non-fatal levels pass the message-box backend by.
    QC_MessageBoxLogBackend box;
    box.Write(QC_LOG_ERROR, 1, "not fatal", "f", 1);
    SUCCEED();
}

TEST(QC_LogDeathTest, FatalWritesItsLineAndExitsWithFailure)
{
    EXPECT_EXIT(
        {
            QC_CreateLog(QC_LogConfig{.fatalMessageBox = false});
            QC_FATAL("Out of %s.", "memory");
        },
        testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "QC_LogTest\\.cpp\\([0-9]+\\): +[0-9]+ \\[FATAL\\] Out of memory\\.\n");
}

TEST(QC_LogDeathTest, FatalThroughTheMessageBoxBackendAlsoFails)
{
    // No display in the test environment: the box is skipped, the exit code is kept.
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            QC_CreateLog(QC_LogConfig{.fatalMessageBox = true});
            QC_FATAL("Boom.");
        },
        testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "\\[FATAL\\] Boom\\.");
}

TEST(QC_LogDeathTest, ReportsWithoutALogStillReachStderr)
{
    QC_DestroyLog();
    EXPECT_EXIT({ QC_FATAL("No log yet."); }, testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "\\[FATAL\\] No log yet\\.");
    testing::internal::CaptureStderr();
    QC_ERROR("Recoverable %d.", 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("[ERROR] Recoverable 2.\n"), std::string::npos);
}

TEST(QC_LogTest, ErrorReturnsToTheCaller)
{
    QC_Log log(QC_LogConfig{});
    testing::internal::CaptureStderr();
    QC_Report(&log, QC_LOG_ERROR, "carry on", "f", 1);
    testing::internal::GetCapturedStderr();
    SUCCEED();
}

TEST(QC_LogTest, StandardErrorShowsOnlyTheLevelsFromItsThresholdOnWhileOtherBackendsSeeAll)
{
    std::vector<CapturedLine> lines;
    QC_Log log(QC_LogConfig{});
    log.AddBackend(new CaptureBackend(&lines));
    ASSERT_EQ(QC_GetStandardErrorLevel(), QC_LOG_DEBUG) << "every level unless a program says otherwise";

    QC_SetStandardErrorLevel(QC_LOG_ERROR);
    testing::internal::CaptureStderr();
    QC_Report(&log, QC_LOG_DEBUG, "quiet debug", "f", 1);
    QC_Report(&log, QC_LOG_INFO, "quiet info", "f", 2);
    QC_Report(&log, QC_LOG_ERROR, "loud error", "f", 3);
    QC_Report(nullptr, QC_LOG_INFO, "quiet without a log", "f", 4);
    QC_Report(nullptr, QC_LOG_ERROR, "loud without a log", "f", 5);
    const std::string quiet = testing::internal::GetCapturedStderr();

    QC_SetStandardErrorLevel(QC_LOG_INFO);
    testing::internal::CaptureStderr();
    QC_Report(&log, QC_LOG_DEBUG, "still quiet", "f", 6);
    QC_Report(&log, QC_LOG_INFO, "now shown", "f", 7);
    const std::string info = testing::internal::GetCapturedStderr();

    // Out of range is clamped: a fatal report can never be hidden, nothing below debug exists.
    QC_SetStandardErrorLevel(99);
    EXPECT_EQ(QC_GetStandardErrorLevel(), QC_LOG_FATAL);
    QC_SetStandardErrorLevel(-5);
    EXPECT_EQ(QC_GetStandardErrorLevel(), QC_LOG_DEBUG);

    EXPECT_EQ(quiet.find("quiet"), std::string::npos) << quiet;
    EXPECT_NE(quiet.find("f(3): "), std::string::npos) << "the line's format is unchanged: " << quiet;
    EXPECT_NE(quiet.find(" [ERROR] loud error\n"), std::string::npos) << quiet;
    EXPECT_NE(quiet.find(" [ERROR] loud without a log\n"), std::string::npos) << quiet;
    EXPECT_EQ(info.find("still quiet"), std::string::npos) << info;
    EXPECT_NE(info.find(" [INFO ] now shown\n"), std::string::npos) << info;
    EXPECT_EQ(lines.size(), 5u) << "the threshold is standard error's alone";
}
