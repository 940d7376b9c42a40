#include "QR_ShaderParser.h"

#include "support/ShaderTestLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace
{
using Messages = std::vector<std::string>;

class QR_ShaderParserTest : public QR_ShaderLogTest
{
protected:
    const QR_ShaderDescription& Parse(const std::string& text, const char* sourceName = nullptr)
    {
        parser = std::make_unique<QR_ShaderParser>();
        parser->Parse(QC_String(text.c_str(), static_cast<std::uint32_t>(text.size())), sourceName);
        return parser->Description();
    }

    std::unique_ptr<QR_ShaderParser> parser;
};

std::string Names(const QR_ShaderList<QR_ShaderParameter>& parameters)
{
    std::string names;
    for (std::uint32_t i = 0; i < parameters.Count(); ++i)
        names += std::string(names.empty() ? "" : " ") + parameters[i].name.CStr();
    return names;
}

bool IsEmpty(const QR_ShaderDescription& d)
{
    return d.constantBlocks.Count() == 0 && d.samplers.Count() == 0 && d.vertexStage.inputs.Count() == 0 &&
           d.vertexStage.outputs.Count() == 0 && d.vertexStage.code.IsEmpty() && d.pixelStage.inputs.Count() == 0 &&
           d.pixelStage.outputs.Count() == 0 && d.pixelStage.code.IsEmpty();
}
} // namespace

TEST_F(QR_ShaderParserTest, TextWithoutBlocksGivesEmptyDescriptionSilently)
{
    for (const char* text : {"", " \t\r\n", "// only a comment", "/* unterminated", "// a\n/* b */\n\r  ", "vertex",
                             "constants {", "samplers {", "pixel"}) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(IsEmpty(Parse(text)));
        EXPECT_EQ(TakeMessages(), Messages{});
    }
}

TEST_F(QR_ShaderParserTest, ReadsBlocksInAnyOrderWithTheirRegisterOrder)
{
    const QR_ShaderDescription& d = Parse("samplers{QR_Sampler2D scene;}\n"
                                          "constants { first { float a; float2 b; float3 c; float4 d; } }\n"
                                          "samplers { QR_Sampler2D noise; }\n"
                                          "constants { second { float2x2 e; float3x3 f; float4x4 g; } empty { } }\n");
    EXPECT_EQ(TakeMessages(), Messages{});
    ASSERT_EQ(d.samplers.Count(), 2u);
    EXPECT_STREQ(d.samplers[0].name.CStr(), "scene");
    EXPECT_STREQ(d.samplers[1].name.CStr(), "noise");
    EXPECT_EQ(d.samplers[1].type, QR_SHADER_SAMPLER_2D);
    ASSERT_EQ(d.constantBlocks.Count(), 3u);
    EXPECT_STREQ(d.constantBlocks[0].name.CStr(), "first");
    EXPECT_STREQ(d.constantBlocks[1].name.CStr(), "second");
    EXPECT_STREQ(d.constantBlocks[2].name.CStr(), "empty");
    EXPECT_EQ(d.constantBlocks[2].constants.Count(), 0u);
    ASSERT_EQ(d.constantBlocks[0].constants.Count(), 4u);
    ASSERT_EQ(d.constantBlocks[1].constants.Count(), 3u);
    const QR_ShaderConstantType types[] = {QR_SHADER_CONSTANT_FLOAT,    QR_SHADER_CONSTANT_FLOAT2,
                                           QR_SHADER_CONSTANT_FLOAT3,   QR_SHADER_CONSTANT_FLOAT4,
                                           QR_SHADER_CONSTANT_FLOAT2X2, QR_SHADER_CONSTANT_FLOAT3X3,
                                           QR_SHADER_CONSTANT_FLOAT4X4};
    const char* names[] = {"a", "b", "c", "d", "e", "f", "g"};
    for (int i = 0; i < 7; ++i) {
        const QR_ShaderConstant& constant = d.constantBlocks[i < 4 ? 0 : 1].constants[i < 4 ? i : i - 4];
        EXPECT_EQ(constant.type, types[i]);
        EXPECT_STREQ(constant.name.CStr(), names[i]);
    }
}

