#include "support/SeqTestSupport.h"

#include "QD_Sequencer_QCS.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <random>
#include <string>

namespace
{
std::string At(const std::string& text, const QD_ScriptSpan& span)
{
    return text.substr(span.offset, span.length);
}

bool ParseSyntax(const std::string& text, QD_ScriptSyntax& syntax, const char* name = nullptr)
{
    QC_Ptr<QD_Sequencer> sequencer;
    return QD_ParseSequencerSyntax(text.data(), static_cast<std::uint32_t>(text.size()), sequencer, syntax, name);
}
} // namespace

TEST(QD_ScriptSyntaxTest, EveryStatementNamesTheBytesOfItsTokens)
{
    // A byte-order mark, CR LF, comments between tokens, relative keys and a repeated channel.
    const std::string text = "\xEF\xBB\xBF// head\r\n10 = -.5;\r\n"
                             "11 = linear(0:0, /* c */ 16 :1.50,\r\n  + 8: 2.);\r\n"
                             "14=beat( 0.25 );10 = 3;";
    LogCapture log;
    QD_ScriptSyntax syntax;
    ASSERT_TRUE(ParseSyntax(text, syntax));
    EXPECT_TRUE(syntax.errors.empty());
    ASSERT_EQ(syntax.statements.size(), 4u);

    const QD_StatementSyntax& constant = syntax.statements[0];
    EXPECT_EQ(constant.channel, 10u);
    EXPECT_EQ(constant.number.offset, 12u) << "offsets count the mark";
    EXPECT_EQ(At(text, constant.number), "10");
    EXPECT_EQ(At(text, constant.head), "-.5");
    EXPECT_EQ(At(text, constant.semicolon), ";");
    EXPECT_TRUE(constant.keys.empty());
    EXPECT_FALSE(constant.amplifier.Present());

    const QD_StatementSyntax& spline = syntax.statements[1];
    EXPECT_EQ(At(text, spline.head), "linear");
    ASSERT_EQ(spline.keys.size(), 3u);
    EXPECT_EQ(At(text, spline.keys[1].beat), "16");
    EXPECT_EQ(At(text, spline.keys[1].value), "1.50");
    EXPECT_EQ(At(text, spline.keys[1].comma), ",");
    EXPECT_FALSE(spline.keys[1].IsRelative());
    EXPECT_EQ(spline.keys[1].Start(), spline.keys[1].beat.offset);
    EXPECT_TRUE(spline.keys[2].IsRelative());
    EXPECT_EQ(At(text, spline.keys[2].plus), "+");
    EXPECT_EQ(spline.keys[2].Start(), spline.keys[2].plus.offset);
    EXPECT_EQ(At(text, spline.keys[2].beat), "8");
    EXPECT_EQ(At(text, spline.keys[2].value), "2.");
    EXPECT_FALSE(spline.keys[2].comma.Present());

    EXPECT_EQ(At(text, syntax.statements[2].head), "beat");
    EXPECT_EQ(At(text, syntax.statements[2].amplifier), "0.25");
    EXPECT_EQ(At(text, syntax.statements[3].head), "3");
    EXPECT_EQ(syntax.statements[3].channel, 10u);
}

TEST(QD_ScriptSyntaxTest, TextWithAnErrorGivesItsMessagesAndNoStatements)
{
    LogCapture log;
    QD_ScriptSyntax syntax;
    syntax.statements.resize(2);
    EXPECT_FALSE(ParseSyntax("1 = 0.5;\n2 = linear(0:0, 4 1);\n", syntax, "broken.qcs"));
    EXPECT_TRUE(syntax.statements.empty());
    EXPECT_EQ(syntax.errors, "broken.qcs(2): error: Expected : after spline beat.\n"
                             "broken.qcs(2): error: No channel of type 1.\n");
    // The log has the same messages.
    EXPECT_EQ(log.Errors().size(), 2u);
}

TEST(QD_ScriptSyntaxTest, FloatsAreWrittenInTheShortestFormThatReadsBack)
{
    const struct
    {
        float value;
        const char* text;
    } cases[] = {{0.07f, "0.07"}, {16.0f, "16"}, {-0.5f, "-0.5"}, {0.1f + 0.2f, "0.3"}, {1e-7f, "0.0000001"},
                 {-0.0f, "-0"},  {0.0f, "0"},   {1000.25f, "1000.25"}, {16777217.0f, "16777216"}};
    for (const auto& item : cases)
        EXPECT_EQ(QD_FormatScriptFloat(item.value), item.text) << item.value;

    // Every finite float: a float constant of the script format (no exponent), read back to the
    // same bits, and the same text when formatted again.
    std::mt19937 random(5);
    std::uniform_int_distribution<std::uint32_t> bits;
    int checked = 0;
    for (int i = 0; i < 20000; ++i) {
        const float value = i < 3 ? (i == 0 ? FLT_MAX : i == 1 ? -FLT_MIN : std::nextafter(0.0f, 1.0f))
                                   : std::bit_cast<float>(bits(random));
        if (!std::isfinite(value))
            continue;
        const std::string text = QD_FormatScriptFloat(value);
        ASSERT_EQ(text.find_first_not_of("-0123456789."), std::string::npos) << text;
        const float read = QD_ReadScriptFloat(text.data(), static_cast<std::uint32_t>(text.size()));
        ASSERT_EQ(std::bit_cast<std::uint32_t>(read), std::bit_cast<std::uint32_t>(value)) << text;
        ASSERT_EQ(QD_FormatScriptFloat(read), text);
        ++checked;
    }
    EXPECT_GT(checked, 19000);
}
