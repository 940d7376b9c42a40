#include "QD_Sequencer_QCS.h"

// Sections: tokenizer; token classes and readings; body parsers; the statement loop; file
// entry point.

#include "QC_ByteOrderMark.h"
#include "QC_File.h"
#include "QC_Log.h"
#include "QC_String.h"
#include "QD_SequencerBeat.h"
#include "QD_SequencerConst.h"
#include "QD_SequencerSpline.h"

#include <charconv>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace
{
// ---- tokenizer ------------------------------------------------------------------------

// A token is a view into the script text and the line it stands on; end is set when the text is
// exhausted (its line is then that of the last token, where whatever is missing belongs).
struct Token
{
    const char* text = "";
    std::uint32_t length = 0;
    bool end = true;
    int line = 1;
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
// ASCII only: bytes above 127 are one-character tokens, whatever the locale.
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsWordCharacter(char c)
{
    return IsLetter(c) || IsDigit(c) || c == '_';
}

class Tokenizer
{
public:
    // name: the script's file as the author knows it, or null for a text without one.
    // skipped: bytes before scriptText that belong to the text (a byte-order mark), so spans
    // count from the start of the whole text. errorText, when given, collects each message in
    // the author's form as well.
    Tokenizer(const char* scriptText, std::uint32_t scriptLength, const char* scriptName,
              std::uint32_t skipped = 0, std::string* errorText = nullptr)
        : text(scriptText), length(scriptLength), name(scriptName), skippedBytes(skipped), errors(errorText)
    {
    }

    // Where token stands in the whole text; an absent span for the end of the text.
    QD_ScriptSpan Span(const Token& token) const
    {
        if (token.end)
            return QD_ScriptSpan{};
        return QD_ScriptSpan{skippedBytes + static_cast<std::uint32_t>(token.text - text), token.length};
    }

    Token Next()
    {
        SkipBlanksAndComments();
        if (position >= length)
            return EndToken();
        const std::uint32_t start = position;
        const char first = text[position++];
        if (first == '-' || IsDigit(first)) {
            // A number: digits, letters, '_' and at most one '.'; a second '.' ends it.
            bool seenDot = false;
            while (position < length) {
                const char c = text[position];
                if (IsWordCharacter(c)) {
                    ++position;
                } else if (c == '.' && !seenDot) {
                    seenDot = true;
                    ++position;
                } else {
                    break;
                }
            }
        } else if (IsLetter(first) || first == '_') {
            while (position < length && IsWordCharacter(text[position]))
                ++position;
            // A word that runs into the end of the text is not a token: the text simply ends.
            if (position >= length)
                return EndToken();
        }
        lastTokenLine = line;
        return Token{text + start, position - start, false, line};
    }

    // Reports an error at the line of token in the author's file: "assets/scene.qcs(4): error:
    // Expected : after spline beat." (the message alone for a text without a name). file and
    // line are those of the check, as for every report.
    void Report(const char* file, int checkLine, const Token& token, const char* format, ...) const
    {
        char message[512];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(message, sizeof(message), format, arguments);
        va_end(arguments);
        if (name)
            QC_Report(QC_GetLog(), QC_LOG_ERROR, "%s(%d): error: %s", file, checkLine, name, token.line, message);
        else
            QC_Report(QC_GetLog(), QC_LOG_ERROR, "%s", file, checkLine, message);
        if (errors) {
            char line[640];
            if (name)
                std::snprintf(line, sizeof(line), "%s(%d): error: %s\n", name, token.line, message);
            else
                std::snprintf(line, sizeof(line), "%s\n", message);
            errors->append(line);
        }
    }

private:
    Token EndToken() const
    {
        Token end;
        end.line = lastTokenLine;
        return end;
    }

    void SkipBlanksAndComments()
    {
        while (position < length) {
            const char c = text[position];
            if (IsBlank(c)) {
                line += c == '\n';
                ++position;
            } else if (c == '/' && position + 1 < length && text[position + 1] == '/') {
                // Up to and with the next LF, and a CR directly after it.
                position += 2;
                while (position < length && text[position] != '\n')
                    ++position;
                if (position < length) {
                    ++position;
                    ++line;
                }
                if (position < length && text[position] == '\r')
                    ++position;
            } else if (c == '/' && position + 1 < length && text[position + 1] == '*') {
                // Not nested; an unclosed one runs to the end of the text.
                position += 2;
                while (position < length && !(text[position] == '*' && position + 1 < length && text[position + 1] == '/')) {
                    line += text[position] == '\n';
                    ++position;
                }
                position = position < length ? position + 2 : length;
            } else {
                return;
            }
        }
    }

    const char* text;
    std::uint32_t length;
    const char* name;
    std::uint32_t skippedBytes;
    std::string* errors;
    std::uint32_t position = 0;
    int line = 1;
    int lastTokenLine = 1;
};

// An error at the author's line of token, reported from the line of the check.
#define SCRIPT_ERROR(tokens, token, format, ...) \
    (tokens).Report(__FILE__, __LINE__, token, format __VA_OPT__(, ) __VA_ARGS__)

// ---- token classes and readings -------------------------------------------------------

bool Is(const Token& token, const char* literal)
{
    const std::size_t literalLength = std::strlen(literal);
    return !token.end && token.length == literalLength && std::memcmp(token.text, literal, literalLength) == 0;
}

bool IsDigitsOnly(const Token& token)
{
    if (token.end || token.length == 0)
        return false;
    for (std::uint32_t i = 0; i < token.length; ++i) {
        if (!IsDigit(token.text[i]))
            return false;
    }
    return true;
}

// An optional '-', digits, optionally '.' and digits, nothing else: "-1", "2.", "-.5", "0.25",
// and also a lone "-" or "." (both read as 0).
bool IsFloatConstant(const Token& token)
{
    if (token.end)
        return false;
    std::uint32_t i = 0;
    if (i < token.length && token.text[i] == '-')
        ++i;
    while (i < token.length && IsDigit(token.text[i]))
        ++i;
    if (i < token.length && token.text[i] == '.') {
        ++i;
        while (i < token.length && IsDigit(token.text[i]))
            ++i;
    }
    return i == token.length;
}

float ReadFloatConstant(const Token& token)
{
    return QD_ReadScriptFloat(token.text, token.length);
}

// The channel number of a digits-only token. Numbers beyond the channel range, however many
// digits they have, are refused rather than read with overflow.
bool ReadChannelNumber(const Tokenizer& tokens, const Token& token, std::uint32_t* number)
{
    std::uint64_t value = 0;
    for (std::uint32_t i = 0; i < token.length; ++i) {
        value = value * 10 + std::uint64_t(token.text[i] - '0');
        if (value > INT32_MAX)
            break;
    }
    if (value > QD_SEQUENCER_MAX_CHANNEL) {
        if (value <= INT32_MAX)
            SCRIPT_ERROR(tokens, token, "Channel %d is out of range.", static_cast<int>(value));
        else
            SCRIPT_ERROR(tokens, token, "Channel %.*s is out of range.", static_cast<int>(token.length), token.text);
        return false;
    }
    *number = static_cast<std::uint32_t>(value);
    return true;
}

int PrintLength(const Token& token)
{
    return token.end ? 0 : static_cast<int>(token.length);
}

// ---- body parsers ---------------------------------------------------------------------
// Each reads tokens after the body's keyword. On failure it reports its own message and
// leaves in current the token at which it stopped (an end token when the text ran out).

bool ParseSpline(Tokenizer& tokens, std::int32_t type, Token& current, QC_Ptr<QD_SequencerChannel>& channel,
                 QD_StatementSyntax* syntax)
{
    current = tokens.Next();
    if (!Is(current, "(")) {
        SCRIPT_ERROR(tokens, current, "Expected (.");
        return false;
    }
    std::vector<QD_SequencerKey> keys;
    for (;;) {
        current = tokens.Next();
        // The text ending where a key's position is awaited ends the spline with the keys so
        // far; the statement then fails for want of its ';'.
        if (current.end)
            break;
        float beat;
        QD_KeySyntax keySyntax;
        if (Is(current, "+")) {
            keySyntax.plus = tokens.Span(current);
            current = tokens.Next();
            if (!IsFloatConstant(current)) {
                SCRIPT_ERROR(tokens, current, "Expected float for beat in spline.");
                return false;
            }
            // Relative to the previous key of this spline; the first key is relative to 0.
            beat = (keys.empty() ? 0.0f : keys.back().beat) + ReadFloatConstant(current);
        } else if (IsFloatConstant(current)) {
            beat = ReadFloatConstant(current);
        } else {
            SCRIPT_ERROR(tokens, current, "Expected float for beat in spline.");
            return false;
        }
        keySyntax.beat = tokens.Span(current);
        current = tokens.Next();
        if (!Is(current, ":")) {
            SCRIPT_ERROR(tokens, current, "Expected : after spline beat.");
            return false;
        }
        current = tokens.Next();
        if (!IsFloatConstant(current)) {
            SCRIPT_ERROR(tokens, current, "Expected float for value in spline.");
            return false;
        }
        keys.push_back(QD_SequencerKey{beat, ReadFloatConstant(current)});
        keySyntax.value = tokens.Span(current);
        current = tokens.Next();
        const bool last = Is(current, ")");
        if (!last && !Is(current, ",")) {
            SCRIPT_ERROR(tokens, current, ", or ) for end of spline.");
            return false;
        }
        if (!last)
            keySyntax.comma = tokens.Span(current);
        if (syntax)
            syntax->keys.push_back(keySyntax);
        if (last)
            break;
    }
    channel = new QD_SequencerSpline(type, std::move(keys));
    return true;
}

bool ParseBeat(Tokenizer& tokens, Token& current, QC_Ptr<QD_SequencerChannel>& channel, QD_StatementSyntax* syntax)
{
    current = tokens.Next();
    if (!Is(current, "(")) {
        SCRIPT_ERROR(tokens, current, "Expected ( after beat.");
        return false;
    }
    current = tokens.Next();
    if (!IsFloatConstant(current)) {
        SCRIPT_ERROR(tokens, current, "Expected amplifier for beat.");
        return false;
    }
    const float amplifier = ReadFloatConstant(current);
    if (syntax)
        syntax->amplifier = tokens.Span(current);
    current = tokens.Next();
    if (!Is(current, ")")) {
        SCRIPT_ERROR(tokens, current, "Expected ) after beattrigger arguments.");
        return false;
    }
    channel = new QD_SequencerBeat(amplifier);
    return true;
}

// ---- the statement loop ---------------------------------------------------------------

// Parses the body that starts at token; false after reporting.
bool ParseBody(Tokenizer& tokens, const Token& token, QC_Ptr<QD_SequencerChannel>& channel,
               QD_StatementSyntax* syntax)
{
    if (syntax)
        syntax->head = tokens.Span(token);
    if (IsFloatConstant(token)) {
        channel = new QD_SequencerConst(ReadFloatConstant(token));
        return true;
    }
    Token current = token;
    bool parsed;
    if (Is(token, "linear"))
        parsed = ParseSpline(tokens, QD_SPLINE_LINEAR, current, channel, syntax);
    else if (Is(token, "constant"))
        parsed = ParseSpline(tokens, QD_SPLINE_CONSTANT, current, channel, syntax);
    else if (Is(token, "catmullrom"))
        parsed = ParseSpline(tokens, QD_SPLINE_CATMULLROM, current, channel, syntax);
    else if (Is(token, "beat"))
        parsed = ParseBeat(tokens, current, channel, syntax);
    else
        parsed = false;
    if (!parsed)
        SCRIPT_ERROR(tokens, current, "No channel of type %.*s.", PrintLength(current), current.text);
    return parsed;
}

// syntax, when given, receives one statement per channel object made.
bool ParseStatements(Tokenizer& tokens, QD_Sequencer& sequencer, QD_ScriptSyntax* syntax)
{
    for (;;) {
        Token token = tokens.Next();
        if (token.end)
            return true;
        if (!IsDigitsOnly(token)) {
            SCRIPT_ERROR(tokens, token, "Expected number constant for channel.");
            return false;
        }
        std::uint32_t number = 0;
        if (!ReadChannelNumber(tokens, token, &number))
            return false;
        const int channelNumber = static_cast<int>(number);
        QD_StatementSyntax statement;
        statement.channel = number;
        statement.number = tokens.Span(token);

        token = tokens.Next();
        if (!Is(token, "=")) {
            SCRIPT_ERROR(tokens, token, "Expected = to assign channel %d a value.", channelNumber);
            return false;
        }
        token = tokens.Next();
        if (token.end) {
            SCRIPT_ERROR(tokens, token, "Expected assigned to channel %d.", channelNumber);
            return false;
        }
        QC_Ptr<QD_SequencerChannel> channel;
        if (!ParseBody(tokens, token, channel, syntax ? &statement : nullptr))
            return false;
        token = tokens.Next();
        if (!Is(token, ";")) {
            SCRIPT_ERROR(tokens, token, "Expected ; at end of channel %d assignment.", channelNumber);
            return false;
        }
        sequencer.SetChannel(channel.Get(), number);
        if (syntax) {
            statement.semicolon = tokens.Span(token);
            syntax->statements.push_back(std::move(statement));
        }
    }
}
} // namespace

// ---- entry points ---------------------------------------------------------------------

namespace
{
bool ParseText(const char* text, std::uint32_t length, QC_Ptr<QD_Sequencer>& sequencer, const char* name,
               QD_ScriptSyntax* syntax)
{
    // Built aside and handed out only whole: a script with an error never yields a partial
    // sequencer, and the caller's stays in use.
    QC_Ptr<QD_Sequencer> built(new QD_Sequencer);
    // A leading byte-order mark is no token; it comes before line 1's first character.
    const std::uint32_t mark = static_cast<std::uint32_t>(QC_ByteOrderMarkLength(text, length));
    Tokenizer tokens(text + mark, length - mark, name, mark, syntax ? &syntax->errors : nullptr);
    if (!ParseStatements(tokens, *built, syntax))
        return false;
    sequencer = built;
    return true;
}
} // namespace

bool QD_ParseSequencerText(const char* text, std::uint32_t length, QC_Ptr<QD_Sequencer>& sequencer, const char* name)
{
    return ParseText(text, length, sequencer, name, nullptr);
}

bool QD_ParseSequencerSyntax(const char* text, std::uint32_t length, QC_Ptr<QD_Sequencer>& sequencer,
                             QD_ScriptSyntax& syntax, const char* name)
{
    QD_ScriptSyntax parsed;
    if (!ParseText(text, length, sequencer, name, &parsed)) {
        // The statements read before the error are of no use; the messages are.
        syntax = QD_ScriptSyntax{};
        syntax.errors = std::move(parsed.errors);
        return false;
    }
    syntax = std::move(parsed);
    return true;
}

float QD_ReadScriptFloat(const char* digits, std::uint32_t length)
{
    const std::string number(digits, length);
    const double value = std::strtod(number.c_str(), nullptr);
    const double magnitude = std::fabs(value);
    if (magnitude > double(FLT_MAX)) {
        // Halfway between FLT_MAX and 2^128 and above rounds to infinity.
        const double overflowThreshold = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
        const float rounded = magnitude >= overflowThreshold ? INFINITY : FLT_MAX;
        return value < 0.0 ? -rounded : rounded;
    }
    return static_cast<float>(value);
}

std::string QD_FormatScriptFloat(float value)
{
    // The shortest plain decimal that reads back as value, or, where the reading's double
    // rounding needs more, the first longer one that does (every float has an exact decimal
    // form, so the search ends). The format has no exponent, so fixed notation it is.
    char buffer[64];
    std::to_chars_result result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed);
    std::string text(buffer, result.ptr);
    for (int precision = 1; QD_ReadScriptFloat(text.data(), static_cast<std::uint32_t>(text.size())) != value &&
                            precision <= 160;
         ++precision) {
        char wide[256];
        result = std::to_chars(wide, wide + sizeof(wide), value, std::chars_format::fixed, precision);
        text.assign(wide, result.ptr);
    }
    return text;
}

bool QD_ParseSequencerScript(const char* path, QC_Ptr<QD_Sequencer>& sequencer)
{
    const QC_StaticString<1024> filePath(path);
    QC_String text;
    if (!QC_ReadFile(filePath.CStr(), text))
        return false;
    return QD_ParseSequencerText(text.CStr(), text.Length(), sequencer, filePath.CStr());
}
