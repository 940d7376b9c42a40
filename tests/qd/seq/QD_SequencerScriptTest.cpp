#include "support/SeqTestSupport.h"
#include "support/TempDir.h"

#include "QD_Sequencer.h"
#include "QD_SequencerBeat.h"
#include "QD_SequencerConst.h"
#include "QD_SequencerSpline.h"
#include "QD_Sequencer_QCS.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

namespace
{
bool Parse(const std::string& text, QC_Ptr<QD_Sequencer>& sequencer)
{
    return QD_ParseSequencerText(text.data(), static_cast<std::uint32_t>(text.size()), sequencer);
}

QC_Ptr<QD_Sequencer> ParseOk(const std::string& text)
{
    LogCapture log;
    QC_Ptr<QD_Sequencer> sequencer;
    EXPECT_TRUE(Parse(text, sequencer)) << text;
    EXPECT_TRUE(log.Errors().empty()) << text << ": " << (log.Errors().empty() ? "" : log.Errors()[0]);
    return sequencer;
}

const QD_SequencerSpline* SplineAt(const QC_Ptr<QD_Sequencer>& sequencer, int number)
{
    return dynamic_cast<const QD_SequencerSpline*>(sequencer->GetChannel(number));
}

std::vector<float> Beats(const QD_SequencerSpline* spline)
{
    std::vector<float> beats;
    for (const QD_SequencerKey& key : spline->Keys())
        beats.push_back(key.beat);
    return beats;
}

std::vector<float> Values(const QD_SequencerSpline* spline)
{
    std::vector<float> values;
    for (const QD_SequencerKey& key : spline->Keys())
        values.push_back(key.value);
    return values;
}

struct FailureCase
{
    std::string script;
    std::vector<std::string> errors;
};
} // namespace

TEST(QD_SequencerScriptTest, WellFormedScriptBuildsEveryKindOfChannel)
{
    const QC_Ptr<QD_Sequencer> sequencer = ParseOk("10 = 0.5;\n"
                                                   "11 = linear(0:0, 16:1, +16:0);\n"
                                                   "12 = catmullrom(0 : 1.0, 4 : -2, 8 : 1);\n"
                                                   "13 = constant(0:0, 32:1, 64:0);\n"
                                                   "14 = beat(0.25);\n");
    ASSERT_TRUE(sequencer);
    EXPECT_EQ(sequencer->ChannelTableSize(), 15u);
    EXPECT_EQ(sequencer->AllChannels().size(), 5u);
    for (int number = 0; number < 10; ++number)
        EXPECT_EQ(sequencer->GetChannel(number), nullptr);

    const auto* constant = dynamic_cast<const QD_SequencerConst*>(sequencer->GetChannel(10));
    ASSERT_NE(constant, nullptr);
    EXPECT_EQ(constant->Value(), 0.5f);

    const QD_SequencerSpline* linear = SplineAt(sequencer, 11);
    ASSERT_NE(linear, nullptr);
    EXPECT_EQ(linear->Type(), QD_SPLINE_LINEAR);
    EXPECT_EQ(Beats(linear), (std::vector<float>{0, 16, 32}));
    EXPECT_EQ(Values(linear), (std::vector<float>{0, 1, 0}));

    const QD_SequencerSpline* curve = SplineAt(sequencer, 12);
    ASSERT_NE(curve, nullptr);
    EXPECT_EQ(curve->Type(), QD_SPLINE_CATMULLROM);
    EXPECT_EQ(Beats(curve), (std::vector<float>{0, 4, 8}));
    EXPECT_EQ(Values(curve), (std::vector<float>{1, -2, 1}));

    const QD_SequencerSpline* steps = SplineAt(sequencer, 13);
    ASSERT_NE(steps, nullptr);
    EXPECT_EQ(steps->Type(), QD_SPLINE_CONSTANT);
    EXPECT_EQ(steps->Period(), 64.0f);

    const auto* beat = dynamic_cast<const QD_SequencerBeat*>(sequencer->GetChannel(14));
    ASSERT_NE(beat, nullptr);
    EXPECT_EQ(beat->Amplifier(), 0.25f);

    // The parsed channels follow the sync once subscribed.
    ScopedSync sync;
    sequencer->SubscribeChannels();
    EXPECT_EQ(sync->ListenerCount(), 4u);
    sync->DispatchBeat(8.0f);
    EXPECT_EQ(sequencer->GetValue(10), 0.5f);
    EXPECT_EQ(sequencer->GetValue(11), 0.5f);
    EXPECT_EQ(sequencer->GetValue(12), 1.0f);
    EXPECT_EQ(sequencer->GetValue(14), 2.0f);
}