TEST_F(QR_ShaderParserTest, CommentsSeparateTokensWherevertheyStand)
{
    // Block comments between any two tokens, "*/" consumed; "/*/" does not close a comment.
    const QR_ShaderDescription& d = Parse("constants/*a*/{/**/blk/* } */{float4/*x*/v/*;*/;}}\n"
                                          "samplers { /*/ QR_Sampler2D hidden; */ QR_Sampler2D shown; }\n"
                                          // A line comment ended by "\n\r", then by a plain "\n".
                                          "vertex // the stage\n\r{ void main(in// q\n QR_Position /* k */\n"
                                          "  inPosition) { } }\n");
    EXPECT_EQ(TakeMessages(), Messages{});
    ASSERT_EQ(d.constantBlocks.Count(), 1u);
    EXPECT_STREQ(d.constantBlocks[0].name.CStr(), "blk");
    ASSERT_EQ(d.constantBlocks[0].constants.Count(), 1u);
    EXPECT_STREQ(d.constantBlocks[0].constants[0].name.CStr(), "v");
    ASSERT_EQ(d.samplers.Count(), 1u);
    EXPECT_STREQ(d.samplers[0].name.CStr(), "shown");
    EXPECT_EQ(Names(d.vertexStage.inputs), "inPosition");
}

TEST_F(QR_ShaderParserTest, LineCommentRightAfterAWordEndsTheWord)
{
    // The next line's word must not be glued onto "float4" or "scene".
    const QR_ShaderDescription& d = Parse("constants { b { float4// the type\nvalue; } }\n"
                                          "samplers { QR_Sampler2D scene// the scene\n; }\n"
                                          "pixel { void main(out QR_Target colour// out\n) { } }\n");
    EXPECT_EQ(TakeMessages(), Messages{});
    ASSERT_EQ(d.constantBlocks.Count(), 1u);
    ASSERT_EQ(d.constantBlocks[0].constants.Count(), 1u);
    EXPECT_STREQ(d.constantBlocks[0].constants[0].name.CStr(), "value");
    ASSERT_EQ(d.samplers.Count(), 1u);
    EXPECT_STREQ(d.samplers[0].name.CStr(), "scene");
    EXPECT_EQ(Names(d.pixelStage.outputs), "colour");
}

TEST_F(QR_ShaderParserTest, StageCodeIsTheBlockTextVerbatimAndOnlyMainParametersAreRecorded)
{
    const std::string code = "\n  float4 Helper(float4 v) { return v * 2; } // }\n"
                             "  void main(in QR_Position inPosition, in QR_TexCoord0 inTexCoord,\n"
                             "            out QR_Position outPosition, out QR_TexCoord0_Float4 outData)\n"
                             "  {\n    /* { */ if (inTexCoord.x > 0) { outPosition = Helper(inPosition); }\n"
                             "    outData = 0; // {{\n  }\n  float Later(float a, float b) { return a; }\n";
    const QR_ShaderDescription& d = Parse("vertex{" + code + "}pixel {}");
    EXPECT_EQ(TakeMessages(), Messages{});
    EXPECT_EQ(std::string(d.vertexStage.code.CStr()), code);
    EXPECT_EQ(Names(d.vertexStage.inputs), "inPosition inTexCoord");
    EXPECT_EQ(Names(d.vertexStage.outputs), "outPosition outData");
    EXPECT_EQ(d.vertexStage.inputs[1].semantic, QR_SEMANTIC_TEXCOORD0);
    EXPECT_EQ(d.vertexStage.outputs[1].semantic, QR_SEMANTIC_TEXCOORD0_FLOAT4);
    EXPECT_TRUE(d.pixelStage.code.IsEmpty());
    EXPECT_EQ(d.pixelStage.inputs.Count(), 0u);
}

TEST_F(QR_ShaderParserTest, StructAtItemLevelEndsTheStageBlockAtItsClosingBrace)
{
    const QR_ShaderDescription& d = Parse("vertex { struct S { float a; }; void main(in QR_Position p) { } }");
    EXPECT_EQ(TakeMessages(), Messages{"0(1,31): error: Expected vertex, pixel, samplers or constants block."});
    EXPECT_STREQ(d.vertexStage.code.CStr(), " struct S { float a; ");
    EXPECT_EQ(d.vertexStage.inputs.Count(), 0u);
}

