#include "LM1_DevWaveformJob.h"

#include "QC_Tasks.h"
#include "QP_AudioDevice.h"

#include <chrono>

QC_Ptr<LM1_DevWaveformJob> LM1_DevWaveformJob::Start(const QC_Ptr<QA_SoundBuffer>& music)
{
    QC_Ptr<LM1_DevWaveformJob> job(new LM1_DevWaveformJob);
    job->buffer = music;
    // The pool holds the task, and the task the job, until it has run; the job does not hold
    // the task, so nothing keeps itself alive.
    QC_GetTasks()->Run(QC_Bind(&LM1_DevWaveformJob::Run, job));
    return job;
}

bool LM1_DevWaveformJob::Run(QC_Ptr<LM1_DevWaveformJob> job)
{
    const auto start = std::chrono::steady_clock::now();
    const std::uint32_t frames = job->buffer ? job->buffer->Filled() / QP_AudioDevice::BytesPerFrame : 0;
    job->waveform = LM1_DevWaveform::Build(job->buffer ? job->buffer->Pcm() : nullptr, frames);
    job->buildMilliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    job->done.store(true, std::memory_order_release);
    return true;
}
