// QP_Compile and its crash isolation. With isolation on, compiles run in a helper process: the
// program vc-shader-helper beside the executable or in the installed libexec/velvet-cascade (or
// the one VC_SHADER_HELPER names), started on
// the first compile and kept for the next ones; one that crashed or hung is ended and a new one
// is started at the next compile. The helper is spawned, not forked from this process: a fork
// of a process that holds a graphics driver makes every page it writes afterwards a copy, which
// costs more than the compile. Without the helper program a compile is forked after all (slow,
// but just as safe).
//
// Messages on the socket between the two: a request header (profile, entry point, source name
// and source lengths, whether includes are answered) and those bytes; then from the helper a
// kind word and either a response header (result, code size, error size), the code bytes and the
// error text bytes (with its NUL), or an include request (type, parent, name length) and the
// name. The caller's include handler stays in the caller: it answers each include request with
// a reply header (result, id, size) and the file's bytes, and the helper sends the next message.
// Anything short of a whole response is a crash of the chain.
//
// Sections: messages, includes across the socket, the helper's side, starting and ending
// helpers, the compile through a helper, the forked fallback, the public operations.

#include "QP_ShaderCompiler.h"

#include "QC_Log.h"
#include "QP_ExecutableFolder.h"
#include "QP_ShaderCache.h"

#include <memory>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
// --- messages ----------------------------------------------------------------------------------
constexpr std::uint32_t kRequestMagic = 0x43535651u; // "QVSC"
// Far above any shader the demo has; a longer text is refused before it is sent.
constexpr std::uint32_t kLargestSource = 64u << 20;
constexpr std::uint32_t kLargestName = 4096;
// A compile of the largest shader takes well under a second; a helper still busy after this is
// stuck in the chain and is ended like a crashed one.
constexpr int kHelperTimeLimitMs = 20000;
constexpr const char* kHelperName = "vc-shader-helper";
// Include requests one compile may make: the compiler asks for at most QP_MAX_INCLUDE_COUNT;
// this bounds a helper gone wrong.
constexpr std::uint32_t kLargestIncludeCount = QP_MAX_INCLUDE_COUNT;

struct RequestHeader
{
    std::uint32_t magic;
    std::uint32_t profileLength;
    std::uint32_t entryLength;
    std::uint32_t nameLength;
    std::uint32_t sourceLength;
    std::uint32_t includes; // 1 when the caller has an include handler
};

// What the helper sends next: the kind word, then the matching header.
constexpr std::uint32_t kResponseKind = 0x53455251u;       // "QRES"
constexpr std::uint32_t kIncludeRequestKind = 0x434E4951u; // "QINC"

struct ResponseHeader
{
    std::int32_t result;
    std::uint32_t codeSize;
    std::uint32_t errorSize;
};

struct IncludeRequest
{
    std::uint32_t type;
    std::uint32_t parentId; // id of the including file, 0 for the compiled text
    std::uint32_t nameLength;
};

struct IncludeReply
{
    std::int32_t result;
    std::uint32_t id; // names this file as a parent in later requests
    std::uint32_t size;
};

std::int64_t MonotonicMs()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Writes all bytes; MSG_NOSIGNAL on sockets so a dead peer is an error, never a SIGPIPE.
bool SendAll(int descriptor, const void* data, std::size_t size, bool socket)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = socket ? send(descriptor, bytes, size, MSG_NOSIGNAL) : write(descriptor, bytes, size);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// Reads exactly size bytes, waiting at most until deadline (no deadline when negative). False on
// end of stream, an error or the deadline.
bool ReceiveAll(int descriptor, void* data, std::size_t size, std::int64_t deadline)
{
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        if (deadline >= 0) {
            const std::int64_t left = deadline - MonotonicMs();
            if (left <= 0)
                return false;
            pollfd waiting{descriptor, POLLIN, 0};
            const int ready = poll(&waiting, 1, static_cast<int>(left));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return false;
        }
        const ssize_t count = read(descriptor, bytes, size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        bytes += count;
        size -= static_cast<std::size_t>(count);
    }
    return true;
}

QC_Ptr<QP_Blob> BlobOf(const std::uint8_t* bytes, std::size_t size)
{
    return QC_Ptr<QP_Blob>(new QP_Blob(std::vector<std::uint8_t>(bytes, bytes + size)));
}

