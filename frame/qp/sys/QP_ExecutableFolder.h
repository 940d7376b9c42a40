#pragma once
// Where the running program lies: the start-up looks for the demo's data relative to it (an
// installed tree or an unpacked archive keeps bin/, libexec/ and share/ side by side), and the
// shader compile chain finds its helper program, and the video encoder its codec module, the
// same way.
// Tier 1 of frame/qp (see README.md): the core includes it, so it includes no frame/qc header.

#include <string>

// The folder of this process's executable, as the kernel names it (symbolic links resolved),
// ending in '/'. Empty when it cannot be read (no /proc).
std::string QP_ExecutableFolder();

// A file that ships with the program: the path the environment variable environmentName holds
// when it is set (as it stands, checked by nobody), else fileName beside the executable (a
// build folder), else in ../libexec/velvet-cascade/ beside bin/ (an installed or unpacked
// tree), whichever first passes access() with accessMode (R_OK, X_OK). Empty when none does.
std::string QP_FindCompanionFile(const char* environmentName, const char* fileName, int accessMode);
