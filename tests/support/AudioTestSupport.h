#pragma once
// Shared by the audio suite: a log that keeps every line for inspection, PCM analysis, and
// Ogg page surgery for building broken files.

#include "QC_Log.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct LoggedLine
{
    int level;
    std::string message;
    std::string file;
};

// Creates the process log with a backend that records each line; destroys it at scope end.
class CapturedLog
{
public:
    CapturedLog()
    {
        QC_CreateLog(QC_LogConfig{})->AddBackend(new Backend(&lines));
    }
    ~CapturedLog() { QC_DestroyLog(); }

    std::vector<LoggedLine> lines;

    bool Contains(int level, const std::string& message) const
    {
        for (const LoggedLine& line : lines)
            if (line.level == level && line.message == message)
                return true;
        return false;
    }
    int CountAtLevel(int level) const
    {
        int count = 0;
        for (const LoggedLine& line : lines)
            count += line.level == level;
        return count;
    }

private:
    class Backend : public QC_LogBackend
    {
    public:
        explicit Backend(std::vector<LoggedLine>* target) : target(target) {}
        void Write(int level, std::uint32_t, const char* message, const char* file, int) override
        {
            target->push_back({level, message, file});
        }

    private:
        std::vector<LoggedLine>* target;
    };
};

inline std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

// One channel (0 left, 1 right) of interleaved 16-bit stereo PCM.
inline std::vector<float> Channel(const std::uint8_t* pcm, std::uint32_t bytes, int channel)
{
    std::vector<float> samples(bytes / 4);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::int16_t value;
        std::memcpy(&value, pcm + i * 4 + channel * 2, 2);
        samples[i] = value / 32768.0f;
    }
    return samples;
}

// Frequency of a steady tone from its rising zero crossings, ignoring the first and last
// tenth (the codec's edges).
inline double ToneFrequency(const std::vector<float>& samples, double sampleRate)
{
    const std::size_t begin = samples.size() / 10, end = samples.size() - samples.size() / 10;
    std::size_t first = 0, last = 0, crossings = 0;
    for (std::size_t i = begin + 1; i < end; ++i) {
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) {
            if (crossings == 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0.0;
    return double(crossings - 1) * sampleRate / double(last - first);
}

inline double Rms(const std::vector<float>& samples)
{
    const std::size_t begin = samples.size() / 10, end = samples.size() - samples.size() / 10;
    double sum = 0.0;
    for (std::size_t i = begin; i < end; ++i)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(end - begin));
}

// Ogg pages carry a CRC (polynomial 0x04C11DB7, no reflection, zero start) over the page with
// its CRC field zeroed; a decoder checks it, so an edited page needs a new one.
inline void RewritePageCrc(std::vector<std::uint8_t>& bytes, std::size_t pageStart)
{
    const std::size_t segments = bytes[pageStart + 26];
    std::size_t length = 27 + segments;
    for (std::size_t i = 0; i < segments; ++i)
        length += bytes[pageStart + 27 + i];
    std::memset(&bytes[pageStart + 22], 0, 4);
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= std::uint32_t(bytes[pageStart + i]) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    for (int i = 0; i < 4; ++i)
        bytes[pageStart + 22 + i] = std::uint8_t(crc >> (8 * i));
}

// Changes the sample rate stated in the identification header (the first page's packet:
// type byte, "vorbis", version (4 bytes), channels (1 byte), rate (4 bytes, little-endian)).
inline void PatchSampleRate(std::vector<std::uint8_t>& bytes, std::uint32_t rate)
{
    const std::size_t packet = 27 + bytes[26];
    const std::size_t rateAt = packet + 1 + 6 + 4 + 1;
    for (int i = 0; i < 4; ++i)
        bytes[rateAt + i] = std::uint8_t(rate >> (8 * i));
    RewritePageCrc(bytes, 0);
}
