#pragma once
// How the authoring tools answer --help (or -h): their usage on standard output and exit code 0,
// as installed programs do, wherever the word stands. The art tools take one output folder and
// nothing else, so a word starting with '-' there is a mistake rather than a folder to write into.
//
//   std::string folder;
//   if (const int exitCode = VC_ReadOutputFolder(argc, argv, kUsage, "assets", folder); exitCode >= 0)
//       return exitCode;

#include <cstdio>
#include <cstring>
#include <string>

inline bool VC_IsHelpWord(const char* argument)
{
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}

inline bool VC_AskedForHelp(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (VC_IsHelpWord(argv[i]))
            return true;
    return false;
}

// Returns -1 with folder set when the tool should go on, otherwise the exit code to end with.
inline int VC_ReadOutputFolder(int argc, char** argv, const char* usage, const char* defaultFolder, std::string& folder)
{
    if (VC_AskedForHelp(argc, argv)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fputs(usage, stderr);
        return 2;
    }
    folder = argc == 2 ? argv[1] : defaultFolder;
    return -1;
}