TEST(QD_SequencerScriptTest, EmptyTextOrOnlyBlanksAndCommentsGivesAnEmptySequencer)
{
    for (const std::string& text : {std::string(""), std::string(" \t\r\n"), std::string("// only a comment"),
                                    std::string("/* block */ // line\r\n\n"), std::string("/* never closed"),
                                    std::string("//\n/**/")}) {
        LogCapture log;
        QC_Ptr<QD_Sequencer> sequencer(new QD_Sequencer);
        sequencer->SetChannel(new QD_SequencerConst(1.0f), 3);
        const QD_Sequencer* previous = sequencer.Get();
        EXPECT_TRUE(Parse(text, sequencer)) << text;
        ASSERT_TRUE(sequencer);
        EXPECT_NE(sequencer.Get(), previous) << "the result replaces the previous sequencer";
        EXPECT_EQ(sequencer->ChannelTableSize(), 0u);
        EXPECT_TRUE(sequencer->AllChannels().empty());
        EXPECT_TRUE(log.Reports().empty());
    }
}

TEST(QD_SequencerScriptTest, EachErrorIsReportedOnceWithItsFollowUpAndLeavesTheSequencerAlone)
{
    const std::vector<FailureCase> cases = {
        // statement head
        {"-3 = 1;", {"Expected number constant for channel."}},
        {"x = 1;", {"Expected number constant for channel."}},
        {"1e3 = 1;", {"Expected number constant for channel."}},
        {"1.0 = 1;", {"Expected number constant for channel."}},
        {"5 = 1; ;", {"Expected number constant for channel."}},
        {"3 1;", {"Expected = to assign channel 3 a value."}},
        {"3", {"Expected = to assign channel 3 a value."}},
        {"3 =", {"Expected assigned to channel 3."}},
        {"3 = linear", {"Expected assigned to channel 3."}},
        {"3 = beat", {"Expected assigned to channel 3."}},
        // statement end
        {"5 = 1", {"Expected ; at end of channel 5 assignment."}},
        {"5 = 1 2;", {"Expected ; at end of channel 5 assignment."}},
        {"8 = 1.5.;", {"Expected ; at end of channel 8 assignment."}},
        {"5 = linear(", {"Expected ; at end of channel 5 assignment."}},
        {"5 = linear(0:1,", {"Expected ; at end of channel 5 assignment."}},
        {"5 = beat(2)", {"Expected ; at end of channel 5 assignment."}},
        // body kinds
        {"3 = foo;", {"No channel of type foo."}},
        {"3 = Linear(0:1);", {"No channel of type Linear."}},
        {"3 = 1e3;", {"No channel of type 1e3."}},
        {"3 = 0x10;", {"No channel of type 0x10."}},
        {"3 = +1;", {"No channel of type +."}},
        {"3 = ;", {"No channel of type ;."}},
        // splines
        {"3 = linear 0", {"Expected (.", "No channel of type 0."}},
        {"3 = constant;", {"Expected (.", "No channel of type ;."}},
        {"3 = linear();", {"Expected float for beat in spline.", "No channel of type )."}},
        {"3 = linear(0:1,);", {"Expected float for beat in spline.", "No channel of type )."}},
        {"3 = linear(x:1);", {"Expected float for beat in spline.", "No channel of type x."}},
        {"3 = linear(+x:1);", {"Expected float for beat in spline.", "No channel of type x."}},
        {"3 = linear(++1:1);", {"Expected float for beat in spline.", "No channel of type +."}},
        {"3 = linear(+", {"Expected float for beat in spline.", "No channel of type ."}},
        {"3 = linear(0 1);", {"Expected : after spline beat.", "No channel of type 1."}},
        {"3 = catmullrom(0", {"Expected : after spline beat.", "No channel of type ."}},
        {"3 = linear(0:x);", {"Expected float for value in spline.", "No channel of type x."}},
        {"3 = linear(0:1e3);", {"Expected float for value in spline.", "No channel of type 1e3."}},
        {"3 = linear(0:", {"Expected float for value in spline.", "No channel of type ."}},
        {"3 = linear(0:1;", {", or ) for end of spline.", "No channel of type ;."}},
        {"3 = linear(0:1 2:3);", {", or ) for end of spline.", "No channel of type 2."}},
        {"3 = linear(0:1", {", or ) for end of spline.", "No channel of type ."}},
        // beat
        {"3 = beat 2;", {"Expected ( after beat.", "No channel of type 2."}},
        {"3 = beat(", {"Expected amplifier for beat.", "No channel of type ."}},
        {"3 = beat(x);", {"Expected amplifier for beat.", "No channel of type x."}},
        {"3 = beat();", {"Expected amplifier for beat.", "No channel of type )."}},
        {"3 = beat(2;", {"Expected ) after beattrigger arguments.", "No channel of type ;."}},
        {"3 = beat(2", {"Expected ) after beattrigger arguments.", "No channel of type ."}},
        // channel range: refused, never read with overflow
        {"65536 = 1;", {"Channel 65536 is out of range."}},
        {"70000 = 1;", {"Channel 70000 is out of range."}},
        {"2147483647 = 1;", {"Channel 2147483647 is out of range."}},
        {"2147483648 = 1;", {"Channel 2147483648 is out of range."}},
        {"4294967296 = 1;", {"Channel 4294967296 is out of range."}},
        {"99999999999999999999999 = 1;", {"Channel 99999999999999999999999 is out of range."}},
        // an error after good statements still fails the whole script
        {"1 = 1; 2 = linear(0:0, 4:1); 3 = bad;", {"No channel of type bad."}},
        // a NUL byte is an ordinary character, not the end of the text
        {std::string("5 = 1;\0", 7), {"Expected number constant for channel."}},
    };
    for (const FailureCase& failure : cases) {
        LogCapture log;
        QC_Ptr<QD_Sequencer> sequencer(new QD_Sequencer);
        const QD_Sequencer* previous = sequencer.Get();
        EXPECT_FALSE(Parse(failure.script, sequencer)) << failure.script;
        EXPECT_EQ(sequencer.Get(), previous) << failure.script;
        EXPECT_EQ(previous->ChannelTableSize(), 0u) << "nothing is added to the caller's sequencer";
        EXPECT_EQ(log.Errors(), failure.errors) << failure.script;
        for (const CapturedReport& report : log.Reports()) {
            EXPECT_EQ(report.level, QC_LOG_ERROR) << failure.script;
            EXPECT_EQ(report.file, "frame/qd/QD_Sequencer_QCS.cpp") << failure.script;
        }
    }
}

