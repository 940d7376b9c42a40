#include "LM1_DevMusicClock.h"

#include "QA_Audio.h"
#include "QD_Sync.h"
#include "QP_AudioDevice.h"

#include <cmath>

float LM1_DevMusicClock::GetBeat() const
{
    return sync->GetBeat();
}

std::uint32_t LM1_DevMusicClock::FrameAtBeat(float beat) const
{
    if (!(beat > 0.0f) || sync->Bpm() <= 0)
        return 0;
    const double seconds = static_cast<double>(beat) * 60.0 / static_cast<double>(sync->Bpm());
    const double frame = std::round(seconds * QP_AudioDevice::SampleRate);
    return frame >= 4294967295.0 ? 4294967295u : static_cast<std::uint32_t>(frame);
}

void LM1_DevMusicClock::SetBeat(float beat)
{
    sync->SetBeat(beat);
    AlignMusic();
}

bool LM1_DevMusicClock::IsPaused() const
{
    return sync->IsPaused();
}

void LM1_DevMusicClock::SetPaused(bool paused)
{
    sync->SetPaused(paused);
    if (audio)
        audio->SetPaused(paused);
}

int LM1_DevMusicClock::Slowdown() const
{
    return sync->Slowdown();
}

void LM1_DevMusicClock::SetSlowdown(int divisor)
{
    sync->SetSlowdown(divisor);
    if (audio)
        audio->SetSlowdown(static_cast<std::uint32_t>(sync->Slowdown()));
    AlignMusic();
}

void LM1_DevMusicClock::AlignMusic()
{
    // From the song's whole milliseconds, exactly: 44.1 sample frames to the millisecond.
    if (!audio)
        return;
    const std::int64_t frame = sync->GetSongMilliseconds() * QP_AudioDevice::SampleRate / 1000;
    audio->SetPlayPosition(frame > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<std::uint32_t>(frame));
}
