#pragma once
// Shared by the synth suite: a log that keeps its lines, score text helpers, and signal
// measurements (sine response, zero crossings).

#include "QC_Log.h"
#include "synth/VS_Score.h"
#include "synth/VS_ScoreParser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

// Creates the process log with a backend that records each message; destroys it at scope end.
class SynthLog
{
public:
    SynthLog() { QC_CreateLog(QC_LogConfig{})->AddBackend(new Backend(&messages)); }
    ~SynthLog() { QC_DestroyLog(); }
    SynthLog(const SynthLog&) = delete;
    SynthLog& operator=(const SynthLog&) = delete;

    bool Contains(const std::string& text) const
    {
        for (const std::string& message : messages)
            if (message.find(text) != std::string::npos)
                return true;
        return false;
    }
    std::string All() const
    {
        std::string all;
        for (const std::string& message : messages)
            all += message + "\n";
        return all;
    }

    std::vector<std::string> messages;

private:
    class Backend : public QC_LogBackend
    {
    public:
        explicit Backend(std::vector<std::string>* target) : target(target) {}
        void Write(int, std::uint32_t, const char* message, const char*, int) override { target->push_back(message); }

    private:
        std::vector<std::string>* target;
    };
};

// The song block every test score starts with: 120 BPM, sixteenth steps, no tail by default.
inline std::string TestSong(int bars, double tail = 0.0)
{
    return "song\n  tempo 120\n  steps_per_beat 4\n  bars " + std::to_string(bars) + "\n  tail " + std::to_string(tail) +
           "\nend\n";
}

inline VS_Score ParseOrFail(const std::string& text)
{
    VS_Score score;
    EXPECT_TRUE(VS_ScoreParser::Parse(text, "test.score", score)) << text;
    return score;
}

inline double RmsOf(const std::vector<float>& samples, std::size_t first, std::size_t end)
{
    double sum = 0.0;
    for (std::size_t n = first; n < end; ++n)
        sum += double(samples[n]) * samples[n];
    return end > first ? std::sqrt(sum / double(end - first)) : 0.0;
}

// Upward zero crossings a second.
inline double CrossingRate(const std::vector<float>& samples, double sampleRate)
{
    int crossings = 0;
    for (std::size_t n = 1; n < samples.size(); ++n)
        crossings += samples[n - 1] < 0.0f && samples[n] >= 0.0f;
    return crossings * sampleRate / double(samples.size());
}
