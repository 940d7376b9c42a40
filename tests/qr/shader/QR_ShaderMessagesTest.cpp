// The one form of shader messages: the compiler's lines rewritten, each naming its file and line
// as FILE(LINE): error: ..., and those that name no place given the stage's.

#include "QR_ShaderMessages.h"

#include <gtest/gtest.h>

#include <string>

TEST(QR_ShaderMessagesTest, PlacesReadFileLineAndColumnWhereKnown)
{
    EXPECT_STREQ(QR_ShaderMessages::Place("assets/o1.qcs", 18).CStr(), "assets/o1.qcs(18): error: ");
    EXPECT_STREQ(QR_ShaderMessages::Place("assets/o1.qcs", 3, 7).CStr(), "assets/o1.qcs(3,7): error: ");
    // A source of no file is "0", as the compiler names it; there is no line 0.
    EXPECT_STREQ(QR_ShaderMessages::Place(nullptr, 0).CStr(), "0(1): error: ");
    EXPECT_STREQ(QR_ShaderMessages::Place("", 4).CStr(), "0(4): error: ");
}

TEST(QR_ShaderMessagesTest, EveryLineOfTheCompilersTextNamesItsPlaceInTheOneForm)
{
    struct Case
    {
        const char* what;
        const char* compiler;
        const char* expected;
    };
    // The stage as a whole is at assets/o1.qcs(21): its main.
    const Case cases[] = {
        {"the front end's place, its trailing blank cut", "ERROR: assets/o1.qcs:18: 'retrun' : unknown variable \n",
         "assets/o1.qcs(18): error: 'retrun' : unknown variable\n"},
        {"an included file keeps its own name", "ERROR: assets/lib/tone.hlsl:4: 'x' : undeclared identifier\n",
         "assets/lib/tone.hlsl(4): error: 'x' : undeclared identifier\n"},
        {"a warning stays a warning", "WARNING: assets/o1.qcs:7: 'QR_PI' : macro redefined\n",
         "assets/o1.qcs(7): warning: 'QR_PI' : macro redefined\n"},
        {"a note", "NOTE: assets/o1.qcs:9: see the declaration\n", "assets/o1.qcs(9): note: see the declaration\n"},
        {"the grammar's column counts in the preprocessed text: dropped",
         "assets/o1.qcs(18): error at column 31, HLSL parsing failed.\n", "assets/o1.qcs(18): error: HLSL parsing failed.\n"},
        {"a line already in the form", "assets/o1.qcs(3,4): error: Unknown semantic.\n",
         "assets/o1.qcs(3,4): error: Unknown semantic.\n"},
        {"an unnamed text's number", "ERROR: 0:46: 'retrun' : unknown variable", "0(46): error: 'retrun' : unknown variable\n"},
        {"a file name holding ':', '(' and spaces", "ERROR: my: dir/a(1).qcs:7: 'x' : y\n", "my: dir/a(1).qcs(7): error: 'x' : y\n"},
        {"the summary names no place", "ERROR: 4 compilation errors.  No code generated.\n\n\n",
         "assets/o1.qcs(21): error: 4 compilation errors.  No code generated.\n"},
        {"the linker names no place", "ERROR: Linking fragment stage: Missing entry point: Each stage requires one entry point\n",
         "assets/o1.qcs(21): error: Linking fragment stage: Missing entry point: Each stage requires one entry point\n"},
        {"validation names words, not lines", "SPIR-V validation (word 12): ID 5 has not been defined\r\n",
         "assets/o1.qcs(21): error: SPIR-V validation (word 12): ID 5 has not been defined\n"},
        {"a number too long to be a line is no place", "ERROR: a.qcs:12345678901: x\n",
         "assets/o1.qcs(21): error: a.qcs:12345678901: x\n"},
        {"several lines, each rewritten",
         "ERROR: assets/o1.qcs:18: 'retrun' : unknown variable \nERROR: assets/o1.qcs:18: 'declaration' : Expected \n"
         "assets/o1.qcs(18): error at column 31, HLSL parsing failed.\nERROR: 3 compilation errors.  No code generated.\n\n",
         "assets/o1.qcs(18): error: 'retrun' : unknown variable\nassets/o1.qcs(18): error: 'declaration' : Expected\n"
         "assets/o1.qcs(18): error: HLSL parsing failed.\nassets/o1.qcs(21): error: 3 compilation errors.  No code generated.\n"},
        {"no text", "", ""},
    };
    for (const Case& test : cases)
        EXPECT_STREQ(QR_ShaderMessages::FromCompiler(test.compiler, "assets/o1.qcs", 21).CStr(), test.expected) << test.what;
    EXPECT_STREQ(QR_ShaderMessages::FromCompiler(nullptr, "assets/o1.qcs", 21).CStr(), "");
    EXPECT_STREQ(QR_ShaderMessages::FromCompiler("The shader compiler crashed (signal 11); nothing was compiled.\n", nullptr, 0).CStr(),
                 "0(1): error: The shader compiler crashed (signal 11); nothing was compiled.\n");
}
