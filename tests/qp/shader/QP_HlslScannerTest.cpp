// The HLSL token scanner the compile chain's passes share: what makes a token, what is skipped,
// the lines and files that #line directives give, and each pass's reading of the corners.

#include "QP_HlslScanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Each token as line, kind (n name, 9 number, s string, p punctuation) and text, with "@file"
// where its file is not the source's. Tokens come in order and never overlap.
std::vector<std::string> Scan(const std::string& text, unsigned options = 0)
{
    QP_HlslScanner scanner(text.data(), text.size(), "main.hlsl", options);
    std::vector<std::string> tokens;
    std::size_t previousEnd = 0;
    for (QP_HlslScanner::Token token; scanner.Next(token);) {
        EXPECT_LE(previousEnd, token.begin) << text;
        EXPECT_LT(token.begin, token.end) << text;
        previousEnd = token.end;
        static const char kinds[] = {'n', '9', 's', 'p'};
        std::string entry = std::to_string(token.line) + kinds[token.kind] + text.substr(token.begin, token.end - token.begin);
        if (token.file != 0)
            entry += "@" + scanner.FileName(token.file);
        tokens.push_back(entry);
    }
    EXPECT_LE(previousEnd, text.size());
    return tokens;
}

using Tokens = std::vector<std::string>;
} // namespace

TEST(QP_HlslScannerTest, TokensSkipCommentsAndDirectivesAndEachPassReadsTheCornersItsWay)
{
    const std::string text = "float4 x = 1.5f; // gl_a \"\n"   // 1
                             "/* a\r\n b */ s = \"q\\\"r\" + .5;\r\n" // 2, 3
                             "  #define M(a) \\\r\n"              // 4
                             "    a+1gl_x 2.\n"                   // 5
                             "y::z#w \"a\\\n"                    // 6
                             "\f#v b\" c";                         // 7
    const Tokens common = {"1nfloat4", "1nx", "1p=", "191.5", "1nf", "1p;", "3ns", "3p=", "3s\"q\\\"r\"", "3p+", "39.5", "3p;"};
    const Tokens fifth = {"5na", "5p+", "591", "5ngl_x", "592", "5p."};
    const Tokens sixth = {"6ny", "6p:", "6p:", "6nz", "6p#", "6nw", "6s\"a\\"};

    // No option: a directive ends at its line break, a form feed is a token, a string ends at its
    // line break whatever stands before it.
    Tokens guards = common;
    guards.insert(guards.end(), fifth.begin(), fifth.end());
    guards.insert(guards.end(), sixth.begin(), sixth.end());
    for (const char* rest : {"7p\f", "7p#", "7nv", "7nb", "7s\" c"})
        guards.push_back(rest);
    EXPECT_EQ(Scan(text), guards);

    // The rewrite's: the continued directive takes line 5, and line 7 is a directive.
    Tokens rewrite = common;
    rewrite.insert(rewrite.end(), sixth.begin(), sixth.end());
    EXPECT_EQ(Scan(text, QP_HlslScanner::CONTINUED_DIRECTIVES | QP_HlslScanner::FORM_FEEDS_AS_SPACE), rewrite);

    // The guards' and the stage scan's strings go on over an escaped line break, which still
    // counts as a line: what follows keeps the number the author sees.
    const Tokens escaped = Scan("\"a\\\nb\" c\nd", QP_HlslScanner::ESCAPED_BREAKS_IN_STRINGS);
    EXPECT_EQ(escaped, (Tokens{"1s\"a\\\nb\"", "2nc", "3nd"}));

    // Unclosed comments and strings end with the text; a lone '#' or '/' is harmless.
    EXPECT_EQ(Scan("a /* b\n c"), Tokens{"1na"});
    EXPECT_EQ(Scan("a \"b\\"), (Tokens{"1na", "1s\"b\\"}));
    EXPECT_EQ(Scan("#"), Tokens{});
    EXPECT_EQ(Scan("/"), Tokens{"1p/"});
}

TEST(QP_HlslScannerTest, LineDirectivesGiveTheLineAndFileOfTheLinesAfterThem)
{
    const std::string text = "a\n"                             // 1 of main.hlsl
                             "#line 10\n"
                             "b\n"                             // 10
                             " # line 20 \"inc.hlsl\"\r\n"
                             "c /* \n */ d\n"                  // 20, 21 of inc.hlsl
                             "#line 30 \"\"\n"
                             "e\n"                             // 30: the file stays, or is ""
                             "#line\t40\t\"main.hlsl\" junk\n"
                             "f\n"                             // 40 of main.hlsl again
                             "#line 7 \"open\n"
                             "g\n"                             // 7: an unclosed name sets the line alone
                             "#linex 3\n#pragma line 3\n#line\n"
                             "h\n"                             // 11: none of them is a #line
                             "#line 12345678901\n"
                             "i";                              // the first nine digits
    EXPECT_EQ(Scan(text), (Tokens{"1na", "10nb", "20nc@inc.hlsl", "21nd@inc.hlsl", "30ne@inc.hlsl", "40nf", "7ng",
                                  "11nh", "123456789ni"}));
    EXPECT_EQ(Scan(text, QP_HlslScanner::EMPTY_FILE_NAMES)[4], "30ne@");

    // A continued #line directive is read on its first line; the line after it is still N.
    EXPECT_EQ(Scan("#line 5 \\\n x\ny", QP_HlslScanner::CONTINUED_DIRECTIVES), Tokens{"5ny"});
    // Without a source name the text is "0", as the front end names it.
    EXPECT_EQ(QP_HlslScanner("", 0, nullptr).FileName(0), "0");
}
