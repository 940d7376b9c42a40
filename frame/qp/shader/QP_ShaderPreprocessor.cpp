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
#include <string_view>
#include <unordered_set>
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

// --- token pasting ------------------------------------------------------------------------------
// The front end's preprocessor pastes only when the left token is a name or an operator: "1 ## 2",
// "n ## .5" (n a number) or an empty left argument fail with "not supported for these tokens".
// A text that fails so is preprocessed again with the ## of each #define that pastes onto a
// parameter or a number replaced by a marker name, which expands like any other token; the
// marker and the blanks around it are then cut out of the expanded text, joining the two sides.
// Such a joined token is not rescanned for macros; a #define pasting onto a name of its own
// body (SHADE_##n) keeps the front end's pasting, which rescans.
const char kPasteMarker[] = "QP_PASTE_JOIN";
const char kPasteRefusal[] = "not supported for these tokens";

bool IsNameByte(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The start of a #define's name on the line [lineStart, lineEnd), or npos for any other line.
std::size_t DefinedName(const std::string& text, std::size_t lineStart, std::size_t lineEnd)
{
    std::size_t at = text.find_first_not_of(" \t", lineStart);
    if (at >= lineEnd || text[at] != '#')
        return std::string::npos;
    at = text.find_first_not_of(" \t", at + 1);
    if (at >= lineEnd || text.compare(at, 6, "define") != 0 || at + 6 >= lineEnd || IsNameByte(text[at + 6]))
        return std::string::npos;
    at = text.find_first_not_of(" \t", at + 6);
    return at < lineEnd ? at : std::string::npos;
}

// True when a ## of the #define on [lineStart, lineEnd) has a parameter, a number or nothing on
// its left: the pastes the front end may refuse.
bool PastesOntoParameter(const std::string& text, std::size_t name, std::size_t lineEnd)
{
    std::size_t at = name;
    while (at < lineEnd && IsNameByte(text[at]))
        ++at;
    std::vector<std::string> parameters;
    if (at < lineEnd && text[at] == '(') {
        std::size_t close = at;
        while (close < lineEnd && text[close] != ')')
            ++close;
        if (close == lineEnd)
            return false;
        for (std::size_t i = at + 1; i < close;) {
            while (i < close && !IsNameByte(text[i]))
                ++i;
            const std::size_t begin = i;
            while (i < close && IsNameByte(text[i]))
                ++i;
            if (i > begin)
                parameters.push_back(text.substr(begin, i - begin));
        }
        parameters.push_back("__VA_ARGS__");
        at = close + 1;
    }
    for (std::size_t paste = at; paste + 1 < lineEnd; ++paste) {
        if (text[paste] != '#' || text[paste + 1] != '#')
            continue;
        std::size_t end = paste;
        while (end > at && (text[end - 1] == ' ' || text[end - 1] == '\t'))
            --end;
        std::size_t begin = end;
        while (begin > at && IsNameByte(text[begin - 1]))
            --begin;
        const std::string left = text.substr(begin, end - begin);
        if (left.empty() || std::isdigit(static_cast<unsigned char>(left[0])) ||
            std::find(parameters.begin(), parameters.end(), left) != parameters.end())
            return true;
        ++paste;
    }
    return false;
}

// Every ## outside strings of such a #define line becomes " marker ". Lines were joined before.
std::string MarkPastes(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t lineStart = 0; lineStart < text.size();) {
        std::size_t lineEnd = text.find('\n', lineStart);
        lineEnd = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
        const std::size_t name = DefinedName(text, lineStart, lineEnd);
        if (name == std::string::npos || !PastesOntoParameter(text, name, lineEnd)) {
            out.append(text, lineStart, lineEnd - lineStart);
            lineStart = lineEnd;
            continue;
        }
        bool quoted = false;
        for (std::size_t i = lineStart; i < lineEnd; ++i) {
            if (text[i] == '"' && (i == lineStart || text[i - 1] != '\\'))
                quoted = !quoted;
            if (!quoted && text[i] == '#' && i + 1 < lineEnd && text[i + 1] == '#') {
                out += ' ';
                out += kPasteMarker;
                out += ' ';
                ++i;
            } else {
                out += text[i];
            }
        }
        lineStart = lineEnd;
    }
    return out;
}

