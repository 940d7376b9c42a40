#include "support/SeqTestSupport.h"

#include "QD_Sequencer.h"
#include "QD_SequencerBeat.h"
#include "QD_SequencerConst.h"
#include "QD_SequencerSpline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
QC_Ptr<QD_SequencerSpline> MakeSpline(std::int32_t type, std::vector<QD_SequencerKey> keys)
{
    return QC_Ptr<QD_SequencerSpline>(new QD_SequencerSpline(type, std::move(keys)));
}

// Value of spline at song position (the time a beat event would leave in it).
float At(const QC_Ptr<QD_SequencerSpline>& spline, float position)
{
    spline->OnBeat(QD_SyncBeatEvent{position});
    return spline->GetFloat(0.0f);
}
} // namespace

TEST(QD_SequencerSplineTest, LinearInterpolatesBetweenKeysAndRepeatsWithItsPeriod)
{
    const auto spline = MakeSpline(QD_SPLINE_LINEAR, {{0.0f, 0.0f}, {4.0f, 8.0f}});
    EXPECT_EQ(spline->Period(), 4.0f);
    EXPECT_EQ(At(spline, 0.0f), 0.0f);
    EXPECT_EQ(At(spline, 1.0f), 2.0f);
    EXPECT_EQ(At(spline, 3.5f), 7.0f);
    EXPECT_EQ(At(spline, 4.0f), 0.0f) << "the period wraps back to the first key";
    EXPECT_EQ(At(spline, 5.0f), 2.0f);
    EXPECT_EQ(At(spline, 41.0f), 2.0f);
    // The offset is added to the received position.
    spline->OnBeat(QD_SyncBeatEvent{0.5f});
    EXPECT_EQ(spline->GetFloat(0.5f), 2.0f);
}

TEST(QD_SequencerSplineTest, ConstantHoldsEachKeyValueUntilTheNextKey)
{
    const auto steps = MakeSpline(QD_SPLINE_CONSTANT, {{0.0f, 0.0f}, {4.0f, 8.0f}});
    for (float position : {0.0f, 0.5f, 1.0f, 2.0f, 3.99f, 4.0f, 7.5f})
        EXPECT_EQ(At(steps, position), 0.0f) << "position " << position;

    const auto three = MakeSpline(QD_SPLINE_CONSTANT, {{0.0f, 1.0f}, {2.0f, 5.0f}, {4.0f, 0.0f}});
    EXPECT_EQ(At(three, 1.0f), 1.0f);
    EXPECT_EQ(At(three, 2.0f), 5.0f);
    EXPECT_EQ(At(three, 3.9f), 5.0f);
    EXPECT_EQ(At(three, 4.5f), 1.0f);
}

TEST(QD_SequencerSplineTest, CatmullRomUsesHalfTheNeighbourDifferenceAsTangent)
{
    // p0 repeats the first value: h01·1 + h10·(1 − 0)·0.5 = 0.5 + 0.0625.
    const auto ends = MakeSpline(QD_SPLINE_CATMULLROM, {{0.0f, 0.0f}, {1.0f, 1.0f}, {2.0f, 0.0f}});
    EXPECT_EQ(At(ends, 0.5f), 0.5625f);
    EXPECT_EQ(At(ends, 1.0f), 1.0f);
    // The last span repeats the last value as p3: h00·1 + h10·(0 − 0)·0.5 + h11·(0 − 1)·0.5.
    EXPECT_EQ(At(ends, 1.5f), 0.5f + 0.0625f);

    // Inner span: p0..p3 = 0, 2, 1, 5 at u = 0.5: 1 + 0.5 + 0.0625 − 0.1875.
    const auto inner = MakeSpline(QD_SPLINE_CATMULLROM, {{0.0f, 0.0f}, {1.0f, 2.0f}, {2.0f, 1.0f}, {3.0f, 5.0f}});
    EXPECT_EQ(At(inner, 1.5f), 1.375f);
    // Uniform: the tangent ignores the spacing of the keys.
    const auto wide = MakeSpline(QD_SPLINE_CATMULLROM, {{0.0f, 0.0f}, {10.0f, 2.0f}, {12.0f, 1.0f}, {30.0f, 5.0f}});
    EXPECT_EQ(At(wide, 11.0f), 1.375f);
}

