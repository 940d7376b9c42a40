// The text front of the compile chain: the preprocessor runs first (macros, #include through a
// handler), the crash guards check the expanded text, and every message names the original
// file and line. Byte-order marks and backslash-CR-LF continuations read like plain text.

#include "support/GpuTestSupport.h"
#include "QP_FileInclude.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
struct CompileOutcome
{
    QP_Result result = QP_E_FAIL;
    std::string messages;
    QC_Ptr<QP_Blob> code;
};

CompileOutcome CompileWith(const std::string& text, const char* name, QP_Include* include, const char* profile = "ps_4_0")
{
    CompileOutcome outcome;
    QC_Ptr<QP_Blob> errors;
    outcome.result = QP_Compile(text.data(), text.size(), name, include, "QR_Main", profile, &outcome.code, &errors);
    outcome.messages = QP_BlobText(errors.Get());
    return outcome;
}

bool Mentions(const std::string& messages, const std::string& what)
{
    return messages.find(what) != std::string::npos;
}

std::string ReadBytes(const std::filesystem::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

const char* const byteOrderMark = "\xEF\xBB\xBF";

// Draws with a pixel stage whose braces come from macros.
class QP_ShaderPreprocessDrawTest : public QP_GpuTest
{
};
} // namespace

TEST_F(QP_ShaderPreprocessDrawTest, MacroHoldingHalfABracketPairCompilesAndDraws)
{
    const char* pixel = "#define BEGIN {\n"
                        "#define END }\n"
                        "#define CALL_OPEN saturate(\n"
                        "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET\n"
                        "BEGIN\n"
                        "    return CALL_OPEN float4(1.0, 0.5, 0.0, 2.0));\n"
                        "END\n";
    UseVertexShader(gpuPassThroughVertexShader);
    UsePixelShader(pixel);
    ClearBackBuffer(0, 0, 0, 1);
    DrawQuad(-1, -1, 1, 1);
    ReadBack();
    EXPECT_TRUE(Near(Pixel(32, 32), {255, 128, 0, 255}));
}

TEST(QP_ShaderPreprocessTest, ByteOrderMarkAndBackslashCrLfReadLikePlainText)
{
    const std::string body = "#define SHADE(colour) \\\r\n"
                             "    ((colour) * \\\r\n"
                             "     0.5)\r\n"
                             "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET\r\n"
                             "{\r\n"
                             "    return SHADE(p);\r\n"
                             "}\r\n";
    CompileOutcome plain = CompileWith(body, "stage.hlsl", nullptr);
    EXPECT_EQ(plain.result, QP_OK) << plain.messages;
    CompileOutcome marked = CompileWith(byteOrderMark + body, "stage.hlsl", nullptr);
    EXPECT_EQ(marked.result, QP_OK) << "a leading byte-order mark is skipped: " << marked.messages;

    // Line numbers count the continued lines and ignore the mark.
    const std::string broken = std::string(byteOrderMark) + "#define SHADE(colour) \\\r\n"
                                                            "    ((colour) * \\\r\n"
                                                            "     0.5)\r\n"
                                                            "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET\r\n"
                                                            "{\r\n"
                                                            "    return SHADE(undeclared);\r\n"
                                                            "}\r\n";
    CompileOutcome error = CompileWith(broken, "stage.hlsl", nullptr);
    EXPECT_EQ(error.result, QP_E_FAIL);
    EXPECT_TRUE(Mentions(error.messages, "stage.hlsl:6:")) << error.messages;

    // A guard's message after continued lines still has the original line.
    const std::string guarded = "#define A(x) \\\r\n    (x)\r\nfloat1 f;\r\n";
    CompileOutcome refused = CompileWith(guarded, "stage.hlsl", nullptr);
    EXPECT_EQ(refused.result, QP_E_FAIL);
    EXPECT_TRUE(Mentions(refused.messages, "stage.hlsl:3: 'float1'")) << refused.messages;

    // A macro name right before a continuation that ends in an empty line or the end of the text
    // (the address-sanitiser build reports any memory the preprocessor loses on it).
    for (const char* text : {"#define E ;\nE\\\n", "#define E ;\nE\\\n\n", "#define E ;\nE\\\r\n\nfloat1 f;\n"}) {
        CompileOutcome outcome = CompileWith(text, "stage.hlsl", nullptr);
        EXPECT_EQ(outcome.result, QP_E_FAIL) << text;
        EXPECT_FALSE(outcome.messages.empty()) << text;
    }
    CompileOutcome afterJoin = CompileWith("#define E ;\nE\\\r\n\nfloat1 f;\n", "stage.hlsl", nullptr);
    EXPECT_TRUE(Mentions(afterJoin.messages, "stage.hlsl:4: 'float1'")) << afterJoin.messages;
}

