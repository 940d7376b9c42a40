// The manual's examples cannot drift: every fenced block of docs/*.md whose info string marks it
// as a shader or a script goes through the authoring tools, as a demo maker would run them.
//
//   ```qcs-shader           a complete shader file: build/vc-shader --glsl must accept it (exit 0)
//   ```qcs-include NAME     a file the document's shader blocks #include as NAME (written first)
//   ```qcs-generated        lines build/vc-shader prints for the nearest qcs-shader block above;
//                           a line "..." leaves lines out, each piece must appear as written
//                           (the tool's #line lines, which name the temporary file, are skipped)
//   ```qcs-shader-error     a shader the tools must refuse (exit 1); its messages are not compared
//   ```qcs-script           a complete script: build/vc-seq must accept it (exit 0)
//   ```values               lines "beat B channel C = V" for the nearest qcs-script block above:
//                           V must be vc-seq's value to four decimals (or to the digits written)
//   ```qcs-script-error     a script vc-seq must refuse (exit 1)
//   ```qcs-shader-fragment, ```qcs-script-fragment    part of a file: not checked
//
// Any other info string beginning with "qcs-" is a slip of the pen and fails, as does a document
// set without at least one checked shader, script and value: a broken marking cannot check nothing.

#include "support/CommandOutput.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;

struct Block
{
    std::string where; // "docs/NAME.md:LINE" of the opening fence
    std::string kind;  // the info string's first word
    std::string name;  // its second word (qcs-include)
    std::string text;
};

struct Document
{
    std::string name;
    std::vector<Block> blocks;
};

std::vector<Document> ReadDocuments()
{
    std::vector<fs::path> paths;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(VC_SOURCE_DIR) / "docs"))
        if (entry.path().extension() == ".md")
            paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());

    std::vector<Document> documents;
    for (const fs::path& path : paths) {
        Document document{"docs/" + path.filename().string(), {}};
        std::ifstream stream(path);
        std::string line;
        Block* open = nullptr;
        for (int number = 1; std::getline(stream, line); ++number) {
            if (line.rfind("```", 0) != 0) {
                if (open)
                    open->text += line + "\n";
                continue;
            }
            if (open) {
                open = nullptr;
                continue;
            }
            std::istringstream info(line.substr(3));
            Block block{document.name + ":" + std::to_string(number), "", "", ""};
            info >> block.kind >> block.name;
            document.blocks.push_back(block);
            open = &document.blocks.back();
        }
        EXPECT_EQ(open, nullptr) << "a fence is never closed in " << document.name;
        documents.push_back(document);
    }
    return documents;
}

struct ToolRun
{
    int status = -1;
    std::string output; // standard output, then standard error when asked for
};

ToolRun RunTool(const std::string& tool, const std::string& arguments, bool withErrors)
{
    ToolRun run;
    const std::string path = std::string(VC_BINARY_DIR) + "/" + tool;
    if (access(path.c_str(), X_OK) != 0) {
        ADD_FAILURE() << path << " is missing: build the " << tool << " target";
        return run;
    }
    run.output = RunCommand("'" + path + "' " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null"), &run.status);
    return run;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// The pieces of a qcs-generated block: runs of lines between lines that read "...", each
// without its last line break.
std::vector<std::string> Pieces(const std::string& text)
{
    std::vector<std::string> pieces(1);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line == "...")
            pieces.emplace_back();
        else
            pieces.back() += (pieces.back().empty() ? "" : "\n") + line;
    }
    pieces.erase(std::remove(pieces.begin(), pieces.end(), std::string()), pieces.end());
    return pieces;
}

// The text without its #line lines.
std::string WithoutLineDirectives(const std::string& text)
{
    std::string kept;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind("#line", 0) != 0)
            kept += line + "\n";
    return kept;
}

// One "beat B channel C = V" line of a values block.
struct Stated
{
    std::string beat;
    std::string channel;
    std::string value;
};

// Checks every line of a values block against one vc-seq run over the beats and channels named.
void CheckValues(const Block& values, const std::string& script)
{
    static const std::regex form(R"(beat (-?[0-9.]+) channel ([0-9]+) = (-?[0-9]+(\.([0-9]+))?))");
    std::vector<Stated> stated;
    std::vector<std::string> beats, channels;
    std::istringstream lines(values.text);
    std::string line;
    while (std::getline(lines, line)) {
        std::smatch match;
        if (line.empty())
            continue;
        if (!std::regex_match(line, match, form)) {
            ADD_FAILURE() << values.where << ": not \"beat B channel C = V\": " << line;
            continue;
        }
        stated.push_back({match[1], match[2], match[3]});
        if (std::find(beats.begin(), beats.end(), match[1]) == beats.end())
            beats.push_back(match[1]);
        if (std::find(channels.begin(), channels.end(), match[2]) == channels.end())
            channels.push_back(match[2]);
    }
    ASSERT_FALSE(stated.empty()) << values.where << ": a values block without values";

    std::string arguments = Quoted(script);
    for (const std::string& beat : beats)
        arguments += " --at " + beat;
    for (const std::string& channel : channels)
        arguments += " --channel " + channel;
    const ToolRun run = RunTool("vc-seq", arguments, false);
    ASSERT_EQ(run.status, 0) << values.where;
    // vc-seq prints "BEAT CHANNEL VALUE" for every channel at each beat, in the order asked.
    std::vector<double> printed;
    std::istringstream output(run.output);
    std::string beat, channel, value;
    while (output >> beat >> channel >> value)
        printed.push_back(std::strtod(value.c_str(), nullptr));
    ASSERT_EQ(printed.size(), beats.size() * channels.size()) << values.where << ":\n" << run.output;

    for (const Stated& s : stated) {
        const std::size_t b = std::find(beats.begin(), beats.end(), s.beat) - beats.begin();
        const std::size_t c = std::find(channels.begin(), channels.end(), s.channel) - channels.begin();
        const double actual = printed[b * channels.size() + c];
        const std::size_t dot = s.value.find('.');
        const int decimals = dot == std::string::npos ? 0 : static_cast<int>(s.value.size() - dot - 1);
        const double tolerance = 0.5 * std::pow(10.0, -std::max(decimals, 4)) + 1e-9;
        EXPECT_LE(std::fabs(actual - std::strtod(s.value.c_str(), nullptr)), tolerance)
            << values.where << ": beat " << s.beat << " channel " << s.channel << " is " << actual << ", the doc says "
            << s.value;
    }
}

