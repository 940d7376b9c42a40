#pragma once
// The transport's clock in the workbench: the sync and the music moved together. A seek sets the
// sync's beat and puts the music's play cursor at the sync's song time (whole milliseconds, 44.1
// sample frames each; at 120 BPM a bar of 4 beats is 2 s, 88200 sample frames); pausing holds
// both.
//
//   LM1_DevMusicClock clock(QD_GetSync(), QA_GetAudio());   // audio may be null
//   LM1_DevTransport transport(clock);

#include "LM1_DevTransport.h"

#include <cstdint>

class QD_Sync;
class QA_Audio;

class LM1_DevMusicClock final : public LM1_DevClock
{
public:
    LM1_DevMusicClock(QD_Sync* sync, QA_Audio* audio) : sync(sync), audio(audio) {}

    float GetBeat() const override;
    void SetBeat(float beat) override;
    bool IsPaused() const override;
    void SetPaused(bool paused) override;
    // Sync and music slowed together, the music's cursor put at the sync's time.
    int Slowdown() const override;
    void SetSlowdown(int divisor) override;

    // Puts the music's cursor at the sync's song time (after a seek, or when the music was
    // replaced).
    void AlignMusic();
    // The sample frame of the music at a beat of the sync's tempo (rounded to the nearest).
    std::uint32_t FrameAtBeat(float beat) const;

private:
    QD_Sync* sync;
    QA_Audio* audio;
};
