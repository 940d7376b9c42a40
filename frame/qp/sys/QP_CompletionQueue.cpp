#include "QP_CompletionQueue.h"

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>

struct QP_CompletionQueue
{
    struct Packet
    {
        std::uintptr_t key;
        void* pointer;
    };

    std::mutex mutex;
    std::condition_variable posted;
    std::deque<Packet> packets;
};

QP_CompletionQueue* QP_CreateCompletionQueue(int* errorCode)
{
    QP_CompletionQueue* queue = new (std::nothrow) QP_CompletionQueue;
    *errorCode = queue ? 0 : ENOMEM;
    return queue;
}

void QP_DestroyCompletionQueue(QP_CompletionQueue* queue)
{
    delete queue;
}

bool QP_PostQueuedCompletion(QP_CompletionQueue* queue, std::uintptr_t key, void* pointer, int* errorCode)
{
    {
        std::lock_guard<std::mutex> lock(queue->mutex);
        try {
            queue->packets.push_back({key, pointer});
        }
        catch (const std::bad_alloc&) {
            *errorCode = ENOMEM;
            return false;
        }
    }
    *errorCode = 0;
    queue->posted.notify_one();
    return true;
}

void QP_GetQueuedCompletion(QP_CompletionQueue* queue, std::uintptr_t* key, void** pointer)
{
    std::unique_lock<std::mutex> lock(queue->mutex);
    queue->posted.wait(lock, [queue] { return !queue->packets.empty(); });
    *key = queue->packets.front().key;
    *pointer = queue->packets.front().pointer;
    queue->packets.pop_front();
}

bool QP_TryGetQueuedCompletion(QP_CompletionQueue* queue, std::uintptr_t* key, void** pointer)
{
    std::lock_guard<std::mutex> lock(queue->mutex);
    if (queue->packets.empty())
        return false;
    *key = queue->packets.front().key;
    *pointer = queue->packets.front().pointer;
    queue->packets.pop_front();
    return true;
}