QP_Result Refuse(const std::string& text, QC_Ptr<QP_Blob>* errors)
{
    if (errors) {
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        bytes.push_back('\0');
        *errors = QC_Ptr<QP_Blob>(new QP_Blob(std::move(bytes)));
    }
    return QP_E_FAIL;
}

// --- includes across the socket ----------------------------------------------------------------
// The helper's include handler: asks the caller for each file and keeps the bytes until the
// compiler closes it. A broken channel reads as a file that cannot be opened; the compile then
// fails and its response cannot be sent either, which ends the helper.
class RemoteInclude : public QP_Include
{
public:
    RemoteInclude(int input, int output, bool socket) : input(input), output(output), socket(socket) {}

    QP_Result Open(QP_IncludeType type, const char* fileName, const void* parentData, const void** data,
                   std::uint32_t* bytes) override
    {
        IncludeRequest request{static_cast<std::uint32_t>(type), 0u,
                               static_cast<std::uint32_t>(std::strlen(fileName))};
        for (const std::unique_ptr<File>& file : files) {
            if (file->bytes.data() == parentData)
                request.parentId = file->id;
        }
        IncludeReply reply{};
        if (request.nameLength > kLargestName || !SendAll(output, &kIncludeRequestKind, sizeof(kIncludeRequestKind), socket) ||
            !SendAll(output, &request, sizeof(request), socket) || !SendAll(output, fileName, request.nameLength, socket) ||
            !ReceiveAll(input, &reply, sizeof(reply), -1) || reply.size > kLargestSource)
            return QP_E_FAIL;
        std::unique_ptr<File> file(new File{reply.id, std::vector<char>(std::size_t(reply.size) + 1, '\0')});
        if (!ReceiveAll(input, file->bytes.data(), reply.size, -1) || reply.result != QP_OK)
            return QP_E_FAIL;
        *data = file->bytes.data();
        *bytes = reply.size;
        files.push_back(std::move(file));
        return QP_OK;
    }

    void Close(const void* data) override
    {
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (files[i]->bytes.data() == data) {
                files.erase(files.begin() + static_cast<std::ptrdiff_t>(i));
                return;
            }
        }
    }

private:
    struct File
    {
        std::uint32_t id;
        std::vector<char> bytes;
    };

    int input;
    int output;
    bool socket;
    std::vector<std::unique_ptr<File>> files;
};

// The caller's side: answers one include request (its header already read) with the caller's
// handler. Every file opened is kept in opened (id = index + 1) and closed after the compile, so
// a handler that resolves by the parent's data always finds it. False when the channel broke.
bool AnswerInclude(int channel, std::int64_t deadline, QP_Include* include, std::vector<const void*>& opened)
{
    IncludeRequest request{};
    if (!ReceiveAll(channel, &request, sizeof(request), deadline) || request.nameLength > kLargestName)
        return false;
    std::string name(request.nameLength, '\0');
    if (!ReceiveAll(channel, &name[0], request.nameLength, deadline))
        return false;
    const void* parentData = request.parentId > 0 && request.parentId <= opened.size() ? opened[request.parentId - 1]
                                                                                       : nullptr;
    const void* data = nullptr;
    std::uint32_t size = 0;
    IncludeReply reply{static_cast<std::int32_t>(QP_E_FAIL), 0u, 0u};
    const bool knownType = request.type == QP_INCLUDE_LOCAL || request.type == QP_INCLUDE_SYSTEM;
    if (include && knownType && opened.size() < kLargestIncludeCount && name.find('\0') == std::string::npos &&
        include->Open(static_cast<QP_IncludeType>(request.type), name.c_str(), parentData, &data, &size) == QP_OK) {
        opened.push_back(data);
        if ((data || size == 0) && size <= kLargestSource)
            reply = IncludeReply{static_cast<std::int32_t>(QP_OK), static_cast<std::uint32_t>(opened.size()), size};
    }
    return SendAll(channel, &reply, sizeof(reply), true) &&
           (reply.result != QP_OK || SendAll(channel, data, reply.size, true));
}

void CloseIncludes(QP_Include* include, std::vector<const void*>& opened)
{
    for (const void* data : opened)
        include->Close(data);
    opened.clear();
}

