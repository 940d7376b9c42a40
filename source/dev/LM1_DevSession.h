#pragma once
// One session of the workbench around a running demo object: the transport on the keyboard, the
// statistics overlay (F1), load errors on screen, the music following seeks and reloads, and
// scenes started afresh after a seek. The entry point (LM1_DevMode) owns the window and the
// loop; tests drive a session in-process on the headless device.
//
//   LM1_DevSession session(demo, startBeat);      // demo initialised, assets watched
//   session.Press(QP_Key::Space, false);          // for each key
//   session.Render(width, height);                // each frame, in place of demo.Render()
//
// Render runs the demo's music gate; once everything has loaded it moves the clock to the start
// beat, follows changes of the timeline script (scene changes for the transport) and of the
// music (a new buffer plays on from the current beat), applies the transport's loop, restarts
// the scene after every seek, renders the demo and draws the overlay onto the back buffer.

#include "LM1_Demo.h"
#include "LM1_DevMusicClock.h"
#include "LM1_DevOverlay.h"
#include "LM1_DevTransport.h"
#include "QD_Sequencer.h"
#include "QP_InputEvent.h"

#include <cstdint>
#include <string>

class LM1_DevSession
{
public:
    LM1_DevSession(LM1_Demo& demo, float startBeat);
    LM1_DevSession(const LM1_DevSession&) = delete;
    LM1_DevSession& operator=(const LM1_DevSession&) = delete;

    // F1 toggles the statistics; the transport takes its keys; others are ignored.
    void Press(QP_Key key, bool shift);
    void Render(std::uint32_t width, std::uint32_t height);
    // The main thread's milliseconds for the last frame (shown in the statistics).
    void SetCpuMilliseconds(double milliseconds) { cpuMilliseconds = milliseconds; }

    bool StatisticsShown() const { return statisticsShown; }
    const LM1_DevTransport& Transport() const { return transport; }
    LM1_DevMusicClock& Clock() { return clock; }
    // The texts drawn by the last Render ("" when not drawn).
    const std::string& StatisticsText() const { return statisticsText; }
    const std::string& ErrorText() const { return errorText; }

private:
    void Begin();
    void FollowTimeline();
    void FollowMusic();
    void DrawOverlay(std::uint32_t width, std::uint32_t height);

    LM1_Demo& demo;
    float startBeat;
    LM1_DevMusicClock clock;
    LM1_DevTransport transport;
    LM1_DevOverlay overlay;
    bool begun = false;
    bool statisticsShown = true;
    std::uint32_t seeksSeen = 0;
    QC_Ptr<QD_Sequencer> timelineSeen;
    double cpuMilliseconds = 0.0;
    std::string statisticsText;
    std::string errorText;
};
