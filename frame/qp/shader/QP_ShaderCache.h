#pragma once
// The disk cache of shader translations. A translation costs milliseconds of front end, validator
// and GLSL writer per stage; at start-up that is most of the main thread's work, and the same
// texts are translated on every run. QP_Compile looks each compile up here first (before any
// helper process is started) and keeps what a successful one gave, so a hit hands back the very
// bytes and warnings a fresh compile would.
//
//   const std::string folder = QP_ShaderCacheFolder();        // empty: the cache is off
//   const std::string key = QP_ShaderCacheKey(expanded, messages, name, "QR_Main", "ps_4_0");
//   QC_Ptr<QP_Blob> code, warnings;
//   if (!QP_FindCachedShader(folder, key, &code, &warnings)) {
//       ... translate ...
//       QP_StoreCachedShader(folder, key, code.Get(), warnings.Get());
//   }
//
// The key is everything the translation depends on: the text the front end compiles (after the
// preprocessor and the includes) with the messages the preprocessor wrote about it, the entry
// point, the profile, the source name messages quote, and the compiler's version (front end,
// validator, GLSL writer and our own translation number, QP_ShaderCompilerVersion). A text that
// includes no file is its own preprocessed form's whole cause: the compiler keys it by the text
// as it stands, with a marker in the messages' place, and a hit skips the preprocessor.
// The folder: VC_SHADER_CACHE when set ("off" turns the cache off), else
// $XDG_CACHE_HOME/velvet-cascade/shaders, else ~/.cache/velvet-cascade/shaders.
// One file per key, named by the key's hash, holding a header (magic, format, sizes, a checksum
// of the payload), the key itself and the payload (code, warnings). An entry that is short,
// corrupt, of another format or of another key (a hash collision, another compiler version) is
// ignored with a debug line and replaced by the next store. Entries are written through
// QP_ReplaceFile, so a crash never leaves half an entry under an entry's name; past the size
// limit the least recently written entries go. Failures are never stored.
// Thread-safe: each call works on its own files; the counts are atomic.

#include "QP_ShaderCompiler.h"

#include <cstdint>
#include <string>

// The cache folder the environment names now, or "" when the cache is off.
std::string QP_ShaderCacheFolder();

// The key of one translation (sourceName may be null).
std::string QP_ShaderCacheKey(const std::string& expandedText, const std::string& preprocessorMessages,
                              const char* sourceName, const char* entryPoint, const char* profile);

// True with *code and *warnings (null when there were none) set when folder holds a whole entry
// of key; false on a miss, the rejected entry logged.
bool QP_FindCachedShader(const std::string& folder, const std::string& key, QC_Ptr<QP_Blob>* code,
                         QC_Ptr<QP_Blob>* warnings);

// Keeps a successful translation (warnings may be null). A folder that cannot be written is
// noted once in the log; the compile that called goes on as if nothing happened.
void QP_StoreCachedShader(const std::string& folder, const std::string& key, const QP_Blob* code,
                          const QP_Blob* warnings);

// The entry file of key in folder.
std::string QP_ShaderCacheEntryPath(const std::string& folder, const std::string& key);

// The most bytes of entries a folder keeps (32 MiB unless set).
void QP_SetShaderCacheLimit(std::uint64_t bytes);

// What this process's lookups found, since it started.
struct QP_ShaderCacheCounts
{
    std::uint64_t hits = 0;
    std::uint64_t misses = 0;   // no entry, or one that was rejected
    std::uint64_t rejected = 0; // entries found but not whole or not of the key
    std::uint64_t stored = 0;
};
QP_ShaderCacheCounts QP_GetShaderCacheCounts();