// --- the helper's side -------------------------------------------------------------------------
// Compiles and writes the response; false when it cannot be written. Include requests go out on
// output and their replies come in on input.
bool CompileAndRespond(int input, int output, bool socket, const char* source, std::size_t sourceLength,
                       const char* sourceName, const char* entryPoint, const char* profile, bool includes)
{
    QC_Ptr<QP_Blob> code, errors;
    RemoteInclude include(input, output, socket);
    const QP_Result result = QP_CompileHere(source, sourceLength, sourceName, includes ? &include : nullptr, entryPoint,
                                            profile, &code, &errors);
    ResponseHeader header{static_cast<std::int32_t>(result),
                          code ? static_cast<std::uint32_t>(code->GetBufferSize()) : 0u,
                          errors ? static_cast<std::uint32_t>(errors->GetBufferSize()) : 0u};
    return SendAll(output, &kResponseKind, sizeof(kResponseKind), socket) &&
           SendAll(output, &header, sizeof(header), socket) &&
           (!code || SendAll(output, code->GetBufferPointer(), code->GetBufferSize(), socket)) &&
           (!errors || SendAll(output, errors->GetBufferPointer(), errors->GetBufferSize(), socket));
}

// Reads one response, answering the include requests before it; false when the helper ended or
// broke off before a whole one.
bool ReadResponse(int input, std::int64_t deadline, QP_Include* include, QP_Result* result, QC_Ptr<QP_Blob>* code,
                  QC_Ptr<QP_Blob>* errors)
{
    std::vector<const void*> opened;
    std::uint32_t kind = 0;
    bool answering = true;
    while (answering && ReceiveAll(input, &kind, sizeof(kind), deadline) && kind == kIncludeRequestKind)
        answering = AnswerInclude(input, deadline, include, opened);
    if (include)
        CloseIncludes(include, opened);
    ResponseHeader header{};
    if (!answering || kind != kResponseKind || !ReceiveAll(input, &header, sizeof(header), deadline))
        return false;
    if (header.codeSize > kLargestSource * 4u || header.errorSize > kLargestSource * 4u)
        return false;
    std::vector<std::uint8_t> bytes(std::size_t(header.codeSize) + header.errorSize);
    if (!bytes.empty() && !ReceiveAll(input, bytes.data(), bytes.size(), deadline))
        return false;
    if (code && header.codeSize)
        *code = BlobOf(bytes.data(), header.codeSize);
    if (errors && header.errorSize)
        *errors = BlobOf(bytes.data() + header.codeSize, header.errorSize);
    *result = static_cast<QP_Result>(header.result);
    return true;
}

std::string CrashText(int status)
{
    if (WIFSIGNALED(status))
        return "The shader compiler crashed (signal " + std::to_string(WTERMSIG(status)) + "); nothing was compiled.\n";
    return "The shader compiler crashed (exit status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
           "); nothing was compiled.\n";
}

// --- starting and ending helpers ---------------------------------------------------------------
std::atomic<bool> g_isolated{false};
std::mutex g_helperLock; // one request at a time; guards the helper below
pid_t g_helperId = -1;
int g_helperSocket = -1;
bool g_helperMissingNoted = false;

// The helper program: the one VC_SHADER_HELPER names, else beside the executable or in the
// installed tree's libexec/velvet-cascade. Empty when none of them is an executable file.
std::string HelperPath()
{
    return QP_FindCompanionFile("VC_SHADER_HELPER", kHelperName, X_OK);
}

// Ends the helper (if any) and returns how it ended.
int EndHelper(bool kill)
{
    int status = 0;
    if (g_helperSocket >= 0)
        close(g_helperSocket);
    g_helperSocket = -1;
    if (g_helperId > 0) {
        if (kill)
            ::kill(g_helperId, SIGKILL);
        while (waitpid(g_helperId, &status, 0) < 0 && errno == EINTR) {
        }
    }
    g_helperId = -1;
    return status;
}