TEST(QP_ShaderPreprocessTest, CrasherHiddenBehindAMacroOrAnIncludeIsStillRefused)
{
    struct Case
    {
        const char* what;
        std::string text;
        const char* expected;
    };
    const Case cases[] = {
        {"one-component vector from a macro", "#define ONE float1\nONE f;\nfloat4 QR_Main() : SV_TARGET { return 0; }\n",
         "main.hlsl:2: 'float1'"},
        {"modifier at top level from a macro", "#define MOD in\n\nMOD float4 x;\n", "main.hlsl:3: 'in'"},
        {"unclosed call from a macro", "#define OPEN float4(\nfloat4 QR_Main() : SV_TARGET\n{\n    return OPEN 1, 2, 3, 4;\n}\n",
         "main.hlsl:5: '}'"},
        {"unnamed parameter from a macro", "#define PARAMETER uint\nfloat4 QR_Main(PARAMETER) : SV_POSITION { return 0; }\n",
         "main.hlsl:2: 'uint' : entry point parameter without a name"},
    };
    for (const Case& test : cases) {
        CompileOutcome outcome = CompileWith(test.text, "main.hlsl", nullptr, "vs_4_0");
        EXPECT_EQ(outcome.result, QP_E_FAIL) << test.what;
        EXPECT_TRUE(Mentions(outcome.messages, test.expected)) << test.what << ": " << outcome.messages;
    }

    // A global named like a GL built-in (the front end crashes on it) made by pasting tokens is
    // renamed like a written one: the rename runs on the expanded text.
    CompileOutcome pasted = CompileWith("#define GLUE(a, b) a##b\nstatic const float4 GLUE(gl_, InstanceID) = 1;\n"
                                        "float4 QR_Main() : SV_POSITION { return gl_InstanceID; }\n",
                                        "main.hlsl", nullptr, "vs_4_0");
    ASSERT_EQ(pasted.result, QP_OK) << pasted.messages;
    const char* pastedGlsl = QP_ShaderCodeText(pasted.code.Get());
    EXPECT_FALSE(Mentions(pastedGlsl ? pastedGlsl : " gl_InstanceID", " gl_InstanceID")) << (pastedGlsl ? pastedGlsl : "");

    // Each kept crasher, included from a file instead of compiled directly, in the helper process
    // (some crash the front end past every guard): a failure with a message, and the includes
    // are still answered by this process after a helper crashed.
    QP_SetShaderCompilerIsolation(true);
    TempDir folder;
    const std::filesystem::path crashers = std::filesystem::path(VC_SOURCE_DIR) / "tests/fuzz/crashers";
    int included = 0;
    for (const auto& entry : std::filesystem::directory_iterator(crashers)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("shader_compile-", 0) != 0)
            continue;
        const std::string bytes = ReadBytes(entry.path());
        folder.Write("crasher.hlsl", bytes.substr(1));
        QP_FileInclude include(folder.Path().c_str());
        CompileOutcome outcome = CompileWith("#include \"crasher.hlsl\"\n", folder.File("main.hlsl").c_str(), &include,
                                             (bytes[0] & 1) ? "ps_4_0" : "vs_4_0");
        EXPECT_EQ(outcome.result, QP_E_FAIL) << name;
        EXPECT_FALSE(outcome.messages.empty()) << name;
        ++included;
    }
    QP_SetShaderCompilerIsolation(false);
    EXPECT_GE(included, 13);
}

