// The HLSL token scanner of the compile chain. Sections: bytes, tokens, preprocessor lines.

#include "QP_HlslScanner.h"

namespace
{
// --- bytes -------------------------------------------------------------------------------------
// ASCII only, whatever the locale: the front end reads names so.
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsNameChar(char c)
{
    return IsNameStart(c) || IsDigit(c);
}

bool IsSpace(char c, unsigned options)
{
    return c == ' ' || c == '\t' || c == '\r' ||
           ((options & QP_HlslScanner::FORM_FEEDS_AS_SPACE) && (c == '\f' || c == '\v'));
}
} // namespace

QP_HlslScanner::QP_HlslScanner(const char* text, std::size_t length, const char* sourceName, unsigned options)
    : text(text), length(length), options(options)
{
    FileIndex(sourceName && sourceName[0] ? sourceName : "0");
}

// --- tokens ------------------------------------------------------------------------------------
bool QP_HlslScanner::Next(Token& token)
{
    while (at < length) {
        const char c = text[at];
        if (c == '\n') {
            ++line;
            lineStart = true;
            ++at;
            continue;
        }
        if (IsSpace(c, options)) {
            ++at;
            continue;
        }
        if (lineStart && c == '#') {
            SkipDirective();
            continue;
        }
        lineStart = false;
        if (c == '/' && at + 1 < length && text[at + 1] == '/') {
            while (at < length && text[at] != '\n')
                ++at;
            continue;
        }
        if (c == '/' && at + 1 < length && text[at + 1] == '*') {
            // A comment's line breaks count, but none of them starts a line: a '#' after the
            // comment is no directive.
            for (at += 2; at < length && !(text[at] == '*' && at + 1 < length && text[at + 1] == '/'); ++at)
                line += text[at] == '\n';
            at = at < length ? at + 2 : length;
            continue;
        }
        token.begin = at;
        token.line = line;
        token.file = file;
        if (c == '"') {
            token.kind = STRING;
            at = StringEnd(at);
        } else if (IsNameStart(c)) {
            token.kind = NAME;
            for (++at; at < length && IsNameChar(text[at]);)
                ++at;
        } else if (IsDigit(c) || (c == '.' && at + 1 < length && IsDigit(text[at + 1]))) {
            token.kind = NUMBER;
            for (++at; at < length && (IsDigit(text[at]) || (text[at] == '.' && at + 1 < length && IsDigit(text[at + 1])));)
                ++at;
        } else {
            token.kind = PUNCTUATION;
            ++at;
        }
        token.end = at;
        return true;
    }
    return false;
}

// Where the string opened at quote ends: after its closing quote, else at its line break (which
// the next token read counts) or the end of the text.
std::size_t QP_HlslScanner::StringEnd(std::size_t quote)
{
    const bool escapedBreaks = (options & ESCAPED_BREAKS_IN_STRINGS) != 0;
    std::size_t i = quote + 1;
    for (; i < length && text[i] != '"' && text[i] != '\n'; ++i) {
        if (text[i] == '\\' && i + 1 < length && (escapedBreaks || text[i + 1] != '\n')) {
            ++i;
            // An escaped break is still a line of the text: what follows keeps its number.
            if (text[i] == '\n')
                ++line;
        }
    }
    return i < length && text[i] == '"' ? i + 1 : i;
}

// --- preprocessor lines ------------------------------------------------------------------------
// From the '#' at the current byte to the line break that ends the directive (left for Next to
// count), following a #line directive.
void QP_HlslScanner::SkipDirective()
{
    std::size_t lineEnd = at;
    while (lineEnd < length && text[lineEnd] != '\n')
        ++lineEnd;
    int number = 0;
    bool named = false;
    const bool lineDirective = ReadLineDirective(lineEnd, number, named);
    at = lineEnd;
    if (options & CONTINUED_DIRECTIVES) {
        // Each continued break counts as a line; the directive ends at the first other one.
        while (at < length && at > 0 && text[at] == '\n' &&
               (text[at - 1] == '\\' || (text[at - 1] == '\r' && at > 1 && text[at - 2] == '\\'))) {
            ++line;
            for (++at; at < length && text[at] != '\n';)
                ++at;
        }
    }
    if (!lineDirective)
        return;
    // The line break after the directive makes the next line line N.
    line = number - 1;
    if (named && (!directiveName.empty() || (options & EMPTY_FILE_NAMES)))
        file = FileIndex(directiveName);
}

// Reads "#line N" or "#line N "name"" from the '#' at the current byte up to lineEnd: false for
// any other directive. named: a closed "name" follows N (in directiveName). N has at most nine
// digits; a longer number is read as its first nine.
bool QP_HlslScanner::ReadLineDirective(std::size_t lineEnd, int& number, bool& named)
{
    std::size_t i = at + 1;
    while (i < lineEnd && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (lineEnd - i < 4 || text[i] != 'l' || text[i + 1] != 'i' || text[i + 2] != 'n' || text[i + 3] != 'e')
        return false;
    i += 4;
    while (i < lineEnd && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    long value = 0;
    std::size_t digits = 0;
    for (; i < lineEnd && IsDigit(text[i]) && digits < 9; ++i, ++digits)
        value = value * 10 + (text[i] - '0');
    if (digits == 0)
        return false;
    while (i < lineEnd && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    named = false;
    if (i < lineEnd && text[i] == '"') {
        const std::size_t start = ++i;
        while (i < lineEnd && text[i] != '"')
            ++i;
        named = i < lineEnd;
        if (named)
            directiveName.assign(text + start, i - start);
    }
    number = static_cast<int>(value);
    return true;
}

std::size_t QP_HlslScanner::FileIndex(const std::string& name)
{
    const auto found = fileIndices.find(name);
    if (found != fileIndices.end())
        return found->second;
    files.push_back(name);
    fileIndices.emplace(name, files.size() - 1);
    return files.size() - 1;
}