bool StartHelper()
{
    const std::string path = HelperPath();
    if (path.empty() || access(path.c_str(), X_OK) != 0)
        return false;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The helper reads requests on its standard input and answers on its standard output.
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    char* const arguments[] = {const_cast<char*>(path.c_str()), nullptr};
    pid_t id = -1;
    const int error = posix_spawn(&id, path.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (error != 0) {
        close(ends[0]);
        return false;
    }
    g_helperId = id;
    g_helperSocket = ends[0];
    return true;
}

// --- the compile through a helper --------------------------------------------------------------
// The helper's answer, or false when there is no helper program (the caller forks instead).
bool CompileInHelper(const char* source, std::size_t sourceLength, const char* sourceName, QP_Include* include,
                     const char* entryPoint, const char* profile, QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors,
                     QP_Result* result)
{
    std::lock_guard<std::mutex> lock(g_helperLock);
    if (g_helperId < 0 && !StartHelper()) {
        if (!g_helperMissingNoted) {
            const std::string path = HelperPath();
            QC_INFO("No shader compiler helper %s: each isolated compile runs in a fork instead.",
                    path.empty() ? "beside the executable or in ../libexec/velvet-cascade" : ("at " + path).c_str());
        }
        g_helperMissingNoted = true;
        return false;
    }
    const std::string name = sourceName ? sourceName : "";
    const RequestHeader header{kRequestMagic, static_cast<std::uint32_t>(std::strlen(profile)),
                               static_cast<std::uint32_t>(std::strlen(entryPoint)),
                               static_cast<std::uint32_t>(name.size()), static_cast<std::uint32_t>(sourceLength),
                               include ? 1u : 0u};
    const bool sent = SendAll(g_helperSocket, &header, sizeof(header), true) &&
                      SendAll(g_helperSocket, profile, header.profileLength, true) &&
                      SendAll(g_helperSocket, entryPoint, header.entryLength, true) &&
                      SendAll(g_helperSocket, name.data(), name.size(), true) &&
                      SendAll(g_helperSocket, source, sourceLength, true);
    if (sent && ReadResponse(g_helperSocket, MonotonicMs() + kHelperTimeLimitMs, include, result, code, errors))
        return true;
    // It died (or hangs) on this text: end it, report, and start another one next time.
    pollfd waiting{g_helperSocket, POLLIN, 0};
    const bool ended = poll(&waiting, 1, 0) > 0 || !sent;
    const int status = EndHelper(!ended);
    if (code)
        code->Reset();
    *result = Refuse(ended ? CrashText(status) : "The shader compiler ran past its time limit; nothing was compiled.\n",
                     errors);
    return true;
}

// --- the forked fallback -----------------------------------------------------------------------
// The child asks for included files over the socket like a helper: the handler's records (the
// files it opened) must end up in this process.
QP_Result CompileInFork(const char* source, std::size_t sourceLength, const char* sourceName, QP_Include* include,
                        const char* entryPoint, const char* profile, QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors)
{
    int channel[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel) != 0)
        return Refuse("The shader compiler could not be isolated (socket, error " + std::to_string(errno) + ").\n",
                      errors);
    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        close(channel[0]);
        close(channel[1]);
        return Refuse("The shader compiler could not be isolated (fork, error " + std::to_string(error) + ").\n", errors);
    }
    if (child == 0) {
        close(channel[0]);
        const bool sent = CompileAndRespond(channel[1], channel[1], true, source, sourceLength, sourceName, entryPoint,
                                            profile, include != nullptr);
        // No exit handlers: they belong to the parent (its log, its sanitiser's leak check).
        _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    QP_Result result = QP_E_FAIL;
    const bool answered = ReadResponse(channel[0], MonotonicMs() + kHelperTimeLimitMs, include, &result, code, errors);
    close(channel[0]);
    if (!answered)
        kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (answered)
        return result;
    if (code)
        code->Reset();
    return Refuse(WIFSIGNALED(status) || WIFEXITED(status) ? CrashText(status)
                                                           : "The shader compiler ran past its time limit.\n",
                  errors);
}
} // namespace

// --- the public operations ---------------------------------------------------------------------
void QP_SetShaderCompilerIsolation(bool isolated)
{
    g_isolated.store(isolated, std::memory_order_release);
}

bool QP_IsShaderCompilerIsolated()
{
    return g_isolated.load(std::memory_order_acquire);
}

