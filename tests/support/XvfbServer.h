#pragma once
// A private X server for tests that need a display: starts Xvfb on the first free display
// number from 90, waits for its socket, and points DISPLAY at it for this process. The server
// is ended (by its process id) and DISPLAY restored when the object goes.
//
//   XvfbServer server;                 // in a test or fixture
//   ASSERT_TRUE(server.Running()) << server.Error();

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
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
        for (int number = 90; number < 190 && pid <= 0; ++number) {
            const std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
            struct stat info;
            if (stat(lock.c_str(), &info) == 0 || stat(socket.c_str(), &info) == 0)
                continue;
            display = ":" + std::to_string(number);
            std::string screenArgument = std::string(screen);
            const char* arguments[] = {"Xvfb", display.c_str(), "-screen", "0", screenArgument.c_str(), "-nolisten",
                                       "tcp", "-noreset", nullptr};
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
            pid_t child = -1;
            const int spawned = posix_spawnp(&child, "Xvfb", &actions, nullptr, const_cast<char**>(arguments), environ);
            posix_spawn_file_actions_destroy(&actions);
            if (spawned != 0) {
                error = "Xvfb could not be started (is the xvfb package installed?)";
                return;
            }
            // Up to 10 s for the socket; a server that exits early lost a race for the number.
            for (int wait = 0; wait < 200; ++wait) {
                if (stat(socket.c_str(), &info) == 0) {
                    pid = child;
                    break;
                }
                int status = 0;
                if (waitpid(child, &status, WNOHANG) == child)
                    break;
                const timespec pause = {0, 50 * 1000 * 1000};
                nanosleep(&pause, nullptr);
            }
            if (pid <= 0) {
                kill(child, SIGTERM);
                waitpid(child, nullptr, 0);
            }
        }
        if (pid <= 0) {
            if (error.empty())
                error = "no Xvfb display could be started";
            return;
        }
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