TEST(QD_SequencerScriptTest, ErrorsOfANamedScriptNameItsFileAndTheAuthorsLine)
{
    struct Case
    {
        const char* script;
        const char* error;
    };
    // Lines count every LF: in blank runs, after line comments, inside block comments and with
    // CR LF ends; an error where the text runs out stands on the line of the last token, where
    // the missing part belongs.
    const Case cases[] = {
        {"5 = x;", "scene.qcs(1): error: No channel of type x."},
        {"1 = 1;\n\n\n2 = linear(0:0 4:1);", "scene.qcs(4): error: , or ) for end of spline."},
        {"// a\r\n// b\r\n3 = beat(2;\r\n", "scene.qcs(3): error: Expected ) after beattrigger arguments."},
        {"/* one\ntwo\nthree */ 4 =\n\n7 8;", "scene.qcs(5): error: Expected ; at end of channel 4 assignment."},
        {"1 = 2;\n99999 = 1;", "scene.qcs(2): error: Channel 99999 is out of range."},
        {"1 = 2;\n2 =\n\n", "scene.qcs(2): error: Expected assigned to channel 2."},
    };
    for (const Case& failure : cases) {
        LogCapture log;
        QC_Ptr<QD_Sequencer> sequencer(new QD_Sequencer);
        const std::string text = failure.script;
        EXPECT_FALSE(QD_ParseSequencerText(text.data(), static_cast<std::uint32_t>(text.size()), sequencer, "scene.qcs"))
            << failure.script;
        ASSERT_FALSE(log.Errors().empty()) << failure.script;
        EXPECT_EQ(log.Errors().front(), failure.error) << failure.script;
        EXPECT_EQ(log.Reports().front().file, "frame/qd/QD_Sequencer_QCS.cpp") << "reported from the check";
    }
}

