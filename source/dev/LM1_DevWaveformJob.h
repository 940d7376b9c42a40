#pragma once
// Builds the waveform of a music buffer on a worker, whenever the music loads or reloads; the
// panel polls it each frame and takes the result once done.
//
//   QC_Ptr<LM1_DevWaveformJob> job = LM1_DevWaveformJob::Start(buffer);
//   if (job->IsDone()) waveform = job->Result();

#include "LM1_DevWaveform.h"
#include "QA_SoundBuffer.h"

#include <atomic>

class LM1_DevWaveformJob final : public QC_RefCounted
{
public:
    // Queues the build on the task pool; the job holds the buffer until it is done.
    static QC_Ptr<LM1_DevWaveformJob> Start(const QC_Ptr<QA_SoundBuffer>& buffer);

    bool IsDone() const { return done.load(std::memory_order_acquire); }
    // The waveform once done (null before); the buffer it was made from.
    QC_Ptr<LM1_DevWaveform> Result() const { return IsDone() ? waveform : QC_Ptr<LM1_DevWaveform>(); }
    const QC_Ptr<QA_SoundBuffer>& Buffer() const { return buffer; }
    // Milliseconds the worker spent building it.
    double BuildMilliseconds() const { return buildMilliseconds; }

private:
    static bool Run(QC_Ptr<LM1_DevWaveformJob> job);

    QC_Ptr<QA_SoundBuffer> buffer;
    QC_Ptr<LM1_DevWaveform> waveform;
    // Set by the worker once waveform is written (release: IsDone sees it whole).
    std::atomic<bool> done{false};
    double buildMilliseconds = 0.0;
};
