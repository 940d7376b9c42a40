#pragma once
// The transport's clock in the workbench: the sync and the music moved together. A seek sets the
// sync's beat and the music's play cursor to the same song time, to the sample (at 120 BPM a
// bar of 4 beats is 2 s, 88200 sample frames); pausing holds both.
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

    // Puts the music's cursor at the sync's song time (after the music was started or replaced).
    void AlignMusic();
    // The sample frame of the music at a beat of the sync's tempo.
    std::uint32_t FrameAtBeat(float beat) const;

private:
    QD_Sync* sync;
    QA_Audio* audio;
};