TEST_F(QR_ShaderParserTest, GlobalDeclarationsAreSteppedOverAndKeptInTheCode)
{
    const QR_ShaderDescription& d = Parse("pixel { static const float scale = 2.0;\n"
                                          "void main(in QR_Position p, out QR_Target t) { t = p * scale; } }");
    EXPECT_EQ(TakeMessages(), Messages{});
    EXPECT_EQ(Names(d.pixelStage.inputs), "p");
    EXPECT_EQ(Names(d.pixelStage.outputs), "t");
    EXPECT_NE(std::string(d.pixelStage.code.CStr()).find("static const float scale = 2.0;"), std::string::npos);

    // An initialiser calling a constructor reads like a prototype ("= float4(...)" then ";"): it is
    // reported, stepped over all the same, and main after it is still found.
    const QR_ShaderDescription& e = Parse("pixel { float4 tint = float4(1, 0, 0, 1);\n"
                                          "void main(out QR_Target t) { t = tint; } }");
    EXPECT_EQ(TakeMessages(), Messages{"0(1,41): error: Expected {"});
    EXPECT_EQ(Names(e.pixelStage.outputs), "t");
}

TEST_F(QR_ShaderParserTest, ASecondStageBlockReplacesTheCodeButAddsItsParameters)
{
    const QR_ShaderDescription& d = Parse("vertex { void main(in QR_Position a, out QR_Position b) { } }\n"
                                          "vertex {second void main(in QR_Colour c, out QR_Colour d) { } }");
    EXPECT_EQ(TakeMessages(), Messages{});
    EXPECT_EQ(std::string(d.vertexStage.code.CStr()).rfind("second", 0), 0u);
    EXPECT_EQ(Names(d.vertexStage.inputs), "a c");
    EXPECT_EQ(Names(d.vertexStage.outputs), "b d");

    // A later block that does not close empties the code again.
    const QR_ShaderDescription& e = Parse("pixel { void main() { } } pixel { ");
    EXPECT_EQ(TakeMessages(), Messages{"0(1,34): error: Expected }"});
    EXPECT_TRUE(e.pixelStage.code.IsEmpty());
}

TEST_F(QR_ShaderParserTest, MainMustReturnVoidToBeTheEntry)
{
    const QR_ShaderDescription& d = Parse("vertex { float4 main(in QR_Position p, out QR_Position q) { return p; } }\n"
                                          "pixel { float4 main(in QR_Position p) { return p; } }");
    EXPECT_EQ(TakeMessages(), (Messages{"0(1,17): error: Only return type void allowed for vertex main.",
                                        "0(2,16): error: Only return type void allowed for pixel main."}));
    EXPECT_EQ(d.vertexStage.inputs.Count() + d.vertexStage.outputs.Count() + d.pixelStage.inputs.Count(), 0u);
    EXPECT_FALSE(d.vertexStage.code.IsEmpty());
}

TEST_F(QR_ShaderParserTest, OnlyInAndOutQualifiedParametersAreRecorded)
{
    const QR_ShaderDescription& d =
        Parse("vertex { void main(inout QR_Colour a, in QR_Position b, out QR_Position c) { } }");
    EXPECT_EQ(TakeMessages(), Messages{});
    EXPECT_EQ(Names(d.vertexStage.inputs), "b");
    EXPECT_EQ(Names(d.vertexStage.outputs), "c");

    // Without a qualifier the words shift: the semantic is read as qualifier, the name as semantic,
    // the "," as name, and nothing is recorded. The item then fails, and stepping over it one token
    // at a time meets main's closing brace at item level, which ends the stage block early.
    const QR_ShaderDescription& e = Parse("pixel { void main(QR_Position p, in QR_Colour c) { } }");
    EXPECT_EQ(TakeMessages(), Messages{"0(1,54): error: Expected vertex, pixel, samplers or constants block."});
    EXPECT_EQ(e.pixelStage.inputs.Count(), 0u);
    EXPECT_STREQ(e.pixelStage.code.CStr(), " void main(QR_Position p, in QR_Colour c) { ");

    const QR_ShaderDescription& f = Parse("pixel { void main(in QR_Position p, in QR_Sparkle s, in QR_Colour c) {} }");
    EXPECT_EQ(TakeMessages(),
              (Messages{"0(1,40): error: Unknown semantics QR_Sparkle.",
                        "0(1,73): error: Expected vertex, pixel, samplers or constants block."}));
    EXPECT_EQ(Names(f.pixelStage.inputs), "p");
}

