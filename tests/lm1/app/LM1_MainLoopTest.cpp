// The main loop with recorded frame steps: the order of a frame's calls, no frame while an event
// waits, and the two ways the loop ends.

#include "LM1_MainLoop.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace
{
class RecordedSteps final : public LM1_FrameSteps
{
public:
    // Events handed out in order; once they are used up, None (no event waiting).
    std::deque<QP_WindowEvent> events;
    // Passes for which IsRunning answers true; negative: always.
    int runningPasses = -1;
    std::vector<std::string> calls;

    QP_WindowEvent PollEvent() override
    {
        if (events.empty()) {
            calls.push_back("poll:none");
            return QP_WindowEvent::None;
        }
        const QP_WindowEvent event = events.front();
        events.pop_front();
        calls.push_back(event == QP_WindowEvent::Quit   ? "poll:quit"
                        : event == QP_WindowEvent::None ? "poll:none"
                                                        : "poll:other");
        return event;
    }
    bool IsRunning() override
    {
        calls.push_back("running?");
        if (runningPasses < 0)
            return true;
        return runningPasses-- > 0;
    }
    void RunMainThreadTasks() override { calls.push_back("tasks"); }
    void UpdateAssets() override { calls.push_back("assets"); }
    void UpdateSync() override { calls.push_back("sync"); }
    void UpdateStatistics() override { calls.push_back("statistics"); }
    void Render() override { calls.push_back("render"); }
    void EndFrame() override { calls.push_back("endframe"); }
    void Present() override { calls.push_back("present"); }
};

const std::vector<std::string> kFrame = {"tasks", "assets", "sync", "statistics", "render", "endframe", "present"};

std::vector<std::string> Pass(const char* poll, bool frame)
{
    std::vector<std::string> calls = {"running?", poll};
    if (frame)
        calls.insert(calls.end(), kFrame.begin(), kFrame.end());
    return calls;
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& calls) { to.insert(to.end(), calls.begin(), calls.end()); }
} // namespace

TEST(LM1_MainLoopTest, RunsAFrameInOrderOnlyInPassesWithoutAWaitingEvent)
{
    RecordedSteps steps;
    using E = QP_WindowEvent;
    // Two events, an empty queue, one event, two empty queues, then Escape.
    steps.events = {E::Other, E::Other, E::None, E::Other, E::None, E::None, E::Quit};
    EXPECT_EQ(LM1_RunMainLoop(steps), 3u);

    std::vector<std::string> expected;
    Append(expected, Pass("poll:other", false));
    Append(expected, Pass("poll:other", false));
    Append(expected, Pass("poll:none", true));
    Append(expected, Pass("poll:other", false));
    Append(expected, Pass("poll:none", true));
    Append(expected, Pass("poll:none", true));
    Append(expected, Pass("poll:quit", false));
    EXPECT_EQ(steps.calls, expected);
}

TEST(LM1_MainLoopTest, EndsWhenTheDemoStopsRunningWithoutPollingAgain)
{
    RecordedSteps steps;
    steps.runningPasses = 2;
    EXPECT_EQ(LM1_RunMainLoop(steps), 2u);
    std::vector<std::string> expected;
    Append(expected, Pass("poll:none", true));
    Append(expected, Pass("poll:none", true));
    expected.push_back("running?");
    EXPECT_EQ(steps.calls, expected);

    // Not running from the start: nothing at all happens.
    RecordedSteps stopped;
    stopped.runningPasses = 0;
    EXPECT_EQ(LM1_RunMainLoop(stopped), 0u);
    EXPECT_EQ(stopped.calls, std::vector<std::string>{"running?"});
}

TEST(LM1_MainLoopTest, QuitFirstRunsNoFrame)
{
    RecordedSteps steps;
    steps.events = {QP_WindowEvent::Quit, QP_WindowEvent::Other};
    EXPECT_EQ(LM1_RunMainLoop(steps), 0u);
    EXPECT_EQ(steps.calls, Pass("poll:quit", false));
    // The event after Escape stays queued: the loop reads nothing past the quit.
    EXPECT_EQ(steps.events.size(), 1u);
}