// Cuts each marker (a whole name) with the spaces and tabs on both sides.
std::string JoinPastes(const std::string& text)
{
    const std::size_t markerSize = sizeof(kPasteMarker) - 1;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const bool marker = text.compare(i, markerSize, kPasteMarker) == 0 && (i == 0 || !IsNameByte(text[i - 1])) &&
                            (i + markerSize == text.size() || !IsNameByte(text[i + markerSize]));
        if (!marker) {
            out += text[i++];
            continue;
        }
        while (!out.empty() && (out.back() == ' ' || out.back() == '\t'))
            out.pop_back();
        i += markerSize;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    }
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
    IncludeBridge(QP_Include* include, bool markPastes) : include(include), markPastes(markPastes) {}

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
        if (markPastes)
            entry->text = MarkPastes(entry->text);
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
    bool markPastes; // the second pass for pastes the front end refuses
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
namespace
{
bool Preprocess(const std::string& text, const char* sourceName, QP_ShaderStage stage, QP_Include* include,
                bool markPastes, std::string& expanded, std::string& log)
{
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
    IncludeBridge bridge(include, markPastes);
    const bool done = shader.preprocess(GetDefaultResources(), 100, ENoProfile, false, false, messages, &expanded, bridge);
    log = WithoutHeaderNameNotes(shader.getInfoLog());
    return done;
}
} // namespace

