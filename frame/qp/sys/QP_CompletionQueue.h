#pragma once
// The worker queue of the task pool: a FIFO of (key, pointer) packets that any number of
// threads post to and wait on. Packets come out in posting order, each to exactly one waiter;
// waiters block without polling. It plays the part of an I/O completion port: the pool posts
// tasks with key 1 and one stop packet with key 0 per worker.
// Tier 1 of frame/qp (see README.md): the core includes it, so it includes no frame/qc header.

#include <cstdint>

struct QP_CompletionQueue;

// Returns null and sets errorCode (an errno value) when the queue cannot be created.
QP_CompletionQueue* QP_CreateCompletionQueue(int* errorCode);
// Frees the queue. No thread may still wait on it; packets still queued are dropped (take them
// out first with QP_TryGetQueuedCompletion when they hold references).
void QP_DestroyCompletionQueue(QP_CompletionQueue* queue);

// Appends a packet and wakes one waiter. False (errorCode set) when memory runs out.
bool QP_PostQueuedCompletion(QP_CompletionQueue* queue, std::uintptr_t key, void* pointer, int* errorCode);
// Waits without a time-out for the oldest packet and takes it.
void QP_GetQueuedCompletion(QP_CompletionQueue* queue, std::uintptr_t* key, void** pointer);
// Takes the oldest packet when there is one; false at once when the queue is empty.
bool QP_TryGetQueuedCompletion(QP_CompletionQueue* queue, std::uintptr_t* key, void** pointer);
