#pragma once
// Runs a shell command line (a program of the build with its arguments and any redirections)
// and returns what it wrote on standard output, with its exit status (-1 when it did not exit
// normally or could not be started). RunCommandKeepingErrors also keeps standard error apart.
//
//   int status = -1;
//   const std::string output = RunCommand("'" VC_BINARY_DIR "/vc-seq' x.qcs 2>&1", &status);

#include "support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
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

// A command line's standard output and standard error kept apart, with its exit status.
struct CommandRun
{
    int exitCode = -1;
    std::string output;
    std::string errors;
};

// Runs command (without redirections of its own) with no standard input; both outputs go
// through files of a scratch folder.
inline CommandRun RunCommandKeepingErrors(const std::string& command)
{
    TempDir scratch;
    const std::string outputFile = scratch.File("stdout.txt");
    const std::string errorFile = scratch.File("stderr.txt");
    // The redirections apply to the whole command line, a pipeline's last program included.
    const std::string line = "( " + command + " ) >'" + outputFile + "' 2>'" + errorFile + "' </dev/null";
    const int status = std::system(line.c_str());
    CommandRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const auto readAll = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    run.output = readAll(outputFile);
    run.errors = readAll(errorFile);
    return run;
}