int QP_RunShaderCompilerHelper()
{
    const int input = STDIN_FILENO;
    const int output = STDOUT_FILENO;
    // A dead parent must end the helper quietly, not with a signal.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<char> profile, entry, name, source;
    for (;;) {
        RequestHeader header{};
        if (!ReceiveAll(input, &header, sizeof(header), -1))
            return 0; // the parent closed its end: done
        if (header.magic != kRequestMagic || header.profileLength > kLargestName ||
            header.entryLength > kLargestName || header.nameLength > kLargestName ||
            header.sourceLength > kLargestSource)
            return 2;
        profile.assign(header.profileLength + 1, '\0');
        entry.assign(header.entryLength + 1, '\0');
        name.assign(header.nameLength + 1, '\0');
        source.assign(header.sourceLength + 1, '\0');
        if (!ReceiveAll(input, profile.data(), header.profileLength, -1) ||
            !ReceiveAll(input, entry.data(), header.entryLength, -1) ||
            !ReceiveAll(input, name.data(), header.nameLength, -1) ||
            !ReceiveAll(input, source.data(), header.sourceLength, -1))
            return 2;
        struct stat info;
        const bool socket = fstat(output, &info) == 0 && S_ISSOCK(info.st_mode);
        if (!CompileAndRespond(input, output, socket, source.data(), header.sourceLength,
                               header.nameLength ? name.data() : nullptr, entry.data(), profile.data(),
                               header.includes != 0))
            return 1;
    }
}

QP_Result QP_Compile(const char* source, std::size_t sourceLength, const char* sourceName, const char* entryPoint,
                     const char* profile, QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors, QP_CompileTimings* timings)
{
    return QP_Compile(source, sourceLength, sourceName, nullptr, entryPoint, profile, code, errors, timings);
}

QP_Result QP_Compile(const char* source, std::size_t sourceLength, const char* sourceName, QP_Include* include,
                     const char* entryPoint, const char* profile, QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors,
                     QP_CompileTimings* timings)
{
    if (!QP_IsShaderCompilerIsolated())
        return QP_CompileHereCached(source, sourceLength, sourceName, include, entryPoint, profile, code, errors,
                                    timings);
    if (code)
        code->Reset();
    if (errors)
        errors->Reset();
    // Timings are the helper's CPU time, which stays there; the caller sees zeros.
    if (timings)
        *timings = QP_CompileTimings{};
    // What the chain refuses before it starts needs no helper (and keeps the messages the same).
    if (!source || !entryPoint || !profile || sourceLength > kLargestSource ||
        std::strlen(profile) > kLargestName || std::strlen(entryPoint) > kLargestName ||
        (sourceName && std::strlen(sourceName) > kLargestName))
        return QP_CompileHere(source, sourceLength > kLargestSource ? 0x80000000u : sourceLength, sourceName,
                              include, entryPoint, profile, code, errors, timings);
    // Looked up here, so a hit starts no helper. The preprocessor that makes the key runs in
    // this process; the front end, where the crashes are, runs only on a miss, in the helper.
    const std::string cacheFolder = QP_ShaderCacheFolder();
    std::string key;
    if (!cacheFolder.empty() &&
        QP_ShaderCacheKeyOf(source, sourceLength, sourceName, include, entryPoint, profile, key) &&
        QP_FindCachedShader(cacheFolder, key, code, errors))
        return QP_OK;
    QC_Ptr<QP_Blob> translated, messages;
    QP_Result result = QP_E_FAIL;
    if (!CompileInHelper(source, sourceLength, sourceName, include, entryPoint, profile, &translated, &messages,
                         &result))
        result = CompileInFork(source, sourceLength, sourceName, include, entryPoint, profile, &translated, &messages);
    // The helper read the included files again: what it gave is kept only when they still make
    // the text the key was made of (a file saved in between would otherwise be cached wrongly).
    std::string keyAfter;
    if (result == QP_OK && !key.empty() &&
        QP_ShaderCacheKeyOf(source, sourceLength, sourceName, include, entryPoint, profile, keyAfter) &&
        keyAfter == key)
        QP_StoreCachedShader(cacheFolder, key, translated.Get(), messages.Get());
    if (code)
        *code = translated;
    if (errors)
        *errors = messages;
    return result;
}