const std::vector<std::string> kKinds = {"qcs-shader", "qcs-include", "qcs-generated", "qcs-shader-error",
                                         "qcs-shader-fragment", "qcs-script", "qcs-script-error",
                                         "qcs-script-fragment", "values"};
} // namespace

TEST(DocsExamplesTest, EveryMarkedBlockIsOfAKnownKindAndEachKindIsChecked)
{
    std::map<std::string, int> counts;
    for (const Document& document : ReadDocuments()) {
        std::string previous; // the kind of the last shader or script block above
        for (const Block& block : document.blocks) {
            const bool marked = block.kind.rfind("qcs-", 0) == 0 || block.kind == "values";
            if (!marked)
                continue;
            EXPECT_NE(std::find(kKinds.begin(), kKinds.end(), block.kind), kKinds.end())
                << block.where << ": unknown marking " << block.kind;
            EXPECT_EQ(block.kind == "qcs-include", !block.name.empty()) << block.where << ": qcs-include NAME";
            if (block.kind == "values") {
                EXPECT_EQ(previous, "qcs-script") << block.where << ": values need a qcs-script block above";
            }
            if (block.kind == "qcs-generated") {
                EXPECT_EQ(previous, "qcs-shader") << block.where << ": qcs-generated needs a qcs-shader block above";
            }
            if (block.kind == "qcs-shader" || block.kind == "qcs-script")
                previous = block.kind;
            ++counts[block.kind];
        }
    }
    EXPECT_GE(counts["qcs-shader"], 1);
    EXPECT_GE(counts["qcs-generated"], 1);
    EXPECT_GE(counts["qcs-script"], 1);
    EXPECT_GE(counts["values"], 1);
    std::printf("checked blocks: %d qcs-shader, %d qcs-generated, %d qcs-shader-error, %d qcs-script, %d values, "
                "%d qcs-script-error\n",
                counts["qcs-shader"], counts["qcs-generated"], counts["qcs-shader-error"], counts["qcs-script"],
                counts["values"], counts["qcs-script-error"]);
}

TEST(DocsExamplesTest, ShaderExamplesCompileAndErrorExamplesAreRefused)
{
    for (const Document& document : ReadDocuments()) {
        TempDir folder;
        // Included files first: any shader of the document may include them.
        for (const Block& block : document.blocks) {
            if (block.kind != "qcs-include")
                continue;
            const fs::path path = folder.Path() / block.name;
            fs::create_directories(path.parent_path());
            folder.Write(block.name, block.text);
        }
        std::string shader; // the file of the last qcs-shader block
        for (std::size_t i = 0; i < document.blocks.size(); ++i) {
            const Block& block = document.blocks[i];
            if (block.kind == "qcs-shader") {
                shader = folder.Write("example" + std::to_string(i) + ".qcs", block.text);
                const ToolRun run = RunTool("vc-shader", "--glsl " + Quoted(shader), true);
                EXPECT_EQ(run.status, 0) << block.where << ":\n" << run.output;
            } else if (block.kind == "qcs-generated" && !shader.empty()) {
                const std::string hlsl = WithoutLineDirectives(RunTool("vc-shader", Quoted(shader), false).output);
                for (const std::string& piece : Pieces(block.text))
                    EXPECT_NE(hlsl.find(piece), std::string::npos)
                        << block.where << ": vc-shader no longer prints\n" << piece << "\nbut\n" << hlsl;
            } else if (block.kind == "qcs-shader-error") {
                const ToolRun run = RunTool("vc-shader", "--glsl " + Quoted(folder.Write("error.qcs", block.text)), true);
                EXPECT_EQ(run.status, 1) << block.where << ": the error example is accepted:\n" << run.output;
            }
        }
    }
}

TEST(DocsExamplesTest, ScriptExamplesGiveTheStatedValuesAndErrorExamplesAreRefused)
{
    for (const Document& document : ReadDocuments()) {
        TempDir folder;
        std::string script; // the file of the last qcs-script block
        for (std::size_t i = 0; i < document.blocks.size(); ++i) {
            const Block& block = document.blocks[i];
            if (block.kind == "qcs-script") {
                script = folder.Write("example" + std::to_string(i) + ".qcs", block.text);
                const ToolRun run = RunTool("vc-seq", Quoted(script), true);
                EXPECT_EQ(run.status, 0) << block.where << ":\n" << run.output;
            } else if (block.kind == "values" && !script.empty()) {
                CheckValues(block, script);
            } else if (block.kind == "qcs-script-error") {
                const ToolRun run = RunTool("vc-seq", Quoted(folder.Write("error.qcs", block.text)), true);
                EXPECT_EQ(run.status, 1) << block.where << ": the error example is accepted:\n" << run.output;
            }
        }
    }
}
