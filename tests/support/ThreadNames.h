#pragma once
// The system's view of this process's threads: the names in /proc/self/task/*/comm.
// Header-only helper for the test suites.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

inline std::string ReadThreadComm(const std::filesystem::path& taskDir)
{
    std::ifstream stream(taskDir / "comm");
    std::string name;
    std::getline(stream, name);
    return name;
}

inline std::string ReadThreadCommOf(unsigned threadId)
{
    return ReadThreadComm(std::filesystem::path("/proc/self/task") / std::to_string(threadId));
}

inline std::vector<std::string> ThreadNamesOfThisProcess()
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error))
        names.push_back(ReadThreadComm(entry.path()));
    return names;
}

inline int CountThreadsNamed(const std::string& name)
{
    int count = 0;
    for (const std::string& each : ThreadNamesOfThisProcess())
        count += each == name;
    return count;
}

// Polls condition every millisecond for up to timeout; true as soon as it holds.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
