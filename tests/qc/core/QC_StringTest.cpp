#include "QC_String.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string Repeat(char c, int count)
{
    return std::string(static_cast<std::size_t>(count), c);
}
} // namespace

TEST(QC_StaticStringTest, HoldsUpToCapacityMinusOneWhenAssigned)
{
    QC_StaticString<64> name;
    EXPECT_STREQ(name.CStr(), "");
    name = Repeat('a', 63).c_str();
    EXPECT_EQ(name.Length(), 63u);
    EXPECT_EQ(name, Repeat('a', 63).c_str());
    EXPECT_EXIT({ name = Repeat('a', 64).c_str(); }, testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "QC_String.h\\([0-9]+\\): +[0-9]+ \\[FATAL\\] Buffer overflow\\.");
    EXPECT_EXIT({ QC_StaticString<64> big(Repeat('b', 64).c_str()); }, testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "Buffer overflow\\.");
}

TEST(QC_StaticStringTest, AppendsStopOneShortOfAssignment)
{
    QC_StaticString<64> name(Repeat('a', 61).c_str());
    name.Append('b');
    EXPECT_EQ(name.Length(), 62u);
    EXPECT_EXIT({ name.Append('c'); }, testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "\\[FATAL\\] Out of memory\\.");
}

TEST(QC_StaticStringTest, CrossCapacityCopyOfExactlyNStopsInReserve)
{
    QC_StaticString<128> source(Repeat('x', 64).c_str());
    EXPECT_EXIT({ QC_StaticString<64> copy(static_cast<const QC_StringBase&>(source)); },
                testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "Out of memory\\.");
    QC_StaticString<128> shorter("fits");
    QC_StaticString<64> copy(static_cast<const QC_StringBase&>(shorter));
    EXPECT_EQ(copy, "fits");
}

TEST(QC_StaticStringTest, IndexingChecksTheLength)
{
    QC_StaticString<64> name("abc");
    name[1] = 'X';
    EXPECT_EQ(name, "aXc");
    EXPECT_EXIT({ name[3] = 'd'; }, testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "Out of bounds");
}

TEST(QC_StaticStringTest, SelfAssignmentKeepsTheText)
{
    QC_StaticString<64> name("keep");
    QC_StaticString<64>& alias = name;
    name = alias;
    name = name.CStr();
    EXPECT_EQ(name, "keep");
}

TEST(QC_StringTest, GrowthFollowsTheDoublingRule)
{
    QC_String text("hello");
    EXPECT_EQ(text.Capacity(), 6u);
    text.Reserve(9);
    ASSERT_EQ(text.Capacity(), 10u);

    text.Grow(2); // needs 8: fits
    EXPECT_EQ(text.Capacity(), 10u);
    text.Grow(6); // needs 12: doubles to Reserve(20)
    EXPECT_EQ(text.Capacity(), 21u);
    EXPECT_EQ(text, "hello");

    QC_String other("hello");
    other.Reserve(9);
    other.Grow(20); // needs 26 > 20: Reserve(26)
    EXPECT_EQ(other.Capacity(), 27u);
}

TEST(QC_StringTest, ReserveIgnoresSameOrTooSmallRequests)
{
    QC_String text("hello world");
    const std::uint32_t capacity = text.Capacity();
    text.Reserve(capacity - 1);
    EXPECT_EQ(text.Capacity(), capacity);
    text.Reserve(3);
    EXPECT_EQ(text.Capacity(), capacity);
    EXPECT_EQ(text, "hello world");
}

TEST(QC_StringTest, AppendsBuildLongTextsAndCopiesAreIndependent)
{
    QC_String text;
    EXPECT_STREQ(text.CStr(), "");
    for (int i = 0; i < 1000; ++i)
        text.Append('a' + i % 26);
    EXPECT_EQ(text.Length(), 1000u);
    EXPECT_GE(text.Capacity(), 1001u);
    EXPECT_EQ(text[25], 'z');

    QC_String copy(text);
    copy[0] = 'Z';
    EXPECT_EQ(text[0], 'a');
    text = "short";
    EXPECT_EQ(text, "short");
    EXPECT_EQ(text.Length(), 5u);
}

TEST(QC_StringTest, RequestsPastThirtyTwoBitsAreFatalNotWrapped)
{
    QC_String text("x");
    EXPECT_EXIT({ text.Grow(UINT32_MAX); }, testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "Out of memory\\.");
    EXPECT_EXIT({ text.Reserve(UINT32_MAX); }, testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "Out of memory\\.");
}

TEST(QC_StringHelpersTest, CompareAsSignedBytes)
{
    EXPECT_EQ(QC_StrCmp("abc", "abd"), -1);
    EXPECT_EQ(QC_StrCmp("b", "a"), 1);
    EXPECT_EQ(QC_StrCmp("same", "same"), 0);
    EXPECT_EQ(QC_StrCmp("ab", "abc"), -1);
    EXPECT_EQ(QC_StrCmp("\xC3", "a"), -1); // 0xC3 is negative as a signed char
    EXPECT_EQ(QC_StrLen("four"), 4u);
}

