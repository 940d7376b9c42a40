// The text front of the compile chain. Sections: the include bridge (QP_Include behind the
// front end's includer), the preprocessor pass, the guards.

#include "QP_ShaderPreprocessor.h"

#include "QC_ByteOrderMark.h"
#include "QP_HlslScanner.h"

// The library is built with its HLSL front end; its header shows that part only on request.
#define ENABLE_HLSL 1
#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
// Joins lines continued by a backslash before the line break (LF or CR LF), as the first step of
// preprocessing does, and puts the removed line breaks after the joined line so the lines after it
// keep their numbers. Done here rather than left to the front end's preprocessor, which loses
// memory when a macro name stands right before a continuation that ends in an empty line.
std::string SplicedLines(const char* text, std::size_t length)
{
    std::string out;
    out.reserve(length);
    std::size_t pendingBreaks = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '\\' && i + 1 < length && text[i + 1] == '\n') {
            ++pendingBreaks;
            ++i;
            continue;
        }
        if (text[i] == '\\' && i + 2 < length && text[i + 1] == '\r' && text[i + 2] == '\n') {
            ++pendingBreaks;
            i += 2;
            continue;
        }
        out += text[i];
        if (text[i] == '\n') {
            out.append(pendingBreaks, '\n');
            pendingBreaks = 0;
        }
    }
    out.append(pendingBreaks, '\n');
    return out;
}

// --- the include bridge ------------------------------------------------------------------------
// The front end names each included file by the name the bridge gives it: the include's name
// joined to the folder part of the including file's name, so messages show where a file sits
// relative to the first one ("shaders/water.qcs" includes "lib/noise.hlsl", which includes
// "hash.hlsl": "shaders/lib/hash.hlsl"). The including file's name finds the data Open gave for
// it, which is the parentData of the nested Open.
class IncludeBridge : public glslang::TShader::Includer
{
public:
    explicit IncludeBridge(QP_Include* include) : include(include) {}

    ~IncludeBridge() override
    {
        // The front end releases what it opened; anything left is closed here all the same.
        for (Entry* entry : live)
            Close(entry);
    }

    IncludeResult* includeLocal(const char* headerName, const char* includerName, std::size_t depth) override
    {
        IncludeResult* result = Resolve(QP_INCLUDE_LOCAL, headerName, includerName, depth);
        // The front end asks again for <file> when "file" failed; the answer stays the first one.
        failedLocalName = result->headerName.empty() ? headerName : "";
        failedLocal = result->headerName.empty() ? static_cast<Entry*>(result->userData)->message : std::string();
        return result;
    }

    IncludeResult* includeSystem(const char* headerName, const char* includerName, std::size_t depth) override
    {
        if (!failedLocal.empty() && failedLocalName == headerName) {
            failedLocalName.clear();
            std::string message;
            message.swap(failedLocal);
            return Fail(message);
        }
        return Resolve(QP_INCLUDE_SYSTEM, headerName, includerName, depth);
    }