TEST(QD_SequencerSplineTest, SingleKeyAndNegativePositionsGiveTheFirstValue)
{
    const auto single = MakeSpline(QD_SPLINE_LINEAR, {{3.0f, 7.0f}});
    for (float position : {0.0f, 2.0f, 3.0f, 100.0f, -5.0f})
        EXPECT_EQ(At(single, position), 7.0f) << "position " << position;

    const auto ramp = MakeSpline(QD_SPLINE_LINEAR, {{0.0f, 1.0f}, {4.0f, 9.0f}});
    EXPECT_EQ(At(ramp, -0.5f), 1.0f);
    ramp->OnBeat(QD_SyncBeatEvent{1.0f});
    EXPECT_EQ(ramp->GetFloat(-2.0f), 1.0f) << "time + offset below 0";

    const auto empty = MakeSpline(QD_SPLINE_CATMULLROM, {});
    EXPECT_EQ(At(empty, 2.0f), 0.0f);
}

TEST(QD_SequencerSplineTest, PositionWithoutAPreviousKeyGivesTheFirstValue)
{
    // First key above beat 0: positions before it have nothing to interpolate from.
    const auto late = MakeSpline(QD_SPLINE_LINEAR, {{2.0f, 5.0f}, {4.0f, 9.0f}});
    EXPECT_EQ(At(late, 1.0f), 5.0f);
    EXPECT_EQ(At(late, 3.0f), 7.0f);
    EXPECT_EQ(At(late, 5.0f), 5.0f) << "wraps to 1, before the first key";
    const auto lateSteps = MakeSpline(QD_SPLINE_CONSTANT, {{2.0f, 5.0f}, {4.0f, 9.0f}});
    EXPECT_EQ(At(lateSteps, 1.0f), 5.0f);
    const auto lateCurve = MakeSpline(QD_SPLINE_CATMULLROM, {{2.0f, 5.0f}, {4.0f, 9.0f}});
    EXPECT_EQ(At(lateCurve, 1.0f), 5.0f);

    // Keys out of order: the scan finds the first key beat above the position.
    const auto descending = MakeSpline(QD_SPLINE_LINEAR, {{3.0f, 5.0f}, {1.0f, 7.0f}});
    EXPECT_EQ(descending->Period(), 3.0f);
    EXPECT_EQ(At(descending, 0.5f), 5.0f);
    EXPECT_EQ(At(descending, 2.0f), 5.0f) << "only key 0 lies above 2: there is no key before it";

    // A period of 0 with several keys (all at or before beat 0) has nothing to wrap over.
    const auto flat = MakeSpline(QD_SPLINE_LINEAR, {{0.0f, 2.0f}, {0.0f, 4.0f}});
    EXPECT_EQ(flat->Period(), 0.0f);
    EXPECT_EQ(At(flat, 0.0f), 2.0f);
    EXPECT_EQ(At(flat, 3.0f), 2.0f);
    const auto negative = MakeSpline(QD_SPLINE_CATMULLROM, {{-3.0f, 1.0f}, {-1.0f, 2.0f}});
    EXPECT_EQ(negative->Period(), 0.0f);
    EXPECT_EQ(At(negative, 5.0f), 1.0f);
}

