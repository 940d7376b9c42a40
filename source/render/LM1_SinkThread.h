#pragma once
// A frame sink's work on a thread of its own ("Encoder"), so that colour conversion, encoding
// and writing overlap the rendering of the next frames. The pictures travel in a bounded ring:
//
//   LM1_SinkThread writer(sink, width, height, 3);  // sink is Open; the thread starts here
//   QC_Image* picture = writer.Acquire();           // waits while every picture is queued
//   ... read the frame into *picture ...;  writer.Submit(frame);
//   bool written = writer.Finish();                 // every queued frame, then sink.Finish()
//
// Frames reach the sink in the order submitted, each once, on the worker; the sink is not used
// by the caller's thread while the worker lives. A WriteFrame that fails ends the worker: the
// frames queued behind it are dropped, Acquire returns null from then on instead of waiting
// (the sink has said why in the log), and Finish returns false without the sink's Finish, so
// the output is left incomplete as after any failure. Destroying the writer without Finish
// stops the worker after the frame it is writing and leaves the rest unwritten.

#include "LM1_FrameSink.h"
#include "QC_Image.h"
#include "QC_Ptr.h"
#include "QC_Thread.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

class LM1_SinkThread
{
public:
    // depth: the pictures in the ring (at least 1), so at most depth - 1 frames wait for the
    // worker besides the one it writes, while the caller fills the next.
    LM1_SinkThread(LM1_FrameSink& sink, std::uint32_t width, std::uint32_t height, std::size_t depth);
    ~LM1_SinkThread();
    LM1_SinkThread(const LM1_SinkThread&) = delete;
    LM1_SinkThread& operator=(const LM1_SinkThread&) = delete;

    // A picture to fill, the caller's until Submit. Null once the sink has failed, or when a
    // picture acquired before is still not submitted (a programming error, reported).
    QC_Image* Acquire();
    // Queues the acquired picture as frame; the worker writes it after those queued before.
    void Submit(std::int64_t frame);
    // Waits until the queued frames are written and the worker has ended; true when every
    // frame and the sink's Finish succeeded. Once only.
    bool Finish();
    // True once a WriteFrame has failed.
    bool Failed() const;

private:
    struct QueuedFrame
    {
        std::size_t picture = 0;
        std::int64_t frame = 0;
    };

    void WorkerLoop();
    // Ends the worker and waits for it; abandon drops the frames still queued.
    void Stop(bool abandon);

    LM1_FrameSink& sink;
    std::vector<QC_Ptr<QC_Image>> pictures;
    mutable std::mutex mutex;
    std::condition_variable changed;
    // Guarded by mutex: the pictures free to fill, those queued for the worker in order, and
    // the one the caller holds (pictures.size() when none).
    std::vector<std::size_t> freePictures;
    std::deque<QueuedFrame> queued;
    std::size_t inHand;
    bool stopping = false;
    bool abandoned = false;
    bool failed = false;
    QC_ThreadHandle* worker = nullptr;
};