    void releaseInclude(IncludeResult* result) override
    {
        if (!result)
            return;
        Entry* entry = static_cast<Entry*>(result->userData);
        for (std::size_t i = 0; i < live.size(); ++i) {
            if (live[i] == entry) {
                live.erase(live.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
        Close(entry);
        delete result;
    }

private:
    struct Entry
    {
        std::string name;
        const void* data = nullptr; // what the handler gave; null for a failure
        std::string message;        // the failure's text
        std::string text;           // the file's text with its continued lines joined
    };

    IncludeResult* Resolve(QP_IncludeType type, const char* headerName, const char* includerName, std::size_t depth)
    {
        const std::string quoted = std::string("'") + headerName + "'";
        if (!include)
            return Fail("cannot open include file " + quoted + ": #include is not supported here (no include handler)");
        if (depth > static_cast<std::size_t>(QP_MAX_INCLUDE_DEPTH))
            return Fail("cannot open include file " + quoted + ": includes nested more than " +
                        std::to_string(QP_MAX_INCLUDE_DEPTH) + " files deep");
        if (opens == QP_MAX_INCLUDE_COUNT)
            return Fail("cannot open include file " + quoted + ": more than " +
                        std::to_string(QP_MAX_INCLUDE_COUNT) + " files included in one compile");
        ++opens;
        const void* parentData = nullptr;
        for (std::size_t i = live.size(); i-- > 0;) {
            if (live[i]->name == includerName) {
                parentData = live[i]->data;
                break;
            }
        }
        const void* data = nullptr;
        std::uint32_t bytes = 0;
        if (include->Open(type, headerName, parentData, &data, &bytes) != QP_OK || (!data && bytes > 0))
            return Fail("cannot open include file " + quoted);
        const char* text = data ? static_cast<const char*>(data) : "";
        if (std::memchr(text, '\0', bytes) != nullptr) {
            include->Close(data);
            return Fail("include file " + quoted + " contains a NUL character");
        }
        Entry* entry = new Entry{NameOf(headerName, includerName), data, std::string(), std::string()};
        live.push_back(entry);
        const std::size_t skip = QC_ByteOrderMarkLength(text, bytes);
        entry->text = SplicedLines(text + skip, bytes - skip);
        return new IncludeResult(entry->name, entry->text.data(), entry->text.size(), entry);
    }

    IncludeResult* Fail(const std::string& message)
    {
        Entry* entry = new Entry{std::string(), nullptr, message, std::string()};
        // Not in the live list: nothing to close.
        return new IncludeResult(std::string(), entry->message.data(), entry->message.size(), entry);
    }

    void Close(Entry* entry)
    {
        if (entry->data)
            include->Close(entry->data);
        delete entry;
    }

    static std::string NameOf(const char* headerName, const char* includerName)
    {
        const char* slash = std::strrchr(includerName, '/');
        if (headerName[0] == '/' || !slash)
            return headerName;
        return std::string(includerName, static_cast<std::size_t>(slash - includerName) + 1) + headerName;
    }

    QP_Include* include;
    std::vector<Entry*> live; // opened and not released, innermost last
    int opens = 0;            // Open calls so far
    std::string failedLocalName;
    std::string failedLocal;
};

// The front end ends each failed #include message with " for header name: x"; ours name the
// file already.
std::string WithoutHeaderNameNotes(const char* log)
{
    static const char note[] = " for header name: ";
    std::string text = log;
    for (std::size_t at = text.find(note); at != std::string::npos; at = text.find(note, at)) {
        const std::size_t lineStart = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
        const std::size_t lineEnd = std::min(text.find('\n', at), text.size());
        if (text.compare(lineStart, 7, "ERROR: ") == 0 && text.find("'#include' : ", lineStart) < at)
            text.erase(at, lineEnd - at);
        else
            at += sizeof(note) - 1;
    }
    return text;
}

EShLanguage LanguageOf(QP_ShaderStage stage)
{
    return stage == QP_SHADER_STAGE_PIXEL ? EShLangFragment : EShLangVertex;
}
} // namespace

// --- the preprocessor pass ---------------------------------------------------------------------
bool QP_PreprocessShader(const char* source, std::size_t length, const char* sourceName, QP_ShaderStage stage,
                         QP_Include* include, std::string& expanded, std::string& errors)
{
    const std::size_t skip = QC_ByteOrderMarkLength(source, length);
    const std::string text = SplicedLines(source + skip, length - skip);
    const EShLanguage language = LanguageOf(stage);
    glslang::TShader shader(language);
    const char* strings[] = {text.c_str()};
    const int lengths[] = {static_cast<int>(text.size())};
    const char* names[] = {sourceName && sourceName[0] ? sourceName : "0"};
    shader.setStringsWithLengthsAndNames(strings, lengths, names, 1);
    shader.setEnvInput(glslang::EShSourceHlsl, language, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    const EShMessages messages = static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules | EShMsgReadHlsl |
                                                          EShMsgHlslOffsets);
    IncludeBridge bridge(include);
    const bool done = shader.preprocess(GetDefaultResources(), 100, ENoProfile, false, false, messages, &expanded, bridge);
    errors += WithoutHeaderNameNotes(shader.getInfoLog());
    return done;
}

// --- the guards --------------------------------------------------------------------------------
// The HLSL front end crashes on some malformed texts: unclosed brackets inside constructor calls,
// a text whose first declaration starts with a parameter modifier (in, out, inout), mul() with a
// one-component vector (float1), an entry point parameter without a name ("(uint :
// SV_VertexID)") and a global named like a GL built-in (gl_InstanceID). It also recurses once
// per nesting level. So the expanded text is checked first, outside comments, strings and
// preprocessor lines: every (, [ and { is closed in order, at most 128 deep; in, out and inout
// appear only inside brackets (parameter lists, structures), where HLSL allows them;
// one-component vector types are refused (the shader generator never writes them; a plain float
// is the same value); a parameter must be named before its semantic; and names beginning with
// gl_ are refused (GLSL reserves them, so the GLSL written from such a shader could not compile
// either). The compile chain renames those names first (QP_RewriteEffectSyntax reads the text
// with the same QP_HlslScanner), so that refusal only stops a text that did not pass the rename.
// Preprocessor lines left in the expanded text are #line (followed for the messages), #pragma and
// #extension, which hold no code; each ends at its line break, since continued lines were joined
// before the preprocessor ran. A string goes on past a line break that a backslash escapes, as
// the stage interface reads it (QP_HlslScanner::ESCAPED_BREAKS_IN_STRINGS).
namespace
{
constexpr int maxBracketDepth = 128;

// Words that may stand before a parameter's type without being its type or its name.
bool IsParameterQualifier(const char* word, std::size_t size)
{
    static const char* const qualifiers[] = {"in",     "out",      "inout",    "uniform",         "const",
                                             "linear", "centroid", "sample",   "nointerpolation", "noperspective",
                                             "point",  "line",     "triangle", "lineadj",         "triangleadj",
                                             "void"};
    for (const char* qualifier : qualifiers) {
        if (std::strlen(qualifier) == size && std::strncmp(word, qualifier, size) == 0)
            return true;
    }
    return false;
}

bool OnlySpaceBetween(const char* text, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i) {
        if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n')
            return false;
    }
    return true;
}

// An entry point parameter that is a type alone ("QR_Main(float)") makes the front end crash
// when it maps the entry point's inputs; one name is the type, a named parameter has two.
template <typename Fail>
bool UnnamedParameterCheck(int names, std::size_t lastStart, std::size_t lastSize, const char* text, int line, Fail& fail)
{
    if (names != 1)
        return true;
    char what[96];
    std::snprintf(what, sizeof(what), "'%.*s' : entry point parameter without a name",
                  static_cast<int>(lastSize < 48 ? lastSize : 48), text + lastStart);
    return fail(line, what);
}

} // namespace

bool QP_CheckShaderText(const char* text, std::size_t length, const char* sourceName, std::string& errors,
                        const char* entryPoint)
{
    char expected[maxBracketDepth];
    // The entry point's parameter list: the depth inside it (0 when not in it), and for the
    // parameter being read the names seen outside nested brackets and the last of them.
    int entryDepth = 0;
    int parameterNames = 0;
    std::size_t lastNameStart = 0, lastNameSize = 0, lastNameEnd = 0;
    const std::size_t entrySize = entryPoint ? std::strlen(entryPoint) : 0;
    // Where each open bracket was opened: a bracket left open reports that file and line.
    int openLines[maxBracketDepth];
    std::size_t openFiles[maxBracketDepth]; // the scanner's file indices
    int depth = 0;
    QP_HlslScanner scanner(text, length, sourceName, QP_HlslScanner::ESCAPED_BREAKS_IN_STRINGS);
    QP_HlslScanner::Token token;
    std::size_t file = 0;           // the current token's
    bool afterOpenOrComma = false; // the token before the current one is ( or ,
    auto failIn = [&](std::size_t inFile, int atLine, const char* what) {
        char message[256];
        std::snprintf(message, sizeof(message), ":%d: %s\n", atLine, what);
        errors += "ERROR: " + scanner.FileName(inFile) + message;
        return false;
    };
    auto fail = [&](int atLine, const char* what) { return failIn(file, atLine, what); };
    while (scanner.Next(token)) {
        const std::size_t i = token.begin;
        const int line = token.line;
        file = token.file;
        const bool parameterStart = afterOpenOrComma;
        afterOpenOrComma = token.kind == QP_HlslScanner::PUNCTUATION && (text[i] == '(' || text[i] == ',');
        if (token.kind == QP_HlslScanner::NAME) {
            const std::size_t end = token.end;
            const std::size_t size = end - i;
            if (entryDepth > 0 && depth == entryDepth && !IsParameterQualifier(text + i, size))
                ++parameterNames;
            lastNameStart = i;
            lastNameSize = size;
            lastNameEnd = end;
            const bool modifier = (size == 2 && std::strncmp(text + i, "in", 2) == 0) ||
                                  (size == 3 && std::strncmp(text + i, "out", 3) == 0) ||
                                  (size == 5 && std::strncmp(text + i, "inout", 5) == 0);
            if (modifier && depth == 0) {
                char what[96];
                std::snprintf(what, sizeof(what), "'%.*s' : parameter modifier outside a parameter list",
                              static_cast<int>(size), text + i);
                return fail(line, what);
            }
            if (size >= 3 && std::strncmp(text + i, "gl_", 3) == 0) {
                char what[96];
                std::snprintf(what, sizeof(what), "'%.*s' : names beginning with gl_ are reserved",
                              static_cast<int>(size < 48 ? size : 48), text + i);
                return fail(line, what);
            }
            if (size >= 4 && text[end - 1] == '1' && !std::isdigit(static_cast<unsigned char>(text[end - 2]))) {
                static const char* const scalarTypes[] = {"float", "half", "int", "uint", "bool", "double", "dword",
                                                          "min16float", "min10float", "min16int", "min12int", "min16uint"};
                for (const char* scalar : scalarTypes) {
                    if (std::strlen(scalar) == size - 1 && std::strncmp(text + i, scalar, size - 1) == 0) {
                        char what[96];
                        std::snprintf(what, sizeof(what), "'%.*s' : one-component vector types are not supported",
                                      static_cast<int>(size), text + i);
                        return fail(line, what);
                    }
                }
            }
            // "( type :" or ", type :" in a parameter list: a parameter without a name.
            std::size_t next = end;
            while (next < length && (text[next] == ' ' || text[next] == '\t' || text[next] == '\r' || text[next] == '\n'))
                ++next;
            if (depth > 0 && expected[depth - 1] == ')' && parameterStart && next < length && text[next] == ':' &&
                !(next + 1 < length && text[next + 1] == ':')) {
                char what[96];
                std::snprintf(what, sizeof(what), "'%.*s' : parameter without a name before its semantic",
                              static_cast<int>(size), text + i);
                return fail(line, what);
            }
            continue;
        }
        if (token.kind != QP_HlslScanner::PUNCTUATION)
            continue;
        const char c = text[i];
        if (c == '(' || c == '[' || c == '{') {
            if (depth == maxBracketDepth)
                return fail(line, "brackets nested too deeply");
            if (c == '(' && entrySize > 0 && entryDepth == 0 && lastNameSize == entrySize &&
                std::strncmp(text + lastNameStart, entryPoint, entrySize) == 0 && OnlySpaceBetween(text, lastNameEnd, i)) {
                entryDepth = depth + 1;
                parameterNames = 0;
            }
            expected[depth] = c == '(' ? ')' : c == '[' ? ']' : '}';
            openFiles[depth] = file;
            openLines[depth++] = line;
        } else if (c == ')' || c == ']' || c == '}') {
            if (depth == 0)
                return fail(line, c == ')' ? "')' : unexpected closing bracket" : c == ']' ? "']' : unexpected closing bracket" : "'}' : unexpected closing bracket");
            if (expected[depth - 1] != c) {
                char what[96];
                std::snprintf(what, sizeof(what), "'%c' : unexpected closing bracket, '%c' of line %d is still open", c,
                              expected[depth - 1] == ')' ? '(' : expected[depth - 1] == ']' ? '[' : '{', openLines[depth - 1]);
                return fail(line, what);
            }
            if (depth == entryDepth && !UnnamedParameterCheck(parameterNames, lastNameStart, lastNameSize, text, line, fail))
                return false;
            if (depth == entryDepth)
                entryDepth = 0;
            --depth;
        } else if (c == ',' && entryDepth > 0 && depth == entryDepth) {
            if (!UnnamedParameterCheck(parameterNames, lastNameStart, lastNameSize, text, line, fail))
                return false;
            parameterNames = 0;
        }
    }
    if (depth > 0) {
        char what[64];
        std::snprintf(what, sizeof(what), "'%c' : bracket opened here is never closed",
                      expected[depth - 1] == ')' ? '(' : expected[depth - 1] == ']' ? '[' : '{');
        return failIn(openFiles[depth - 1], openLines[depth - 1], what);
    }
    return true;
}