TEST(QP_ShaderPreprocessTest, IncludesResolveRelativeToTheIncludingFileAndMessagesNameTheirLines)
{
    TempDir folder;
    std::filesystem::create_directories(folder.Path() / "lib");
    folder.Write("lib/colour.hlsl", std::string(byteOrderMark) + "#include \"scale.hlsl\"\n"
                                                                 "float4 Colour(float4 p) { return Scale(p); }\n");
    folder.Write("lib/scale.hlsl", "// the scale\nfloat4 Scale(float4 p) { return p * 0.5; }\n");
    const std::string main = "// first line\n"
                             "#include \"lib/colour.hlsl\"\n"
                             "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return Colour(p); }\n";
    const std::string mainName = folder.File("main.hlsl");
    QP_FileInclude include(folder.Path().c_str());
    CompileOutcome outcome = CompileWith(main, mainName.c_str(), &include);
    ASSERT_EQ(outcome.result, QP_OK) << outcome.messages;
    ASSERT_EQ(include.OpenedFiles().size(), 2u);
    EXPECT_EQ(include.OpenedFiles()[0], folder.File("lib/colour.hlsl"));
    EXPECT_EQ(include.OpenedFiles()[1], folder.File("lib/scale.hlsl")) << "nested: relative to lib/colour.hlsl";

    // An error in the nested file names it and its own line; one after the include names the
    // including file's line.
    folder.Write("lib/scale.hlsl", "// the scale\nfloat4 Scale(float4 p) { return p * undeclared; }\n");
    include.ClearRecords();
    outcome = CompileWith(main, mainName.c_str(), &include);
    EXPECT_EQ(outcome.result, QP_E_FAIL);
    EXPECT_TRUE(Mentions(outcome.messages, folder.File("lib/scale.hlsl") + ":2:")) << outcome.messages;
    folder.Write("lib/scale.hlsl", "float4 Scale(float4 p) { return p; }\n");
    outcome = CompileWith(main + "float4 Other() { return undeclared; }\n", mainName.c_str(), &include);
    EXPECT_EQ(outcome.result, QP_E_FAIL);
    EXPECT_TRUE(Mentions(outcome.messages, mainName + ":4:")) << outcome.messages;

    // A guard's message inside an included file, and a bracket opened there and never closed.
    folder.Write("lib/scale.hlsl", "\nfloat1 Scale;\n");
    outcome = CompileWith(main, mainName.c_str(), &include);
    EXPECT_TRUE(Mentions(outcome.messages, folder.File("lib/scale.hlsl") + ":2: 'float1'")) << outcome.messages;
    folder.Write("lib/scale.hlsl", "\n\nfloat4 Scale(float4 p) {\n");
    outcome = CompileWith(main, mainName.c_str(), &include);
    EXPECT_TRUE(Mentions(outcome.messages, folder.File("lib/scale.hlsl") + ":3: '{' : bracket opened here is never closed"))
        << outcome.messages;

    // <file> resolves the same way.
    folder.Write("lib/scale.hlsl", "float4 Scale(float4 p) { return p; }\n");
    outcome = CompileWith("#include <lib/colour.hlsl>\n"
                          "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return Colour(p); }\n",
                          mainName.c_str(), &include);
    EXPECT_EQ(outcome.result, QP_OK) << outcome.messages;
}