TEST(QD_SequencerScriptTest, FloatConstantsAndTheirReading)
{
    const QC_Ptr<QD_Sequencer> sequencer = ParseOk("1 = -1; 2 = 2.; 3 = -.5; 4 = 0.25; 5 = -; 6 = .; 7 = 007;"
                                                   "8 = 0.1; 9 = 16777217; 0010 = -0;");
    ASSERT_TRUE(sequencer);
    EXPECT_EQ(sequencer->GetValue(1), -1.0f);
    EXPECT_EQ(sequencer->GetValue(2), 2.0f);
    EXPECT_EQ(sequencer->GetValue(3), -0.5f);
    EXPECT_EQ(sequencer->GetValue(4), 0.25f);
    EXPECT_EQ(sequencer->GetValue(5), 0.0f);
    EXPECT_EQ(sequencer->GetValue(6), 0.0f);
    EXPECT_EQ(sequencer->GetValue(7), 7.0f);
    EXPECT_EQ(sequencer->GetValue(8), static_cast<float>(0.1)) << "decimal reading, then narrowed";
    EXPECT_EQ(sequencer->GetValue(9), 16777216.0f);
    EXPECT_TRUE(std::signbit(sequencer->GetValue(10)));

    // Beyond the float range the narrowing rounds as IEEE does: the largest float just past
    // it, infinity from halfway on.
    const std::string huge(400, '9');
    const QC_Ptr<QD_Sequencer> extremes = ParseOk("1 = " + huge + "; 2 = -" + huge +
                                                  "; 3 = 340282350000000000000000000000000000000;"
                                                  "4 = linear(" + huge + ":1, 0:-" + huge + ");");
    ASSERT_TRUE(extremes);
    EXPECT_EQ(extremes->GetValue(1), INFINITY);
    EXPECT_EQ(extremes->GetValue(2), -INFINITY);
    EXPECT_EQ(extremes->GetValue(3), FLT_MAX);
    EXPECT_EQ(Beats(SplineAt(extremes, 4)), (std::vector<float>{INFINITY, 0.0f}));
}

TEST(QD_SequencerScriptTest, RelativeKeyBeatsAddToThePreviousKeyOfTheSameSpline)
{
    const QC_Ptr<QD_Sequencer> sequencer = ParseOk("3 = linear(+2:1, +2:3);\n"
                                                   "4 = constant(1:0, +0.5:1, 8:2, +-3:4);\n"
                                                   "5 = catmullrom(+2:0);\n");
    ASSERT_TRUE(sequencer);
    EXPECT_EQ(Beats(SplineAt(sequencer, 3)), (std::vector<float>{2, 4}));
    EXPECT_EQ(Values(SplineAt(sequencer, 3)), (std::vector<float>{1, 3}));
    EXPECT_EQ(Beats(SplineAt(sequencer, 4)), (std::vector<float>{1, 1.5f, 8, 5}));
    EXPECT_EQ(Beats(SplineAt(sequencer, 5)), (std::vector<float>{2}));
}

TEST(QD_SequencerScriptTest, CommentsSeparateTokensAndEndWords)
{
    // A line comment between the body and its ';', with LF or CR LF line ends.
    for (const std::string& text : {std::string("3 = beat(2) // two per beat\n;"),
                                    std::string("3 = beat(2)// two per beat\r\n;"),
                                    std::string("3 = beat(2) /* two */ ;"),
                                    std::string("3=beat(2);")}) {
        const QC_Ptr<QD_Sequencer> sequencer = ParseOk(text);
        ASSERT_TRUE(sequencer) << text;
        const auto* beat = dynamic_cast<const QD_SequencerBeat*>(sequencer->GetChannel(3));
        ASSERT_NE(beat, nullptr) << text;
        EXPECT_EQ(beat->Amplifier(), 2.0f);
    }

    // A comment directly after a word ends the word: "cat" and "mullrom" stay two words.
    {
        LogCapture log;
        QC_Ptr<QD_Sequencer> sequencer;
        EXPECT_FALSE(Parse("3 = cat// comment\nmullrom(0:1);", sequencer));
        EXPECT_EQ(log.Errors(), (std::vector<std::string>{"No channel of type cat."}));
    }
    {
        LogCapture log;
        QC_Ptr<QD_Sequencer> sequencer;
        EXPECT_FALSE(Parse("3 = beat/* c */x(2);", sequencer));
        EXPECT_EQ(log.Errors(), (std::vector<std::string>{"Expected ( after beat.", "No channel of type x."}));
    }
    EXPECT_TRUE(ParseOk("3 = linear// curve\n(0:1);"));
    EXPECT_TRUE(ParseOk("3 = linear/**/(0:1);"));
}