TEST(QD_SequencerSplineTest, ExtremePositionsStayDefinedAndWithinTheKeys)
{
    const auto spline = MakeSpline(QD_SPLINE_LINEAR, {{0.0f, 0.0f}, {4.0f, 8.0f}});
    // Quotients far beyond a 32-bit integer: the wrap still lands inside the curve.
    for (float position : {3.0e9f, 1.0e30f, std::numeric_limits<float>::max()}) {
        const float value = At(spline, position);
        EXPECT_GE(value, 0.0f) << "position " << position;
        EXPECT_LE(value, 8.0f) << "position " << position;
    }
    // A position that is not a number or infinite has no key after it: the last value.
    EXPECT_EQ(At(spline, std::numeric_limits<float>::quiet_NaN()), 8.0f);
    EXPECT_EQ(At(spline, std::numeric_limits<float>::infinity()), 8.0f);
    EXPECT_EQ(At(spline, -std::numeric_limits<float>::infinity()), 0.0f);
}

TEST(QD_SequencerSplineTest, UnknownTypeIsFatal)
{
    const auto spline = MakeSpline(1, {{0.0f, 0.0f}, {4.0f, 8.0f}});
    EXPECT_EQ(At(spline, -1.0f), 0.0f) << "the type is only looked at when interpolating";
    EXPECT_EXIT(At(spline, 1.0f), testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "Unknown spline\\.");
}

TEST(QD_SequencerChannelTest, ConstantAndBeatValuesAndTheirTruth)
{
    const QC_Ptr<QD_SequencerConst> half(new QD_SequencerConst(0.5f));
    EXPECT_EQ(half->GetFloat(123.0f), 0.5f);
    EXPECT_TRUE(half->GetBool(0.0f));
    const QC_Ptr<QD_SequencerConst> zero(new QD_SequencerConst(-0.0f));
    EXPECT_FALSE(zero->GetBool(0.0f));
    const QC_Ptr<QD_SequencerConst> nan(new QD_SequencerConst(std::nanf("")));
    EXPECT_TRUE(nan->GetBool(0.0f)) << "a NaN is not equal to 0";

    const QC_Ptr<QD_SequencerBeat> beat(new QD_SequencerBeat(0.25f));
    EXPECT_EQ(beat->GetFloat(0.0f), 0.0f) << "time is 0 until a beat event arrives";
    beat->OnBeat(QD_SyncBeatEvent{8.0f});
    EXPECT_EQ(beat->GetFloat(0.0f), 2.0f);
    EXPECT_EQ(beat->GetFloat(4.0f), 3.0f);
    EXPECT_TRUE(beat->GetBool(0.0f));
    EXPECT_FALSE(beat->GetBool(-8.0f));
}

TEST(QD_SequencerChannelTest, SubscribedChannelsFollowTheSyncAndLeaveItWhenDestroyed)
{
    ScopedSync sync;
    const QC_Ptr<QD_SequencerConst> constant(new QD_SequencerConst(1.0f));
    constant->Subscribe();
    EXPECT_EQ(sync->ListenerCount(), 0u) << "a constant has no position to follow";

    QC_Ptr<QD_SequencerBeat> beat(new QD_SequencerBeat(0.25f));
    QC_Ptr<QD_SequencerSpline> spline = MakeSpline(QD_SPLINE_LINEAR, {{0.0f, 0.0f}, {4.0f, 8.0f}});
    const QC_Ptr<QD_SequencerBeat> unsubscribed(new QD_SequencerBeat(1.0f));
    beat->Subscribe();
    beat->Subscribe();
    spline->Subscribe();
    EXPECT_TRUE(beat->IsSubscribed());
    EXPECT_EQ(sync->ListenerCount(), 2u) << "subscribing twice registers once";

    sync->DispatchBeat(8.0f);
    EXPECT_EQ(beat->GetFloat(0.0f), 2.0f);
    EXPECT_EQ(beat->Time(), 8.0f);
    EXPECT_EQ(spline->GetFloat(1.0f), 2.0f);
    EXPECT_EQ(unsubscribed->Time(), 0.0f);

    beat = nullptr;
    EXPECT_EQ(sync->ListenerCount(), 1u);
    sync->DispatchBeat(1.0f); // would reach freed memory if the listener had stayed
    EXPECT_EQ(spline->GetFloat(0.0f), 2.0f);
    spline = nullptr;
    EXPECT_EQ(sync->ListenerCount(), 0u);
}

