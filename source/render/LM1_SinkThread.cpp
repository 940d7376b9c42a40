#include "LM1_SinkThread.h"

#include "QC_Callback.h"
#include "QC_Log.h"

#include <algorithm>

LM1_SinkThread::LM1_SinkThread(LM1_FrameSink& frameSink, std::uint32_t width, std::uint32_t height, std::size_t depth)
    : sink(frameSink)
{
    const std::size_t count = std::max<std::size_t>(depth, 1);
    for (std::size_t i = 0; i < count; ++i) {
        pictures.push_back(QC_Ptr<QC_Image>(new QC_Image(width, height)));
        freePictures.push_back(count - 1 - i); // taken from the back: picture 0 first
    }
    inHand = pictures.size();
    worker = QC_StartJoinableThread("Encoder", QC_Bind(&LM1_SinkThread::WorkerLoop, this));
}

LM1_SinkThread::~LM1_SinkThread()
{
    Stop(true);
}

QC_Image* LM1_SinkThread::Acquire()
{
    std::unique_lock<std::mutex> lock(mutex);
    if (inHand != pictures.size()) {
        QC_ERROR("LM1_SinkThread: a picture was acquired twice without Submit.");
        return nullptr;
    }
    // Back-pressure: the caller waits here while the worker is behind by the whole ring.
    changed.wait(lock, [this] { return failed || stopping || !freePictures.empty(); });
    if (failed || stopping)
        return nullptr;
    inHand = freePictures.back();
    freePictures.pop_back();
    return pictures[inHand].Get();
}

void LM1_SinkThread::Submit(std::int64_t frame)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (inHand == pictures.size()) {
            QC_ERROR("LM1_SinkThread: frame %lld was submitted without a picture.", static_cast<long long>(frame));
            return;
        }
        queued.push_back(QueuedFrame{inHand, frame});
        inHand = pictures.size();
    }
    changed.notify_all();
}

bool LM1_SinkThread::Finish()
{
    Stop(false);
    if (Failed())
        return false;
    // The worker has ended: the sink is this thread's again.
    return sink.Finish();
}

bool LM1_SinkThread::Failed() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return failed;
}

void LM1_SinkThread::Stop(bool abandon)
{
    if (!worker)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        abandoned = abandon;
    }
    changed.notify_all();
    QC_JoinThread(worker);
    worker = nullptr;
}

void LM1_SinkThread::WorkerLoop()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopping || !queued.empty(); });
        if (queued.empty() || abandoned)
            return;
        const QueuedFrame next = queued.front();
        queued.pop_front();
        lock.unlock();
        const bool written = sink.WriteFrame(next.frame, *pictures[next.picture]);
        lock.lock();
        freePictures.push_back(next.picture);
        if (!written) {
            failed = true;
            for (const QueuedFrame& dropped : queued)
                freePictures.push_back(dropped.picture);
            queued.clear();
        }
        lock.unlock();
        changed.notify_all();
        lock.lock();
        if (failed)
            return;
    }
}
