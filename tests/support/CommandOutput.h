#pragma once
// Runs a shell command line (a program of the build with its arguments and any redirections)
// and returns what it wrote on standard output, with its exit status (-1 when it did not exit
// normally or could not be started).
//
//   int status = -1;
//   const std::string output = RunCommand("'" VC_BINARY_DIR "/vc-seq' x.qcs 2>&1", &status);

#include <cstdio>
#include <string>
#include <sys/wait.h>

inline std::string RunCommand(const std::string& command, int* exitStatus)
{
    std::string output;
    *exitStatus = -1;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        output.append(buffer, count);
    const int status = pclose(pipe);
    *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}
