#pragma once
// Replacing a file's content in one step, as careful editors save: the new bytes go to a
// temporary file in the same folder (same file system), which is flushed to disk and then
// renamed over the file. A reader - or a watcher - sees either the old content or the new one,
// never a half-written file, and a failure at any step leaves the old file as it was.
//
//   int error = 0;
//   if (!QP_ReplaceFile("assets/scene.qcs", text, length, &error))
//       QC_ERROR("Cannot write scene.qcs: %s.", std::strerror(error));
//
// The replaced file keeps its permission bits; a new file gets the ones the process's umask
// allows. A symbolic link is followed: its target is replaced and the link stays a link.
// Nothing outside frame/qp includes the POSIX file headers; this file includes none either.

#include <cstdint>

// True when path holds exactly the bytes given. False (errno value in *errorCode) when any step
// failed; the temporary file is then removed and path is untouched.
bool QP_ReplaceFile(const char* path, const void* bytes, std::uint64_t length, int* errorCode);
