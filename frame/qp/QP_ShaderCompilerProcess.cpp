// QP_Compile and its crash isolation: with isolation on, the compile chain runs in a forked
// helper process that hands the result back through a pipe. The helper is made afresh for every
// compile, so a crashed one needs no restart and leaves nothing behind.
//
// Pipe message: a header (result, code size, error size), then the code bytes, then the error
// text bytes (with its NUL). Anything short of a whole message, a non-zero exit or a signal is
// a crash of the chain.

#include "qp/QP_ShaderCompiler.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
std::atomic<bool> g_isolated{false};

// A compile of the largest shader takes well under a second; a helper still running after this
// is stuck in the chain and is ended like a crashed one.
constexpr int kHelperTimeLimitMs = 20000;

struct MessageHeader
{
    std::int32_t result;
    std::uint32_t codeSize;
    std::uint32_t errorSize;
};

bool WriteAll(int descriptor, const void* data, std::size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

[[noreturn]] void RunHelper(int output, const char* source, std::size_t sourceLength, const char* sourceName,
                            const char* entryPoint, const char* profile)
{
    // A crash here must look like one to the parent, not end in a handler of the parent's.
    std::signal(SIGPIPE, SIG_IGN);
    QC_Ptr<QP_Blob> code, errors;
    const QP_Result result = QP_CompileHere(source, sourceLength, sourceName, entryPoint, profile, &code, &errors);
    MessageHeader header{static_cast<std::int32_t>(result), code ? static_cast<std::uint32_t>(code->GetBufferSize()) : 0u,
                         errors ? static_cast<std::uint32_t>(errors->GetBufferSize()) : 0u};
    const bool sent = WriteAll(output, &header, sizeof(header)) &&
                      (!code || WriteAll(output, code->GetBufferPointer(), code->GetBufferSize())) &&
                      (!errors || WriteAll(output, errors->GetBufferPointer(), errors->GetBufferSize()));
    // No exit handlers: they belong to the parent (its log, its sanitiser's leak check).
    _exit(sent ? 0 : 1);
}

std::int64_t MonotonicMs()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Reads everything the helper writes until it closes the pipe; false after the time limit.
bool ReadUntilClosed(int input, std::vector<std::uint8_t>& bytes)
{
    const std::int64_t deadline = MonotonicMs() + kHelperTimeLimitMs;
    std::uint8_t chunk[16384];
    for (;;) {
        const std::int64_t left = deadline - MonotonicMs();
        if (left <= 0)
            return false;
        pollfd waiting{input, POLLIN, 0};
        const int ready = poll(&waiting, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t count = read(input, chunk, sizeof(chunk));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return true;
        bytes.insert(bytes.end(), chunk, chunk + count);
    }
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

QP_Result CompileInHelper(const char* source, std::size_t sourceLength, const char* sourceName,
                          const char* entryPoint, const char* profile, QC_Ptr<QP_Blob>* code,
                          QC_Ptr<QP_Blob>* errors)
{
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0)
        return Refuse("The shader compiler's helper could not be started (pipe, error " + std::to_string(errno) + ").\n",
                      errors);
    const pid_t helper = fork();
    if (helper < 0) {
        const int error = errno;
        close(channel[0]);
        close(channel[1]);
        return Refuse("The shader compiler's helper could not be started (fork, error " + std::to_string(error) + ").\n",
                      errors);
    }
    if (helper == 0) {
        close(channel[0]);
        RunHelper(channel[1], source, sourceLength, sourceName, entryPoint, profile);
    }
    close(channel[1]);
    std::vector<std::uint8_t> bytes;
    const bool finished = ReadUntilClosed(channel[0], bytes);
    close(channel[0]);
    if (!finished)
        kill(helper, SIGKILL);
    int status = 0;
    while (waitpid(helper, &status, 0) < 0 && errno == EINTR) {
    }

    if (!finished)
        return Refuse("The shader compiler ran past its time limit; nothing was compiled.\n", errors);
    if (WIFSIGNALED(status))
        return Refuse("The shader compiler crashed (signal " + std::to_string(WTERMSIG(status)) +
                          "); nothing was compiled.\n",
                      errors);
    MessageHeader header{};
    const bool whole = WIFEXITED(status) && WEXITSTATUS(status) == 0 && bytes.size() >= sizeof(header);
    if (whole)
        std::memcpy(&header, bytes.data(), sizeof(header));
    if (!whole || bytes.size() != sizeof(header) + std::size_t(header.codeSize) + header.errorSize)
        return Refuse("The shader compiler crashed (exit status " +
                          std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "); nothing was compiled.\n",
                      errors);
    const std::uint8_t* codeBytes = bytes.data() + sizeof(header);
    if (code && header.codeSize)
        *code = BlobOf(codeBytes, header.codeSize);
    if (errors && header.errorSize)
        *errors = BlobOf(codeBytes + header.codeSize, header.errorSize);
    return static_cast<QP_Result>(header.result);
}
} // namespace

void QP_SetShaderCompilerIsolation(bool isolated)
{
    g_isolated.store(isolated, std::memory_order_release);
}

bool QP_IsShaderCompilerIsolated()
{
    return g_isolated.load(std::memory_order_acquire);
}

QP_Result QP_Compile(const char* source, std::size_t sourceLength, const char* sourceName, const char* entryPoint,
                     const char* profile, QC_Ptr<QP_Blob>* code, QC_Ptr<QP_Blob>* errors, QP_CompileTimings* timings)
{
    if (!QP_IsShaderCompilerIsolated())
        return QP_CompileHere(source, sourceLength, sourceName, entryPoint, profile, code, errors, timings);
    if (code)
        code->Reset();
    if (errors)
        errors->Reset();
    // Timings are the helper's CPU time, which stays there; the caller sees zeros.
    if (timings)
        *timings = QP_CompileTimings{};
    return CompileInHelper(source, sourceLength, sourceName, entryPoint, profile, code, errors);
}
