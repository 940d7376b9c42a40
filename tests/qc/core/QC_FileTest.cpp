#include "QC_File.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string ToStd(const QC_String& text)
{
    return std::string(text.CStr(), text.Length());
}
} // namespace

TEST(QC_ReadFileTest, CrLfArrivesAsLfAndLengthCountsTheBytesKept)
{
    TempDir dir;
    const std::string path = dir.Write("crlf.txt", "line one\r\nline two\r\n\r\nend");
    QC_String text;
    ASSERT_TRUE(QC_ReadFile(path.c_str(), text));
    EXPECT_EQ(ToStd(text), "line one\nline two\n\nend");
    EXPECT_EQ(text.Length(), 22u);
    EXPECT_EQ(QC_StrLen(text.CStr()), text.Length());
}

TEST(QC_ReadFileTest, LoneCarriageReturnsAndOtherBytesAreKept)
{
    TempDir dir;
    // A CR not followed by LF stays, as does a CR at the very end; CR CR LF loses only one CR.
    const std::string bytes = std::string("a\rb\r\r\nc\xff\x01\r", 10);
    const std::string path = dir.Write("mixed.txt", bytes);
    QC_String text;
    ASSERT_TRUE(QC_ReadFile(path.c_str(), text));
    EXPECT_EQ(ToStd(text), std::string("a\rb\r\nc\xff\x01\r", 9));
}

TEST(QC_ReadFileTest, EmptyFileGivesEmptyString)
{
    TempDir dir;
    const std::string path = dir.Write("empty.txt", "");
    QC_String text("previous");
    ASSERT_TRUE(QC_ReadFile(path.c_str(), text));
    EXPECT_EQ(text.Length(), 0u);
    EXPECT_STREQ(text.CStr(), "");
}

TEST(QC_ReadFileTest, ReplacesPreviousContentOfALongerString)
{
    TempDir dir;
    const std::string path = dir.Write("short.txt", "ab\r\n");
    QC_String text("a much longer previous text");
    ASSERT_TRUE(QC_ReadFile(path.c_str(), text));
    EXPECT_EQ(ToStd(text), "ab\n");
}

TEST(QC_ReadFileTest, MissingFileOrDirectoryFailsAndLeavesTheStringAlone)
{
    TempDir dir;
    QC_String text("untouched");
    EXPECT_FALSE(QC_ReadFile(dir.File("missing.txt").c_str(), text));
    EXPECT_EQ(ToStd(text), "untouched");
    EXPECT_FALSE(QC_ReadFile(dir.Path().c_str(), text));
    EXPECT_EQ(ToStd(text), "untouched");
}

TEST(QC_ReadFileTest, LargeFileIsReadWhole)
{
    TempDir dir;
    std::string bytes;
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        bytes += "0123456789\r\n";
        expected += "0123456789\n";
    }
    const std::string path = dir.Write("large.txt", bytes);
    QC_String text;
    ASSERT_TRUE(QC_ReadFile(path.c_str(), text));
    EXPECT_EQ(text.Length(), expected.size());
    EXPECT_TRUE(ToStd(text) == expected);
}

TEST(QC_DropCarriageReturnsTest, CountsOnlyTheBytesKept)
{
    char bytes[] = "\r\n\r\n";
    EXPECT_EQ(QC_DropCarriageReturns(bytes, 4), 2u);
    EXPECT_EQ(std::string(bytes, 2), "\n\n");
    char lone[] = "\r";
    EXPECT_EQ(QC_DropCarriageReturns(lone, 1), 1u);
}

TEST(QC_ReadFileBytesTest, GivesEveryByteAsStoredAndFailsLikeTheTextReader)
{
    TempDir dir;
    const std::string bytes = std::string("1 = 0.5;\r\n\r\n// \xEF\xBB\xBF\r\0end\r", 24);
    const std::string path = dir.Write("crlf.qcs", bytes);
    QC_String read("previous");
    ASSERT_TRUE(QC_ReadFileBytes(path.c_str(), read));
    EXPECT_EQ(ToStd(read), bytes);
    // The text reader still drops the CR of each CR LF.
    QC_String text;
    ASSERT_TRUE(QC_ReadFile(path.c_str(), text));
    EXPECT_EQ(ToStd(text), std::string("1 = 0.5;\n\n// \xEF\xBB\xBF\r\0end\r", 22));

    QC_String empty("previous");
    ASSERT_TRUE(QC_ReadFileBytes(dir.Write("empty.qcs", "").c_str(), empty));
    EXPECT_TRUE(empty.IsEmpty());
    QC_String untouched("kept");
    EXPECT_FALSE(QC_ReadFileBytes(dir.File("missing.qcs").c_str(), untouched));
    EXPECT_FALSE(QC_ReadFileBytes(dir.Path().c_str(), untouched));
    EXPECT_EQ(ToStd(untouched), "kept");
}