TEST(QD_SequencerScriptTest, TextEndingInsideAStatementHeadWordCompletesTheScript)
{
    // A word that runs into the end of the text is not read as a statement.
    const QC_Ptr<QD_Sequencer> sequencer = ParseOk("5 = 1; trailing");
    ASSERT_TRUE(sequencer);
    EXPECT_EQ(sequencer->GetValue(5), 1.0f);

    LogCapture log;
    QC_Ptr<QD_Sequencer> other;
    EXPECT_FALSE(Parse("5 = 1; trailing ", other));
    EXPECT_EQ(log.Errors(), (std::vector<std::string>{"Expected number constant for channel."}));
}

TEST(QD_SequencerScriptTest, RepeatedAndSparseChannelNumbers)
{
    const QC_Ptr<QD_Sequencer> repeated = ParseOk("5 = 1; 5 = beat(2);");
    ASSERT_TRUE(repeated);
    EXPECT_EQ(repeated->AllChannels().size(), 2u);
    EXPECT_NE(dynamic_cast<const QD_SequencerBeat*>(repeated->GetChannel(5)), nullptr);

    const QC_Ptr<QD_Sequencer> sparse = ParseOk("1000 = 1;");
    ASSERT_TRUE(sparse);
    EXPECT_EQ(sparse->ChannelTableSize(), 1001u);
    EXPECT_EQ(sparse->GetValue(1000), 1.0f);
    EXPECT_EQ(sparse->GetValue(999), 0.0f);

    const QC_Ptr<QD_Sequencer> highest = ParseOk("65535 = 2; 00000000000000000000007 = 3;");
    ASSERT_TRUE(highest);
    EXPECT_EQ(highest->ChannelTableSize(), 65536u);
    EXPECT_EQ(highest->GetValue(65535), 2.0f);
    EXPECT_EQ(highest->GetValue(7), 3.0f);
}

TEST(QD_SequencerScriptTest, FilesAreReadInTextModeAndAFailedParseKeepsThePreviousSequencer)
{
    TempDir dir;
    const std::string good = dir.Write("good.qcs", "1 = linear(0:0,\r\n 4:8);\r\n2 = 0.5; // end\r\n");
    const std::string bad = dir.Write("bad.qcs", "1 = linear(0:0, 4:8)\r\n");
    LogCapture log;

    QC_Ptr<QD_Sequencer> sequencer;
    ASSERT_TRUE(QD_ParseSequencerScript(good.c_str(), sequencer));
    ASSERT_TRUE(sequencer);
    EXPECT_EQ(sequencer->GetValue(2), 0.5f);
    EXPECT_EQ(Beats(SplineAt(sequencer, 1)), (std::vector<float>{0, 4}));
    const QD_Sequencer* loaded = sequencer.Get();

    EXPECT_FALSE(QD_ParseSequencerScript(bad.c_str(), sequencer));
    EXPECT_EQ(sequencer.Get(), loaded);
    EXPECT_EQ(log.Errors(), (std::vector<std::string>{bad + "(1): error: Expected ; at end of channel 1 assignment."}));

    log.Clear();
    EXPECT_FALSE(QD_ParseSequencerScript(dir.File("missing.qcs").c_str(), sequencer));
    EXPECT_EQ(sequencer.Get(), loaded);
    EXPECT_TRUE(log.Reports().empty()) << "an unreadable file is not reported by the parser";

    // Subscriptions of the kept sequencer survive the failed reload.
    ScopedSync sync;
    sequencer->SubscribeChannels();
    EXPECT_FALSE(QD_ParseSequencerScript(bad.c_str(), sequencer));
    EXPECT_EQ(sync->ListenerCount(), 1u);
    sync->DispatchBeat(1.0f);
    EXPECT_EQ(sequencer->GetValue(1), 2.0f);
}

TEST(QD_SequencerScriptTest, PathOfTooManyCharactersIsFatal)
{
    QC_Ptr<QD_Sequencer> sequencer;
    const std::string path(1024, 'a');
    EXPECT_EXIT(QD_ParseSequencerScript(path.c_str(), sequencer), testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "Buffer overflow");
}
