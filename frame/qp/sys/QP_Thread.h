#pragma once
// Native threads for the core library: starting, joining, naming, sleeping, the processor
// count and the cycle counter. QC_Thread is the only user above this layer.
// Tier 1 of frame/qp (see README.md): the core includes it, so it includes no frame/qc header.
// Nothing outside frame/qp includes a thread or pthread header for these; this file includes
// none either.

#include <cstddef>
#include <cstdint>

// A started thread that is still owned by its starter (to be joined or detached exactly once).
struct QP_Thread;

using QP_ThreadProcedure = void (*)(void* argument);

// Length of the buffer holding a thread's name, its NUL included.
constexpr std::size_t QP_THREAD_NAME_SIZE = 64;

// Starts a thread running procedure(argument) at once, with the default stack size. Returns
// null and sets errorCode (an errno value) when the system refuses to create it.
QP_Thread* QP_StartThread(QP_ThreadProcedure procedure, void* argument, int* errorCode);
// Lets the thread run on unowned; the handle is freed.
void QP_DetachThread(QP_Thread* thread);
// Waits until the thread has returned from its procedure, then frees the handle.
void QP_JoinThread(QP_Thread* thread);

// Names the calling thread: the system sees the first 15 bytes (ps, /proc/self/task/*/comm,
// debuggers); the thread-local copy keeps up to QP_THREAD_NAME_SIZE - 1 bytes.
void QP_SetCurrentThreadName(const char* name);
// Copies the calling thread's name (empty until named) into buffer, cut to size - 1 bytes.
void QP_GetCurrentThreadName(char* buffer, std::size_t size);

// Lets the calling thread give way to the process's other threads when the processors are
// busy: its scheduling priority drops by steps (a nice value; 19 at most). Best effort.
void QP_LowerCurrentThreadPriority(int steps);

// Number of processors online; at least 1.
std::uint32_t QP_GetProcessorCount();
// Sleeps for milliseconds; 0 gives the rest of the time slice to another ready thread.
void QP_Sleep(std::uint32_t milliseconds);
// The processor's cycle counter (time stamp counter), or nanoseconds where there is none.
std::uint64_t QP_ReadCycleCounter();
