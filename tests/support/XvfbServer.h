#pragma once
// A private X server for tests that need a display: starts Xvfb, which picks a free display
// number itself and reports it once it accepts connections (-displayfd), so suites running in
// parallel never race for a number; then points DISPLAY at it for this process. The server is
// ended (by its process id) and DISPLAY restored when the object goes.
//
//   XvfbServer server;                 // in a test or fixture
//   ASSERT_TRUE(server.Running()) << server.Error();

#include <csignal>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

class XvfbServer
{
public:
    explicit XvfbServer(const char* screen = "1024x768x24")
    {
        const char* previous = std::getenv("DISPLAY");
        hadDisplay = previous != nullptr;
        if (previous)
            previousDisplay = previous;
        int report[2];
        if (pipe(report) != 0) {
            error = "no pipe for Xvfb's display number";
            return;
        }
        // The write end becomes descriptor 3 of the server, which writes the number there.
        const std::string screenArgument(screen);
        const char* arguments[] = {"Xvfb", "-displayfd", "3", "-screen", "0", screenArgument.c_str(),
                                   "-nolisten", "tcp", "-noreset", nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // The read end goes first: it may itself be descriptor 3.
        posix_spawn_file_actions_addclose(&actions, report[0]);
        posix_spawn_file_actions_adddup2(&actions, report[1], 3);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t child = -1;
        const int spawned = posix_spawnp(&child, "Xvfb", &actions, nullptr, const_cast<char**>(arguments), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(report[1]);
        if (spawned != 0) {
            close(report[0]);
            error = "Xvfb could not be started (is the xvfb package installed?)";
            return;
        }
        // Up to 15 s for the number and its newline.
        std::string number;
        for (int waited = 0; waited < 150 && number.find('\n') == std::string::npos; ++waited) {
            pollfd entry = {report[0], POLLIN, 0};
            if (poll(&entry, 1, 100) <= 0)
                continue;
            char chunk[16];
            const ssize_t got = read(report[0], chunk, sizeof(chunk));
            if (got <= 0)
                break;
            number.append(chunk, static_cast<std::size_t>(got));
        }
        close(report[0]);
        while (!number.empty() && (number.back() == '\n' || number.back() == ' '))
            number.pop_back();
        if (number.empty()) {
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
            error = "Xvfb did not report a display";
            return;
        }
        pid = child;
        display = ":" + number;
        setenv("DISPLAY", display.c_str(), 1);
    }

    ~XvfbServer()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (hadDisplay)
            setenv("DISPLAY", previousDisplay.c_str(), 1);
        else
            unsetenv("DISPLAY");
    }

    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Running() const { return pid > 0; }
    const std::string& Error() const { return error; }
    const std::string& Display() const { return display; }

private:
    pid_t pid = -1;
    std::string display;
    std::string error;
    std::string previousDisplay;
    bool hadDisplay = false;
};