TEST(QC_StringHelpersTest, NumbersToAndFromText)
{
    char buffer[16];
    QC_IntToString(-2147483647 - 1, buffer);
    EXPECT_STREQ(buffer, "-2147483648");
    QC_IntToString(42, buffer);
    EXPECT_STREQ(buffer, "42");
    EXPECT_FLOAT_EQ(QC_ToFloat("1.25"), 1.25f);
    EXPECT_FLOAT_EQ(QC_ToFloat("-0.5e1"), -5.0f);
    EXPECT_EQ(QC_ToFloat("bloom"), 0.0f);
    EXPECT_EQ(QC_ToInt("123abc"), 123);
    EXPECT_EQ(QC_ToInt("x"), 0);
    EXPECT_EQ(QC_ToInt("99999999999"), INT32_MAX);
}

TEST(QC_Utf8Test, DecodesAndRefusesShortSequences)
{
    std::uint32_t codePoint = 0;
    const unsigned char lead[] = {0xC3};
    EXPECT_EQ(QC_Utf8Decode(lead, 1, &codePoint), 0);
    const unsigned char e[] = {0xC3, 0xA9};
    EXPECT_EQ(QC_Utf8Decode(e, 2, &codePoint), 2);
    EXPECT_EQ(codePoint, 0xE9u);
    const unsigned char euro[] = {0xE2, 0x82, 0xAC};
    EXPECT_EQ(QC_Utf8Decode(euro, 3, &codePoint), 3);
    EXPECT_EQ(codePoint, 0x20ACu);
    const unsigned char grin[] = {0xF0, 0x9F, 0x98, 0x80};
    EXPECT_EQ(QC_Utf8Decode(grin, 4, &codePoint), 4);
    EXPECT_EQ(codePoint, 0x1F600u);
    EXPECT_EQ(QC_Utf8Decode(grin, 3, &codePoint), 0);
    const unsigned char invalid[] = {0xF8, 0x80, 0x80, 0x80};
    EXPECT_EQ(QC_Utf8Decode(invalid, 4, &codePoint), 0);
    EXPECT_EQ(QC_Utf8Decode(e, 0, &codePoint), 0);
}

TEST(QC_Utf8Test, ToUtf16FitsOrTruncatesWithATerminator)
{
    std::uint16_t one[1] = {0xFFFF};
    EXPECT_FALSE(QC_Utf8ToUtf16(QC_String("a"), one, 1));
    EXPECT_EQ(one[0], 0);

    std::uint16_t two[2] = {0xFFFF, 0xFFFF};
    EXPECT_TRUE(QC_Utf8ToUtf16(QC_String("a"), two, 2));
    EXPECT_EQ(two[0], 'a');
    EXPECT_EQ(two[1], 0);

    std::uint16_t pair[3];
    EXPECT_TRUE(QC_Utf8ToUtf16(QC_String("\xF0\x9F\x98\x80"), pair, 3));
    EXPECT_EQ(pair[0], 0xD83D);
    EXPECT_EQ(pair[1], 0xDE00);
    EXPECT_EQ(pair[2], 0);

    // A cut-short sequence fails, and what was converted before it stays terminated.
    std::uint16_t cut[8];
    std::fill(std::begin(cut), std::end(cut), 0xFFFF);
    EXPECT_FALSE(QC_Utf8ToUtf16(QC_String("ab\xC3"), cut, 8));
    EXPECT_EQ(cut[0], 'a');
    EXPECT_EQ(cut[1], 'b');
    EXPECT_EQ(cut[2], 0);

    EXPECT_EXIT({ QC_Utf8ToUtf16(QC_String("a"), two, 0); }, testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "Buffer size is zero\\.");
    EXPECT_EXIT({ QC_Utf8ToUtf16(QC_String("a"), two, 0x100001); }, testing::ExitedWithCode(QC_FATAL_EXIT_CODE),
                "Buffer size is too large\\.");
}

TEST(QC_Utf8Test, FromUtf16ConvertsPairsAndRefusesPlaneTwo)
{
    const std::uint16_t grin[] = {0xD83D, 0xDE00, 0};
    QC_String text("x");
    EXPECT_TRUE(QC_Utf16ToUtf8(grin, text));
    EXPECT_EQ(text, "x\xF0\x9F\x98\x80");

    const std::uint16_t mixed[] = {'A', 0xE9, 0x20AC, 0};
    QC_StaticString<64> small;
    EXPECT_TRUE(QC_Utf16ToUtf8(mixed, small));
    EXPECT_EQ(small, "A\xC3\xA9\xE2\x82\xAC");

    const std::uint16_t planeTwo[] = {0xD840, 0xDC00, 0}; // U+20000
    QC_String refused;
    EXPECT_FALSE(QC_Utf16ToUtf8(planeTwo, refused));

    const std::uint16_t loneHigh[] = {'a', 0xD83D, 0};
    QC_String cut;
    EXPECT_FALSE(QC_Utf16ToUtf8(loneHigh, cut));
    EXPECT_EQ(cut, "a");
}

TEST(QC_RandTest, SeedGivesTheSameSequenceOnEveryPlatform)
{
    QC_SRand(1);
    EXPECT_EQ(QC_Rand(), 41);
    EXPECT_EQ(QC_Rand(), 18467);
    EXPECT_EQ(QC_Rand(), 6334);
    QC_SRand(1);
    EXPECT_EQ(QC_Rand(), 41);
    for (int i = 0; i < 1000; ++i) {
        const int value = QC_Rand();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, QC_RAND_MAX);
    }
}