TEST(QD_SequencerChannelTest, DestroyedChannelRemovesOnlyItsOwnListenerKeepingTheOrder)
{
    ScopedSync sync;
    std::vector<int> calls;
    struct Probe
    {
        std::vector<int>* calls;
        int id;
        void OnBeat(const QD_SyncBeatEvent&) { calls->push_back(id); }
    } first{&calls, 1}, last{&calls, 2};
    sync->AddListener(QC_Bind(&Probe::OnBeat, &first));
    QC_Ptr<QD_SequencerBeat> beat(new QD_SequencerBeat(1.0f));
    beat->Subscribe();
    sync->AddListener(QC_Bind(&Probe::OnBeat, &last));
    beat = nullptr;
    sync->DispatchBeat(1.0f);
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));
}

TEST(QD_SequencerTest, TableHoldsTheLaterOfTwoAssignmentsAndListsBoth)
{
    ScopedSync sync;
    QC_Ptr<QD_Sequencer> sequencer(new QD_Sequencer);
    const QC_Ptr<QD_SequencerChannel> earlier(new QD_SequencerBeat(1.0f));
    const QC_Ptr<QD_SequencerChannel> later(new QD_SequencerBeat(2.0f));
    sequencer->SetChannel(earlier.Get(), 5);
    sequencer->SetChannel(later.Get(), 5);
    EXPECT_EQ(sequencer->ChannelTableSize(), 6u);
    EXPECT_EQ(sequencer->GetChannel(5), later.Get());
    ASSERT_EQ(sequencer->AllChannels().size(), 2u);
    EXPECT_EQ(sequencer->AllChannels()[0].Get(), earlier.Get());
    EXPECT_EQ(sequencer->AllChannels()[1].Get(), later.Get());
    EXPECT_EQ(earlier->RefCount(), 2) << "the replaced object stays only in the list";
    EXPECT_EQ(later->RefCount(), 3);

    sequencer->SubscribeChannels();
    EXPECT_EQ(sync->ListenerCount(), 2u) << "both objects are subscribed";
    sync->DispatchBeat(3.0f);
    EXPECT_EQ(sequencer->GetValue(5), 6.0f);
    EXPECT_EQ(earlier->GetFloat(0.0f), 3.0f);

    sequencer = nullptr;
    EXPECT_EQ(earlier->RefCount(), 1);
    EXPECT_EQ(later->RefCount(), 1);
}

TEST(QD_SequencerTest, SparseNumbersAndUnassignedChannelsReadZero)
{
    QC_Ptr<QD_Sequencer> sequencer(new QD_Sequencer);
    EXPECT_EQ(sequencer->GetValue(0), 0.0f) << "empty table";
    sequencer->SetChannel(new QD_SequencerConst(4.5f), 1000);
    EXPECT_EQ(sequencer->ChannelTableSize(), 1001u);
    int empty = 0;
    for (std::int32_t number = 0; number < 1000; ++number)
        empty += sequencer->GetChannel(number) == nullptr;
    EXPECT_EQ(empty, 1000);
    EXPECT_EQ(sequencer->GetValue(1000), 4.5f);
    EXPECT_EQ(sequencer->GetValue(999), 0.0f);
    EXPECT_EQ(sequencer->GetValue(1001), 0.0f);
    EXPECT_EQ(sequencer->GetValue(65535), 0.0f);
    EXPECT_EQ(sequencer->GetValue(-1), 0.0f);
    EXPECT_EQ(sequencer->GetChannel(-7), nullptr);

    sequencer->SetChannel(new QD_SequencerConst(1.0f), QD_SEQUENCER_MAX_CHANNEL);
    EXPECT_EQ(sequencer->ChannelTableSize(), QD_SEQUENCER_MAX_CHANNEL + 1);
    EXPECT_EXIT(sequencer->SetChannel(new QD_SequencerConst(1.0f), QD_SEQUENCER_MAX_CHANNEL + 1),
                testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "out of range");
}