// Each message names the place the parser stopped at: the token it could not take, or the end of
// the text's last word when the text ran out ("0": a source read from no file).
TEST_F(QR_ShaderParserTest, EveryGrammarFaultIsReportedWithItsOwnMessageAtItsPlace)
{
    struct Case
    {
        const char* text;
        Messages messages;
    };
    const Case cases[] = {
        {"shader { }", {"0(1,1): error: Expected vertex, pixel, samplers or constants block."}},
        {"constants x ", {"0(1,11): error: Expected { after constants."}},
        {"constants { b } ", {"0(1,15): error: Expected { after constants block b."}},
        {"constants { b { int ", {"0(1,17): error: Unknown type int in constants block b."}},
        {"constants { b { float4 ", {"0(1,23): error: Expected constant name in constants block b"}},
        {"constants { b { float4 v ", {"0(1,25): error: Expected ; after v in constants block b"}},
        {"constants { b { float4 v; ", {"0(1,26): error: Expected } to close constants block b."}},
        {"samplers ( ", {"0(1,10): error: Expected { after samplers."}},
        {"samplers { Texture2D ", {"0(1,12): error: Unknown sampler type Texture2D."}},
        {"samplers { QR_Sampler2D ", {"0(1,24): error: Expected sampler name."}},
        {"samplers { QR_Sampler2D t }", {"0(1,27): error: Expected ; after sampler."}},
        {"vertex main ", {"0(1,8): error: Expected { after vertex."}},
        {"pixel main ", {"0(1,7): error: Expected { after pixel."}},
        {"vertex { ", {"0(1,9): error: Expected }"}},
        {"vertex { void f(float a ", {"0(1,24): error: Expected )", "0(1,24): error: Expected }"}},
        {"vertex { void f(float a); }", {"0(1,25): error: Expected {"}},
        {"vertex { void f() { if (x) { ", {"0(1,29): error: Expected closing }.", "0(1,29): error: Expected }"}},
        {"pixel { void main(in QR_Position p", {"0(1,35): error: Expected }"}},
        // Lines and columns: a line break ends a line (CR LF too), the end of the text reads as the
        // end of its last word, and a tab is one column.
        {"vertex\r\n{\n\tvoid main(in QR_Position p, out QR_Position q) { }\r\n}\n\t struct\n\n",
         {"0(5,3): error: Expected vertex, pixel, samplers or constants block."}},
        {"constants\n{\n  b\n  {\n    float4 v\n\n\n", {"0(5,13): error: Expected ; after v in constants block b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Parse(c.text);
        for (const ShaderLogLine& line : logLines) {
            EXPECT_EQ(line.level, QC_LOG_ERROR);
            EXPECT_EQ(line.file, "frame/qr/shading/QR_ShaderParser.cpp");
        }
        EXPECT_EQ(TakeMessages(), c.messages);
    }
}

// The description keeps the line of everything it records, for the generator's line map; a named
// source is named in every message, and a byte-order mark takes no column.
TEST_F(QR_ShaderParserTest, RecordsTheLineOfEachItemAndNamesTheSourceFileInMessages)
{
    const QR_ShaderDescription& d = Parse("\xEF\xBB\xBF// the look\n"                // 1
                                          "constants\n"                             // 2
                                          "{\n"                                     // 3
                                          "  look\n"                                // 4
                                          "  {\n"                                   // 5
                                          "    float4 tint;\n"                      // 6
                                          "    float2 offset; float scale;\n"       // 7
                                          "  }\n"                                   // 8
                                          "}\n"                                     // 9
                                          "samplers { QR_Sampler2D picture;\r\n"    // 10
                                          "  QR_Sampler2D noise; }\n"               // 11
                                          "pixel\n"                                 // 12
                                          "{ float4 Tint() { return 1; }\n"         // 13
                                          "  void\n"                                // 14
                                          "  main(in QR_Position p,\n"              // 15
                                          "       out QR_Target c) { c = p; }\n"    // 16
                                          "}\n",                                    // 17
                                          "shaders/look.qcs");
    EXPECT_EQ(TakeMessages(), Messages{});
    EXPECT_STREQ(d.sourceName.CStr(), "shaders/look.qcs");
    ASSERT_EQ(d.constantBlocks.Count(), 1u);
    EXPECT_EQ(d.constantBlocks[0].line, 4u);
    ASSERT_EQ(d.constantBlocks[0].constants.Count(), 3u);
    EXPECT_EQ(d.constantBlocks[0].constants[0].line, 6u);
    EXPECT_EQ(d.constantBlocks[0].constants[1].line, 7u);
    EXPECT_EQ(d.constantBlocks[0].constants[2].line, 7u);
    ASSERT_EQ(d.samplers.Count(), 2u);
    EXPECT_EQ(d.samplers[0].line, 10u);
    EXPECT_EQ(d.samplers[1].line, 11u);
    EXPECT_EQ(d.pixelStage.blockLine, 12u);
    EXPECT_EQ(d.pixelStage.codeLine, 13u);
    EXPECT_EQ(d.pixelStage.entryLine, 15u);
    EXPECT_EQ(d.pixelStage.PlaceLine(), 15u);
    EXPECT_EQ(d.pixelStage.inputs[0].line, 15u);
    EXPECT_EQ(d.pixelStage.outputs[0].line, 16u);
    // A stage without a block records no line; messages about it name line 1.
    EXPECT_EQ(d.vertexStage.blockLine + d.vertexStage.codeLine + d.vertexStage.entryLine, 0u);
    EXPECT_EQ(d.vertexStage.PlaceLine(), 1u);
    // Without main, the stage is named by its block.
    EXPECT_EQ(Parse("\n\nvertex { }").vertexStage.PlaceLine(), 3u);

    Parse("\xEF\xBB\xBFshader {}", "shaders/look.qcs");
    EXPECT_EQ(TakeMessages(), Messages{"shaders/look.qcs(1,1): error: Expected vertex, pixel, samplers or constants block."});
}

TEST_F(QR_ShaderParserTest, ParseGoesOnAfterABlockErrorAndKeepsWhatWasRecorded)
{
    // Each faulty block ends at the token it rejects; the next block keyword is read normally.
    const QR_ShaderDescription& d = Parse("constants { kept { float4 a; } named ;\n"
                                          "samplers { QR_Sampler2D s; QR_Sampler3D\n"
                                          "pixel { void main(out QR_Target t) { } }");
    EXPECT_EQ(TakeMessages(), (Messages{"0(1,38): error: Expected { after constants block named.",
                                        "0(2,28): error: Unknown sampler type QR_Sampler3D."}));
    ASSERT_EQ(d.constantBlocks.Count(), 2u);
    EXPECT_EQ(d.constantBlocks[0].constants.Count(), 1u);
    EXPECT_STREQ(d.constantBlocks[1].name.CStr(), "named");
    EXPECT_EQ(d.constantBlocks[1].constants.Count(), 0u);
    EXPECT_EQ(d.samplers.Count(), 1u);
    EXPECT_EQ(Names(d.pixelStage.outputs), "t");
}

TEST_F(QR_ShaderParserTest, ASeventeenthEntryIsReportedAndDropped)
{
    std::string blocks = "constants {";
    std::string constants = "constants { full {";
    std::string samplers = "samplers {";
    std::string inputs;
    std::string outputs;
    for (int i = 0; i < 17; ++i) {
        const std::string n = std::to_string(i);
        blocks += " b" + n + " { }";
        constants += " float c" + n + ";";
        samplers += " QR_Sampler2D s" + n + ";";
        inputs += " in QR_TexCoord0_Float i" + n + ",";
        outputs += " out QR_TexCoord1_Float o" + n + (i == 16 ? ")" : ",");
    }
    const std::string blockLine = blocks + " b17 { float x; } }";
    const std::string stageLine = "vertex { void main(" + inputs + outputs + " { } }";
    const QR_ShaderDescription& d =
        Parse(blockLine + "\n" + constants + " } }\n" + samplers + " }\n" + stageLine);
    // Each is reported at the entry that does not fit: its name, or its first word.
    const auto at = [](int line, std::size_t offset) {
        return "0(" + std::to_string(line) + "," + std::to_string(offset + 1) + "): error: ";
    };
    // The block holding 17 constants is the 19th block: dropped whole, constants included.
    EXPECT_EQ(TakeMessages(),
              (Messages{at(1, blockLine.find("b16")) + "Too many constant blocks.",
                        at(1, blockLine.find("b17")) + "Too many constant blocks.",
                        at(2, constants.find("full")) + "Too many constant blocks.",
                        at(3, samplers.find("QR_Sampler2D s16")) + "Too many samplers.",
                        at(4, stageLine.find("in QR_TexCoord0_Float i16")) + "Too many inputs of vertex main.",
                        at(4, stageLine.find("out QR_TexCoord1_Float o16")) + "Too many outputs of vertex main."}));
    ASSERT_EQ(d.constantBlocks.Count(), 16u);
    EXPECT_STREQ(d.constantBlocks[15].name.CStr(), "b15");
    EXPECT_EQ(d.constantBlocks[15].constants.Count(), 0u);
    EXPECT_EQ(d.samplers.Count(), 16u);
    EXPECT_STREQ(d.samplers[15].name.CStr(), "s15");
    EXPECT_EQ(d.vertexStage.inputs.Count(), 16u);
    EXPECT_STREQ(d.vertexStage.outputs[15].name.CStr(), "o15");
    EXPECT_EQ(d.vertexStage.outputs.Count(), 16u);

    const QR_ShaderDescription& e = Parse(constants + " } }");
    EXPECT_EQ(TakeMessages(), Messages{at(1, constants.find("float c16")) + "Too many constants in constants block full."});
    ASSERT_EQ(e.constantBlocks[0].constants.Count(), 16u);
    EXPECT_STREQ(e.constantBlocks[0].constants[15].name.CStr(), "c15");
}

TEST_F(QR_ShaderParserTest, NamesHoldAtMost127Characters)
{
    const std::string longest(127, 'n');
    const QR_ShaderDescription& d = Parse("constants { " + longest + " { float4 " + longest + "; } }\n" +
                                          "samplers { QR_Sampler2D " + longest + "; }\n" +
                                          "pixel { void main(out QR_Target " + longest + ") { } }");
    EXPECT_EQ(TakeMessages(), Messages{});
    EXPECT_EQ(d.constantBlocks[0].name.Length(), 127u);
    EXPECT_EQ(d.constantBlocks[0].constants[0].name.Length(), 127u);
    EXPECT_EQ(d.samplers[0].name.Length(), 127u);
    EXPECT_EQ(d.pixelStage.outputs[0].name.Length(), 127u);
}

TEST_F(QR_ShaderParserTest, NamesOf128CharactersAreFatal)
{
    const std::string tooLong(128, 'n');
    const std::string sources[] = {
        "constants { " + tooLong + " { } }",
        "constants { b { float " + tooLong + "; } }",
        "samplers { QR_Sampler2D " + tooLong + "; }",
        "vertex { void main(in QR_Position " + tooLong + ") { } }",
    };
    for (const std::string& source : sources) {
        EXPECT_EXIT(Parse(source), testing::ExitedWithCode(QC_FATAL_EXIT_CODE), "\\[FATAL\\] Buffer overflow\\.");
    }
}

TEST_F(QR_ShaderParserTest, FailedItemsReReadingTheSameTextKeepTheirReportsInBounds)
{
    // Every "(" after the first starts a parameter list that never closes: each is reported, and
    // the stage block still closes at the last "}".
    std::string unclosed = "vertex { ";
    for (int i = 0; i < 50; ++i)
        unclosed += "(f";
    const QR_ShaderDescription& d = Parse(unclosed + " }");
    // The first list runs into the end of the text; every later one is refused at its "(" (the
    // third and every second one after it: the others are read as names).
    Messages unclosedLists{"0(1,112): error: Expected )"};
    for (int column = 14; column <= 108; column += 2)
        unclosedLists.push_back("0(1," + std::to_string(column) + "): error: Expected )");
    EXPECT_EQ(TakeMessages(), unclosedLists);
    EXPECT_EQ(std::string(d.vertexStage.code.CStr()), unclosed.substr(8) + " ");

    // Unclosed mains re-read the parameters after them: the full input list is reported once.
    std::string mains = "vertex { ";
    for (int i = 0; i < 40; ++i)
        mains += "void main(in QR_Position p" + std::to_string(i) + ", ";
    // (How the words line up as qualifier, semantic and name shifts from one reading to the next,
    // so which parameters land in the list is of no interest here.)
    const QR_ShaderDescription& e = Parse(mains + "}");
    const Messages messages = TakeMessages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& m) { return m.ends_with("): error: Too many inputs of vertex main."); }),
              1);
    EXPECT_EQ(e.vertexStage.inputs.Count(), 16u);
}
