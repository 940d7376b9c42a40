#pragma once
// Threads of the system: starting them, naming them, and the thread registry.
//
//   QC_SetThreadName("Main");                         // first thing at start-up
//   QC_StartThreads();                                // registers the main thread
//   QC_StartThread("Loader", QC_Bind(&Load, files));  // runs at once, never joined
//
// A thread's name is visible to the system (first 15 bytes, in ps and /proc/self/task/*/comm)
// and to the thread itself through QC_GetThreadName (up to 63 bytes). Names of 64 bytes or more
// are fatal ("Buffer overflow."); a thread started with an empty name is left unnamed.

#include "QC_Callback.h"
#include "QC_String.h"

#include <cstdint>

constexpr std::uint32_t QC_THREAD_NAME_CAPACITY = 64;
using QC_ThreadName = QC_StaticString<QC_THREAD_NAME_CAPACITY>;

// A thread whose starter owns it and must join it exactly once (QC_JoinThread).
struct QP_Thread;
using QC_ThreadHandle = QP_Thread;

// Starts a thread running body at once; the thread is never joined. A platform refusal is
// fatal: "Failed to start thread. Last error is %d.".
void QC_StartThread(const char* name, const QC_Callback<void()>& body);
// As QC_StartThread, but the caller keeps the thread and waits for it with QC_JoinThread.
QC_ThreadHandle* QC_StartJoinableThread(const char* name, const QC_Callback<void()>& body);
// Waits until the thread's body has returned; the handle is gone afterwards.
void QC_JoinThread(QC_ThreadHandle* thread);

// Makes the calling thread background work: on busy processors it gives way to the others
// (a decode that only has to keep ahead of the music, say), and still runs when they idle.
void QC_SetThreadBackground();

// Names the calling thread for the system, debuggers and QC_GetThreadName.
void QC_SetThreadName(const char* name);
// The calling thread's name; empty until it is named.
QC_ThreadName QC_GetThreadName();

// One entry of the thread registry: who registered, and when in processor cycles.
struct QC_ThreadRecord
{
    QC_ThreadName name;
    std::uint32_t id = 0;
    std::uint64_t registeredCycles = 0;
};

// Starts the thread subsystem: remembers the cycle counter at the first call and registers the
// calling thread (the main thread, once named) in the process-wide registry. A thread that is
// already registered is not registered again.
void QC_StartThreads();
// The calling thread's registry entry; null when it never registered.
const QC_ThreadRecord* QC_GetThreadRecord();
// The cycle counter at the first QC_StartThreads; 0 before.
std::uint64_t QC_GetStartCycles();
// Number of registered threads.
std::uint32_t QC_GetRegisteredThreadCount();

// Number of processors online (at least 1): the pool's worker count at start-up.
std::uint32_t QC_GetProcessorCount();
// Sleeps; 0 only yields the rest of the time slice.
void QC_Sleep(std::uint32_t milliseconds);
