// The offline renderer's sink thread with a sink of the test's own: frames reach the sink in
// order, each once and with its own picture, however the worker and the caller race; a sink
// that fails midway ends the run without a hang or a Finish; and a writer dropped early stops.

#include "LM1_SinkThread.h"
#include "QC_Image.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
using namespace std::chrono_literals;

constexpr std::uint32_t kWidth = 16;
constexpr std::uint32_t kHeight = 8;

// Records what the worker gives it; fails at failAt (never when negative) and dawdles for
// slowness on every frame, so the caller runs into a full queue.
class RecordingSink final : public LM1_FrameSink
{
public:
    explicit RecordingSink(std::int64_t failAtFrame = -1, std::chrono::milliseconds slowness = 0ms)
        : failAt(failAtFrame), delay(slowness)
    {
    }
    bool Open() override { return true; }
    bool WriteFrame(std::int64_t frame, const QC_Image& picture) override
    {
        std::this_thread::sleep_for(delay);
        std::lock_guard<std::mutex> lock(mutex);
        frames.push_back(frame);
        // Every pixel of a picture carries its frame's number: a torn or reused picture shows.
        std::uint32_t mismatched = 0;
        for (std::uint32_t i = 0; i < picture.Width() * picture.Height(); ++i)
            mismatched += picture.Pixels()[i] != static_cast<std::uint32_t>(frame);
        wrongPixels += mismatched;
        return frame != failAt;
    }
    bool Finish() override
    {
        ++finishes;
        return true;
    }
    std::vector<std::int64_t> Frames()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return frames;
    }

    std::atomic<int> finishes{0};
    std::atomic<std::uint32_t> wrongPixels{0};

private:
    std::int64_t failAt;
    std::chrono::milliseconds delay;
    std::mutex mutex;
    std::vector<std::int64_t> frames;
};

// Acquires, fills and submits frames 0 to count - 1 until Acquire refuses; how many went in.
std::int64_t Produce(LM1_SinkThread& writer, std::int64_t count)
{
    for (std::int64_t frame = 0; frame < count; ++frame) {
        QC_Image* picture = writer.Acquire();
        if (!picture)
            return frame;
        picture->Fill(static_cast<std::uint32_t>(frame));
        writer.Submit(frame);
    }
    return count;
}
} // namespace

TEST(LM1_SinkThreadTest, FramesReachTheSinkInOrderEachOnceWithTheirOwnPicture)
{
    // A quick sink (the caller is the slow side) and a slow one (the queue fills and the caller
    // waits): the same frames, in order, whole, then one Finish.
    for (const auto slowness : {0ms, 2ms}) {
        RecordingSink sink(-1, slowness);
        std::vector<std::int64_t> expected;
        {
            LM1_SinkThread writer(sink, kWidth, kHeight, 3);
            ASSERT_EQ(Produce(writer, 60), 60);
            EXPECT_TRUE(writer.Finish());
            EXPECT_FALSE(writer.Failed());
        }
        for (std::int64_t frame = 0; frame < 60; ++frame)
            expected.push_back(frame);
        EXPECT_EQ(sink.Frames(), expected) << "slowness " << slowness.count() << " ms";
        EXPECT_EQ(sink.wrongPixels.load(), 0u) << "a picture was overwritten before it was written";
        EXPECT_EQ(sink.finishes.load(), 1);
    }
}

TEST(LM1_SinkThreadTest, ASinkFailingMidwayEndsTheRunWithoutHangingOrFinishing)
{
    for (const std::size_t depth : {std::size_t(1), std::size_t(3)}) {
        RecordingSink sink(5);
        LM1_SinkThread writer(sink, kWidth, kHeight, depth);
        // The caller learns of the failure at its next Acquire, at most a ring's length later.
        const std::int64_t produced = Produce(writer, 1000);
        EXPECT_GE(produced, 6) << "depth " << depth;
        EXPECT_LE(produced, 6 + static_cast<std::int64_t>(depth)) << "depth " << depth;
        EXPECT_TRUE(writer.Failed());
        EXPECT_FALSE(writer.Finish());
        EXPECT_EQ(sink.finishes.load(), 0) << "a failed output must not be completed";
        const std::vector<std::int64_t> written = sink.Frames();
        ASSERT_FALSE(written.empty());
        EXPECT_EQ(written.back(), 5) << "frames were written after the failure";
        EXPECT_EQ(writer.Acquire(), nullptr);
    }
}

TEST(LM1_SinkThreadTest, AWriterDroppedBeforeFinishStopsWithoutWritingTheRest)
{
    // The caller fails on its side (a read-back, a signal) with frames queued behind a slow
    // sink: the writer's end waits for the frame in hand only, and completes nothing.
    RecordingSink sink(-1, 30ms);
    {
        LM1_SinkThread writer(sink, kWidth, kHeight, 3);
        ASSERT_EQ(Produce(writer, 3), 3);
        // A picture acquired twice is a caller's mistake, refused rather than handed out again.
        ASSERT_NE(writer.Acquire(), nullptr);
        EXPECT_EQ(writer.Acquire(), nullptr);
    }
    EXPECT_LT(sink.Frames().size(), 3u);
    EXPECT_EQ(sink.finishes.load(), 0);
}
