#include "QR_ShaderMessages.h"

#include <cstring>

namespace
{
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

void AppendNumber(QC_StringBase& text, std::uint32_t value)
{
    char digits[16];
    QC_IntToString(static_cast<int>(value), digits);
    text.Append(digits);
}

// Digits at text[at, length) up to nine of them (more would say nothing useful); false when
// there is no digit. at is left after them.
bool ReadNumber(const char* text, std::size_t length, std::size_t& at, std::uint32_t& value)
{
    const std::size_t start = at;
    value = 0;
    while (at < length && IsDigit(text[at]) && at - start < 9)
        value = value * 10 + static_cast<std::uint32_t>(text[at++] - '0');
    return at > start && !(at < length && IsDigit(text[at]));
}

void AppendPlace(QC_StringBase& out, const char* file, std::size_t fileLength, std::uint32_t line,
                 std::uint32_t column, const char* kind)
{
    if (fileLength == 0)
        out.Append('0');
    else
        out.Append(file, static_cast<std::uint32_t>(fileLength));
    out.Append('(');
    AppendNumber(out, line > 0 ? line : 1);
    if (column > 0) {
        out.Append(',');
        AppendNumber(out, column);
    }
    out.Append("): ");
    out.Append(kind);
    out.Append(": ");
}

// One line of the compiler's text, read: the place it names (file empty when it names none) and
// what it says.
struct CompilerLine
{
    const char* kind = "error";
    const char* file = "";
    std::size_t fileLength = 0;
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    const char* text = nullptr;
    std::size_t textLength = 0;
};

// The front end's "FILE:LINE: text" after its ERROR: or WARNING: tag. The file is everything up to
// the first ':' that digits and another ':' follow, so a file name may hold a ':' of its own.
bool ReadColonPlace(const char* text, std::size_t length, CompilerLine& read)
{
    for (std::size_t colon = 1; colon + 1 < length; ++colon) {
        if (text[colon] != ':' || !IsDigit(text[colon + 1]))
            continue;
        std::size_t at = colon + 1;
        std::uint32_t line = 0;
        if (!ReadNumber(text, length, at, line) || at >= length || text[at] != ':')
            continue;
        ++at;
        if (at < length && text[at] == ' ')
            ++at;
        read.file = text;
        read.fileLength = colon;
        read.line = line;
        read.text = text + at;
        read.textLength = length - at;
        return true;
    }
    return false;
}

// The HLSL grammar's "FILE(LINE): error at column C, text", and a line already in the one form
// (its column kept). The grammar's column counts in the preprocessed text, so it is dropped.
bool ReadParenthesisPlace(const char* text, std::size_t length, CompilerLine& read)
{
    static const char kGrammar[] = "): error at column ";
    static const char kError[] = "): error: ";
    static const char kWarning[] = "): warning: ";
    for (std::size_t open = 1; open < length; ++open) {
        if (text[open] != '(')
            continue;
        std::size_t at = open + 1;
        std::uint32_t line = 0, column = 0;
        if (!ReadNumber(text, length, at, line))
            continue;
        if (at < length && text[at] == ',') {
            ++at;
            if (!ReadNumber(text, length, at, column))
                continue;
        }
        const char* rest = text + at;
        const std::size_t restLength = length - at;
        auto startsWith = [&](const char* word, std::size_t size) {
            return restLength >= size && std::memcmp(rest, word, size) == 0;
        };
        if (startsWith(kGrammar, sizeof(kGrammar) - 1) && column == 0) {
            at += sizeof(kGrammar) - 1;
            std::uint32_t ignored = 0;
            if (!ReadNumber(text, length, at, ignored) || at + 1 >= length || text[at] != ',' || text[at + 1] != ' ')
                continue;
            at += 2;
        } else if (startsWith(kError, sizeof(kError) - 1)) {
            at += sizeof(kError) - 1;
            read.column = column;
        } else if (startsWith(kWarning, sizeof(kWarning) - 1)) {
            read.kind = "warning";
            at += sizeof(kWarning) - 1;
            read.column = column;
        } else {
            continue;
        }
        read.file = text;
        read.fileLength = open;
        read.line = line;
        read.text = text + at;
        read.textLength = length - at;
        return true;
    }
    return false;
}

CompilerLine ReadLine(const char* text, std::size_t length)
{
    struct Tag
    {
        const char* text;
        const char* kind;
    };
    static const Tag kTags[] = {{"ERROR: ", "error"},           {"WARNING: ", "warning"},
                                {"NOTE: ", "note"},             {"INTERNAL ERROR: ", "error"},
                                {"UNIMPLEMENTED: ", "error"}};
    CompilerLine read;
    for (const Tag& tag : kTags) {
        const std::size_t size = std::strlen(tag.text);
        if (length >= size && std::memcmp(text, tag.text, size) == 0) {
            read.kind = tag.kind;
            text += size;
            length -= size;
            break;
        }
    }
    if (ReadColonPlace(text, length, read) || ReadParenthesisPlace(text, length, read))
        return read;
    read.text = text;
    read.textLength = length;
    return read;
}
} // namespace

QC_String QR_ShaderMessages::Place(const char* file, std::uint32_t line, std::uint32_t column)
{
    QC_String place;
    AppendPlace(place, file ? file : "", file ? std::strlen(file) : 0, line, column, "error");
    return place;
}

QC_String QR_ShaderMessages::FromCompiler(const char* text, const char* file, std::uint32_t line)
{
    QC_String out;
    const std::size_t stageFileLength = file ? std::strlen(file) : 0;
    const char* at = text ? text : "";
    while (*at) {
        const char* end = std::strchr(at, '\n');
        if (!end)
            end = at + std::strlen(at);
        std::size_t length = static_cast<std::size_t>(end - at);
        while (length > 0 && (at[length - 1] == ' ' || at[length - 1] == '\t' || at[length - 1] == '\r'))
            --length;
        if (length > 0) {
            const CompilerLine read = ReadLine(at, length);
            if (read.fileLength > 0)
                AppendPlace(out, read.file, read.fileLength, read.line, read.column, read.kind);
            else
                AppendPlace(out, file, stageFileLength, line, 0, read.kind);
            out.Append(read.text, static_cast<std::uint32_t>(read.textLength));
            out.Append('\n');
        }
        at = *end ? end + 1 : end;
    }
    return out;
}