bool QP_PreprocessShader(const char* source, std::size_t length, const char* sourceName, QP_ShaderStage stage,
                         QP_Include* include, std::string& expanded, std::string& errors)
{
    const std::size_t skip = QC_ByteOrderMarkLength(source, length);
    const std::string text = SplicedLines(source + skip, length - skip);
    std::string log;
    bool done = Preprocess(text, sourceName, stage, include, false, expanded, log);
    if (!done && log.find(kPasteRefusal) != std::string::npos) {
        std::string marked;
        std::string markedLog;
        if (Preprocess(MarkPastes(text), sourceName, stage, include, true, marked, markedLog)) {
            expanded = JoinPastes(marked);
            log = markedLog;
            done = true;
        }
    }
    errors += log;
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
// either); an array size in a global declaration or a parameter list must be one expression
// (the front end crashes on "[1 2]" there). The compile chain renames those names first (QP_RewriteEffectSyntax reads the text
// with the same QP_HlslScanner), so that refusal only stops a text that did not pass the rename.
// An entry point parameter named before the guards run (QP_RewriteHlslForms names those with a
// semantic) passes them. Interface and class declarations are refused by name: dynamic shader
// linkage has no GLSL form, and the front end would only report a syntax error.
// The last operand of a ?: must name a value when it is a bare name (BareNameThatIsNoValue).
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

// The word after a name at end, past white space: its extent in [*begin, *end), empty when none.
void NextWord(const char* text, std::size_t length, std::size_t end, std::size_t* begin, std::size_t* wordEnd)
{
    while (end < length && (text[end] == ' ' || text[end] == '\t' || text[end] == '\r' || text[end] == '\n'))
        ++end;
    *begin = end;
    while (end < length && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
        ++end;
    *wordEnd = end;
}

// interface NAME { or class NAME { / class NAME : BASE {: dynamic shader linkage, which has no
// form in GLSL; refused by name rather than left to a syntax error.
bool DeclaresLinkageType(const char* text, std::size_t length, std::size_t begin, std::size_t end)
{
    const std::size_t size = end - begin;
    const bool keyword = (size == 9 && std::strncmp(text + begin, "interface", 9) == 0) ||
                         (size == 5 && std::strncmp(text + begin, "class", 5) == 0);
    if (!keyword)
        return false;
    std::size_t nameBegin = 0, nameEnd = 0;
    NextWord(text, length, end, &nameBegin, &nameEnd);
    std::size_t after = nameEnd;
    while (after < length && (text[after] == ' ' || text[after] == '\t' || text[after] == '\r' || text[after] == '\n'))
        ++after;
    return nameEnd > nameBegin && after < length && (text[after] == '{' || text[after] == ':');
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

// An array size in a global declaration or a parameter list must be one expression: the front
// end crashes on a size it stops reading before the ']' ("[1 2]", "[1, 2]", "[f(,)]", or a
// word it reserves or that starts no expression: "[sizeof]", "[if]", "[static]").
bool CannotStartExpression(const char* word, std::size_t size)
{
    static const char* const words[] = {
        "auto",       "catch",     "char",         "const_cast",  "enum",          "explicit",      "friend",
        "goto",       "long",      "mutable",      "new",         "operator",      "private",       "protected",
        "public",     "reinterpret_cast", "short", "signed",      "sizeof",        "static_cast",   "template",
        "throw",      "try",       "typename",     "union",       "unsigned",      "using",         "virtual",
        "volatile",   "default",   "if",           "else",        "for",           "while",         "do",
        "switch",     "case",      "break",        "continue",    "return",        "discard",       "typedef",
        "static",     "const",     "uniform",      "extern",      "shared",        "groupshared",   "inline",
        "in",         "out",       "inout",        "precise",     "row_major",     "column_major",  "packoffset",
        "linear",     "centroid",  "nointerpolation", "noperspective", "point",    "line",          "triangle",
        "lineadj",    "triangleadj", "namespace",  "dword",       "vector",        "matrix"};
    for (const char* reserved : words) {
        if (std::strlen(reserved) == size && std::strncmp(word, reserved, size) == 0)
            return true;
    }
    return false;
}

class ArraySizeCheck
{
public:
    // Every token in turn (word: its bytes), with the bracket depth before it; false when the
    // token cannot go on the size being read.
    bool Next(QP_HlslScanner::Kind kind, const char* word, std::size_t size, int depthBefore, bool inParameterList)
    {
        const char c = word[0];
        if (sizeDepth == 0) {
            if (kind == QP_HlslScanner::PUNCTUATION && c == '[' && (depthBefore == 0 || inParameterList)) {
                sizeDepth = depthBefore + 1;
                last = OPEN;
                groups.clear();
            }
            return true;
        }
        if (!groups.empty())
            ++groups.back().tokens;
        if (kind != QP_HlslScanner::PUNCTUATION) {
            const bool follows = last != OPERAND && last != CLOSED &&
                                 !(kind == QP_HlslScanner::NAME && CannotStartExpression(word, size));
            if (!groups.empty() && groups.back().tokens == 1)
                groups.back().oneName = kind == QP_HlslScanner::NAME;
            last = OPERAND;
            return follows;
        }
        bool fits = true;
        switch (c) {
        case '(':
            groups.push_back({last == OPERAND, 0, false});
            last = OPEN;
            break;
        case ',':
            fits = depthBefore != sizeDepth && last != OPEN && last != COMMA;
            last = COMMA;
            break;
        case ')':
            fits = last != COMMA;
            // (type) is a cast, which an operand may follow; any other bracket closes an operand.
            last = CLOSED;
            if (!groups.empty()) {
                if (!groups.back().call && groups.back().tokens == 2 && groups.back().oneName)
                    last = OTHER;
                groups.pop_back();
            }
            break;
        case ']':
            if (depthBefore == sizeDepth)
                sizeDepth = 0;
            last = OTHER;
            break;
        default:
            last = OTHER;
        }
        return fits;
    }

private:
    enum Last
    {
        OPERAND, // a name, number or string
        CLOSED,  // the ) of a call or of a bracketed expression
        OPEN,    // (
        COMMA,
        OTHER,
    };
    struct Group
    {
        bool call;           // the ( follows an operand
        std::size_t tokens;  // read since the (, its ) included
        bool oneName;        // the first of them is a name
    };
    int sizeDepth = 0; // the depth inside the [ being read, 0 outside one
    Last last = OTHER;
    std::vector<Group> groups; // each ( open in the size
};

// The front end crashes when the last operand of a ?: is a bare name (brackets around it
// allowed) that names no variable: one not declared before it, or a function's. HLSL declares
// before use, so a name's first appearance there is undeclared; a name that has appeared only
// right before a ( names a function. Returns the offending operand's token, or -1.
long BareNameThatIsNoValue(const std::vector<QP_HlslScanner::Token>& tokens, const char* text)
{
    auto is = [&](std::size_t t, char c) {
        return t < tokens.size() && tokens[t].kind == QP_HlslScanner::PUNCTUATION &&
               tokens[t].end - tokens[t].begin == 1 && text[tokens[t].begin] == c;
    };
    auto word = [&](std::size_t t) { return std::string_view(text + tokens[t].begin, tokens[t].end - tokens[t].begin); };
    std::unordered_set<std::string_view> values; // names seen so far other than right before a (
    std::vector<int> openQuestions;              // unmatched ? at each bracket depth
    openQuestions.push_back(0);
    for (std::size_t t = 0; t < tokens.size(); ++t) {
        if (tokens[t].kind == QP_HlslScanner::NAME && !is(t + 1, '('))
            values.insert(word(t));
        if (is(t, '(') || is(t, '[') || is(t, '{')) {
            openQuestions.push_back(0);
        } else if ((is(t, ')') || is(t, ']') || is(t, '}')) && openQuestions.size() > 1) {
            openQuestions.pop_back();
        } else if (is(t, '?')) {
            ++openQuestions.back();
        } else if (is(t, ':') && openQuestions.back() > 0 && !is(t + 1, ':')) {
            --openQuestions.back();
            std::size_t name = t + 1, brackets = 0;
            while (is(name, '('))
                ++name, ++brackets;
            std::size_t after = name + 1;
            while (brackets > 0 && is(after, ')'))
                ++after, --brackets;
            // What may go on an operand: a member, an index, a call, a binary operator.
            const bool goesOn = after < tokens.size() && tokens[after].kind == QP_HlslScanner::PUNCTUATION &&
                                std::strchr(".[(+-*/%<>=&|^!?", text[tokens[after].begin]) != nullptr;
            if (name >= tokens.size() || tokens[name].kind != QP_HlslScanner::NAME || brackets > 0 || goesOn)
                continue;
            const std::string_view operand = word(name);
            if (!values.count(operand) && operand != "true" && operand != "false")
                return static_cast<long>(name);
        }
    }
    return -1;
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
    ArraySizeCheck arraySize;
    std::size_t file = 0;           // the current token's
    bool afterOpenOrComma = false; // the token before the current one is ( or ,
    auto failIn = [&](std::size_t inFile, int atLine, const char* what) {
        char message[256];
        std::snprintf(message, sizeof(message), ":%d: %s\n", atLine, what);
        errors += "ERROR: " + scanner.FileName(inFile) + message;
        return false;
    };
    auto fail = [&](int atLine, const char* what) { return failIn(file, atLine, what); };
    std::vector<QP_HlslScanner::Token> tokens; // for the checks that look ahead
    while (scanner.Next(token)) {
        tokens.push_back(token);
        const std::size_t i = token.begin;
        const int line = token.line;
        file = token.file;
        if (!arraySize.Next(token.kind, text + i, token.end - i, depth, depth == 1 && expected[0] == ')'))
            return fail(line, "'[' : an array size must be one constant expression");
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
            if (depth == 0 && DeclaresLinkageType(text, length, i, end)) {
                char what[160];
                std::snprintf(what, sizeof(what),
                              "'%.*s' : interfaces and classes (dynamic shader linkage) are not supported; "
                              "use structs and functions",
                              static_cast<int>(size), text + i);
                return fail(line, what);
            }
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
    const long operand = BareNameThatIsNoValue(tokens, text);
    if (operand >= 0) {
        const QP_HlslScanner::Token& name = tokens[static_cast<std::size_t>(operand)];
        char what[128];
        std::snprintf(what, sizeof(what), "'%.*s' : undeclared identifier, or a function used as a value",
                      static_cast<int>(std::min<std::size_t>(name.end - name.begin, 48)), text + name.begin);
        return failIn(name.file, name.line, what);
    }
    return true;
}