TEST(QP_ShaderPreprocessTest, MissingTooDeepOrUnhandledIncludesFailAtTheDirectiveLine)
{
    TempDir folder;
    const std::string mainName = folder.File("main.hlsl");
    {
        QP_FileInclude include(folder.Path().c_str());
        CompileOutcome outcome = CompileWith("\n\n#include \"absent.hlsl\"\n", mainName.c_str(), &include);
        EXPECT_EQ(outcome.result, QP_E_FAIL);
        EXPECT_TRUE(Mentions(outcome.messages, "ERROR: " + mainName + ":3:")) << outcome.messages;
        EXPECT_TRUE(Mentions(outcome.messages, "cannot open include file 'absent.hlsl'")) << outcome.messages;
        ASSERT_EQ(include.MissingFiles().size(), 1u) << "a file created there later changes the compile";
        EXPECT_EQ(include.MissingFiles()[0], folder.File("absent.hlsl"));
    }
    {
        // Missing below an included file: that file's name and line.
        folder.Write("outer.hlsl", "// outer\n#include \"inner.hlsl\"\n");
        QP_FileInclude include(folder.Path().c_str());
        CompileOutcome outcome = CompileWith("#include \"outer.hlsl\"\n", mainName.c_str(), &include);
        EXPECT_TRUE(Mentions(outcome.messages, folder.File("outer.hlsl") + ":2:")) << outcome.messages;
        EXPECT_TRUE(Mentions(outcome.messages, "'inner.hlsl'")) << outcome.messages;
    }
    {
        // A file including itself stops at the depth limit, at the directive's line.
        folder.Write("self.hlsl", "\n#include \"self.hlsl\"\n");
        QP_FileInclude include(folder.Path().c_str());
        CompileOutcome outcome = CompileWith("#include \"self.hlsl\"\n", mainName.c_str(), &include);
        EXPECT_EQ(outcome.result, QP_E_FAIL);
        EXPECT_TRUE(Mentions(outcome.messages, "nested more than 16 files deep")) << outcome.messages;
        EXPECT_TRUE(Mentions(outcome.messages, folder.File("self.hlsl") + ":2:")) << outcome.messages;
    }
    {
        CompileOutcome outcome = CompileWith("\n#include \"any.hlsl\"\n", "main.hlsl", nullptr);
        EXPECT_EQ(outcome.result, QP_E_FAIL);
        EXPECT_TRUE(Mentions(outcome.messages, "main.hlsl:2:")) << outcome.messages;
        EXPECT_TRUE(Mentions(outcome.messages, "no include handler")) << outcome.messages;
    }
}

TEST(QP_ShaderPreprocessTest, IsolatedCompileAsksTheCallersHandlerForIncludes)
{
    TempDir folder;
    std::filesystem::create_directories(folder.Path() / "lib");
    folder.Write("lib/colour.hlsl", "#include \"scale.hlsl\"\nfloat4 Colour(float4 p) { return Scale(p); }\n");
    folder.Write("lib/scale.hlsl", "float4 Scale(float4 p) { return p * 0.5; }\n");
    const std::string good = "#include \"lib/colour.hlsl\"\n"
                             "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return Colour(p); }\n";
    const std::string missing = "\n#include \"lib/absent.hlsl\"\n";
    const std::string mainName = folder.File("main.hlsl");
    for (const std::string& text : {good, missing}) {
        QP_FileInclude here(folder.Path().c_str());
        CompileOutcome local = CompileWith(text, mainName.c_str(), &here);
        QP_SetShaderCompilerIsolation(true);
        QP_FileInclude there(folder.Path().c_str());
        CompileOutcome isolated = CompileWith(text, mainName.c_str(), &there);
        QP_SetShaderCompilerIsolation(false);
        EXPECT_EQ(isolated.result, local.result) << isolated.messages;
        EXPECT_EQ(isolated.messages, local.messages);
        ASSERT_EQ(static_cast<bool>(isolated.code), static_cast<bool>(local.code));
        if (local.code) {
            EXPECT_STREQ(QP_ShaderCodeText(isolated.code.Get()), QP_ShaderCodeText(local.code.Get()));
        }
        EXPECT_EQ(there.OpenedFiles(), here.OpenedFiles()) << "the caller's handler records every file";
        EXPECT_EQ(there.MissingFiles(), here.MissingFiles());
    }
}

TEST(QP_ShaderPreprocessTest, TimingsCountThePreprocessorApart)
{
    const std::string text = "#define COLOUR float4(1, 0, 0, 1)\n"
                             "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return COLOUR; }\n";
    QP_CompileTimings timings;
    QC_Ptr<QP_Blob> code, errors;
    ASSERT_EQ(QP_Compile(text.data(), text.size(), nullptr, nullptr, "QR_Main", "ps_4_0", &code, &errors, &timings), QP_OK);
    EXPECT_GT(timings.preprocessNs, 0);
    EXPECT_GT(timings.frontEndNs, 0);
    EXPECT_GT(timings.crossNs, 0);
}

