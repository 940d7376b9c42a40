#pragma once
// Runs a program of the build for a window test: its standard output and error go to one file,
// its environment is this process's with a few variables set or removed, and every wait has a
// limit after which the program is killed (by its process id), so no test can hang on it.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

class ChildProcess
{
public:
    // Starts program with arguments (argument 0 included); changes: "NAME=value" sets, "NAME"
    // removes. Output goes to outputPath.
    ChildProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& changes,
                 const std::string& outputPath)
        : output(outputPath)
    {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            const std::string name = text.substr(0, text.find('='));
            bool changed = false;
            for (const std::string& change : changes)
                changed = changed || change.substr(0, change.find('=')) == name;
            if (!changed)
                environment.push_back(text);
        }
        for (const std::string& change : changes)
            if (change.find('=') != std::string::npos)
                environment.push_back(change);
        std::vector<char*> argv, envp;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        for (const std::string& entry : environment)
            envp.push_back(const_cast<char*>(entry.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }

    ~ChildProcess()
    {
        if (pid > 0 && !exited) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid > 0; }
    // For reading the program's figures from /proc while it runs.
    pid_t Pid() const { return pid; }
    bool Exited() { return Wait(std::chrono::milliseconds(0)); }

    // Waits for the program to end; false (and the program killed) when it is still running
    // after limit.
    bool Wait(std::chrono::milliseconds limit)
    {
        if (pid <= 0)
            return false;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!exited) {
            int status = 0;
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                exited = true;
                exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() >= end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    void Kill()
    {
        if (pid > 0 && !exited) {
            kill(pid, SIGKILL);
            int status = 0;
            waitpid(pid, &status, 0);
            exited = true;
            exitCode = 128 + SIGKILL;
        }
    }

    int ExitCode() const { return exitCode; }

    std::string Output() const
    {
        std::ifstream stream(output);
        std::stringstream text;
        text << stream.rdbuf();
        return text.str();
    }

private:
    pid_t pid = -1;
    bool exited = false;
    int exitCode = -1;
    std::string output;
};

// Runs a short helper (xdotool, xwd) to its end, its output into outputPath; the exit code, or
// -1 when it could not start or ran past limit.
inline int RunTool(const std::vector<std::string>& arguments, const std::string& outputPath,
                   std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    ChildProcess tool(arguments, {}, outputPath);
    if (!tool.Started() || !tool.Wait(limit))
        return -1;
    return tool.ExitCode();
}
