#pragma once
// Collects the reports of the shading language units for one test: installs a process log
// with a capturing backend, removed again when the test ends.

#include "QC_Log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct ShaderLogLine
{
    int level;
    std::string message;
    std::string file;
};

class ShaderLogCapture : public QC_LogBackend
{
public:
    explicit ShaderLogCapture(std::vector<ShaderLogLine>* target) : lines(target) {}
    void Write(int level, std::uint32_t, const char* message, const char* file, int) override
    {
        lines->push_back({level, message, file});
    }

private:
    std::vector<ShaderLogLine>* lines;
};

class QR_ShaderLogTest : public testing::Test
{
protected:
    void SetUp() override { QC_CreateLog(QC_LogConfig{})->AddBackend(new ShaderLogCapture(&logLines)); }
    void TearDown() override { QC_DestroyLog(); }

    // The messages reported so far, in order, and forgets them.
    std::vector<std::string> TakeMessages()
    {
        std::vector<std::string> messages;
        for (const ShaderLogLine& line : logLines)
            messages.push_back(line.message);
        logLines.clear();
        return messages;
    }

    std::vector<ShaderLogLine> logLines;
};