TEST(QP_ShaderPreprocessTest, EveryTextFailureNamesItsFileAndLine)
{
    TempDir folder;
    folder.Write("nul.hlsl", std::string("float4 a;\n\0float4 b;\n", 21));
    const std::string mainName = folder.File("main.hlsl");
    struct Case
    {
        const char* what;
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"NUL in the text", std::string("float4 a;\n\nfloat4 \0b;\n", 22), mainName + ":3:"},
        {"NUL after a #line directive (a generated text)",
         std::string("#line 40 \"author.qcs\"\nfloat4 a; /* one\nmore */\nfloat4 \0b;\n", 58), "author.qcs:42:"},
        {"NUL in an included file", "\n#include \"nul.hlsl\"\n", mainName + ":2:"},
        {"#error", "\n\n\n#error stop here\n", mainName + ":4:"},
        {"macro call never closed", "#define F(x) x\nfloat4 a = F(1,\n", mainName + ":"},
        {"#if never closed", "#if 1\nfloat4 a;\n", mainName + ":"},
        {"bracket opened in a macro never closed", "#define OPEN {\n\nstruct S OPEN float a;\n", mainName + ":3: '{'"},
    };
    for (const Case& test : cases) {
        QP_FileInclude include(folder.Path().c_str());
        CompileOutcome outcome = CompileWith(test.text, mainName.c_str(), &include);
        EXPECT_EQ(outcome.result, QP_E_FAIL) << test.what;
        EXPECT_TRUE(Mentions(outcome.messages, "ERROR: " + test.expected)) << test.what << ": " << outcome.messages;
    }
}

TEST(QP_ShaderPreprocessTest, ForkedCompileWithoutTheHelperProgramAlsoAsksTheCallersHandler)
{
    // Without the helper program each isolated compile is a fork of this process (when no
    // helper was started before in it, as under ctest, where each test is a process).
    const char* named = std::getenv("VC_SHADER_HELPER");
    const std::string previous = named ? named : "";
    setenv("VC_SHADER_HELPER", "/nonexistent/vc-shader-helper", 1);
    TempDir folder;
    folder.Write("tint.hlsl", "float4 Tint() { return float4(0, 1, 0, 1); }\n");
    QP_SetShaderCompilerIsolation(true);
    QP_FileInclude include(folder.Path().c_str());
    CompileOutcome outcome = CompileWith("#include \"tint.hlsl\"\n"
                                         "float4 QR_Main(float4 p : SV_POSITION) : SV_TARGET { return Tint(); }\n",
                                         folder.File("main.hlsl").c_str(), &include);
    QP_SetShaderCompilerIsolation(false);
    if (named)
        setenv("VC_SHADER_HELPER", previous.c_str(), 1);
    else
        unsetenv("VC_SHADER_HELPER");
    EXPECT_EQ(outcome.result, QP_OK) << outcome.messages;
    EXPECT_EQ(include.OpenedFiles(), std::vector<std::string>{folder.File("tint.hlsl")});
}

TEST(QP_ShaderPreprocessTest, FileIncludingItselfTwiceFailsQuicklyAtTheIncludeBudget)
{
    // 2^16 paths reach the depth limit; the budget of opened files ends it long before.
    TempDir folder;
    folder.Write("twice.hlsl", "#include \"twice.hlsl\"\n#include \"twice.hlsl\"\n");
    QP_FileInclude include(folder.Path().c_str());
    const auto start = std::chrono::steady_clock::now();
    CompileOutcome outcome = CompileWith("#include \"twice.hlsl\"\n", folder.File("main.hlsl").c_str(), &include);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(outcome.result, QP_E_FAIL);
    EXPECT_TRUE(Mentions(outcome.messages, "more than 1024 files included in one compile")) << outcome.messages.substr(0, 400);
    EXPECT_LT(seconds, 20.0);
}
