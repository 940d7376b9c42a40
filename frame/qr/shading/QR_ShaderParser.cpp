#include "QR_ShaderParser.h"

#include "QC_ByteOrderMark.h"
#include "QR_ShaderMessages.h"

#include <algorithm>
#include <cstring>

// Sections: scanner, places, top level, constants block, samplers block, stage block and functions.

namespace
{
bool IsIdentifierCharacter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
} // namespace

// ---- scanner ------------------------------------------------------------------------------

// A token is a run of [0-9A-Za-z_] or one single other character. Blanks, tabs, line breaks and
// comments separate tokens. A comment that begins directly after identifier characters ends the
// token like any other character, so "name// note\nnext" gives "name" and "next", never one token.
bool QR_ShaderParser::NextToken()
{
    token.Clear();
    const char* text = source.CStr();
    const std::uint32_t length = source.Length();

    while (position < length) {
        const char c = text[position];

        if (IsIdentifierCharacter(c)) {
            const std::uint32_t start = position;
            while (position < length && IsIdentifierCharacter(text[position]))
                ++position;
            // A word that runs right into the end of the text counts as no token at all.
            if (position >= length)
                break;
            tokenStart = start;
            token.Append(text + start, position - start);
            return true;
        }

        const bool slashPair = c == '/' && position + 1 < length;
        if (slashPair && text[position + 1] == '/') {
            // Up to and including the next '\n', and a '\r' right after it.
            const void* lineBreak = std::memchr(text + position + 2, '\n', length - position - 2);
            if (!lineBreak)
                break;
            position = static_cast<std::uint32_t>(static_cast<const char*>(lineBreak) - text) + 1;
            if (position < length && text[position] == '\r')
                ++position;
            continue;
        }
        if (slashPair && text[position + 1] == '*') {
            // "/*/" does not close: the search starts after both opening characters.
            std::uint32_t scan = position + 2;
            while (scan + 1 < length && !(text[scan] == '*' && text[scan + 1] == '/'))
                ++scan;
            if (scan + 1 >= length)
                break;
            position = scan + 2;
            continue;
        }
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            ++position;
            continue;
        }

        tokenStart = position;
        token.Append(c);
        ++position;
        return true;
    }
    tokenStart = length;
    return false;
}

// ---- places -------------------------------------------------------------------------------

QR_ShaderParser::Where QR_ShaderParser::PlaceOf(std::uint32_t offset) const
{
    // The end of the text reads as the end of its last word, not as a line after its last break.
    if (offset >= source.Length()) {
        offset = source.Length();
        const char* text = source.CStr();
        auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
        while (offset > lineStarts.front() && blank(text[offset - 1]))
            --offset;
    }
    const auto next = std::upper_bound(lineStarts.begin(), lineStarts.end(), offset);
    const std::uint32_t index = static_cast<std::uint32_t>(next - lineStarts.begin()) - 1;
    return {index + 1, offset - lineStarts[index] + 1};
}

QC_String QR_ShaderParser::At(std::uint32_t offset) const
{
    const Where where = PlaceOf(offset);
    return QR_ShaderMessages::Place(description.sourceName.CStr(), where.line, where.column);
}

// ---- top level ----------------------------------------------------------------------------

void QR_ShaderParser::Parse(const QC_StringBase& text, const char* sourceName)
{
    QC_ASSERT(!parsed, "A shader parser parses one source only.");
    parsed = true;
    source = text;
    if (sourceName)
        description.sourceName = sourceName;
    // A leading byte-order mark is no token; it comes before line 1's first character.
    position = static_cast<std::uint32_t>(QC_ByteOrderMarkLength(source.CStr(), source.Length()));
    lineStarts.push_back(position);
    for (std::uint32_t i = position; i < source.Length(); ++i) {
        if (source.CStr()[i] == '\n')
            lineStarts.push_back(i + 1);
    }

    while (NextToken()) {
        if (TokenIs("vertex")) {
            ParseStage(description.vertexStage, "vertex");
        } else if (TokenIs("pixel")) {
            ParseStage(description.pixelStage, "pixel");
        } else if (TokenIs("samplers")) {
            ParseSamplers();
        } else if (TokenIs("constants")) {
            ParseConstants();
        } else {
            QC_ERROR("%sExpected vertex, pixel, samplers or constants block.", At(tokenStart).CStr());
            return;
        }
    }
}

// ---- constants block ----------------------------------------------------------------------

// constants { blockName { type name; ... } ... }
void QR_ShaderParser::ParseConstants()
{
    if (!NextToken())
        return;
    if (!TokenIs('{')) {
        QC_ERROR("%sExpected { after constants.", At(tokenStart).CStr());
        return;
    }

    for (;;) {
        if (!NextToken() || TokenIs('}'))
            return;

        QR_ShaderName blockName;
        blockName = token;
        // The block is recorded before its own "{" is seen, so a name followed by anything else
        // still leaves an empty block. A 17th block is reported and its constants are dropped.
        QR_ShaderConstantBlock* block = description.constantBlocks.Append();
        if (block) {
            block->name = blockName;
            block->line = PlaceOf(tokenStart).line;
        } else {
            QC_ERROR("%sToo many constant blocks.", At(tokenStart).CStr());
        }

        if (!NextToken() || !TokenIs('{')) {
            QC_ERROR("%sExpected { after constants block %s.", At(tokenStart).CStr(), blockName.CStr());
            return;
        }

        for (;;) {
            if (!NextToken()) {
                QC_ERROR("%sExpected } to close constants block %s.", At(tokenStart).CStr(), blockName.CStr());
                return;
            }
            if (TokenIs('}'))
                break;

            const std::uint32_t constantStart = tokenStart;
            const QR_ShaderConstantType type = QR_LookupShaderConstantType(token.CStr());
            if (type == QR_SHADER_CONSTANT_UNKNOWN) {
                QC_ERROR("%sUnknown type %s in constants block %s.", At(tokenStart).CStr(), token.CStr(),
                         blockName.CStr());
                return;
            }
            if (!NextToken()) {
                QC_ERROR("%sExpected constant name in constants block %s", At(tokenStart).CStr(), blockName.CStr());
                return;
            }
            QR_ShaderName constantName;
            constantName = token;
            if (!NextToken() || !TokenIs(';')) {
                QC_ERROR("%sExpected ; after %s in constants block %s", At(tokenStart).CStr(), constantName.CStr(),
                         blockName.CStr());
                return;
            }

            if (!block)
                continue;
            QR_ShaderConstant* constant = block->constants.Append();
            if (!constant) {
                QC_ERROR("%sToo many constants in constants block %s.", At(constantStart).CStr(), blockName.CStr());
                continue;
            }
            constant->type = type;
            constant->name = constantName;
            constant->line = PlaceOf(constantStart).line;
        }
    }
}

// ---- samplers block -----------------------------------------------------------------------

// samplers { QR_Sampler2D name; ... }. A sampler's position in the list is its register number.
void QR_ShaderParser::ParseSamplers()
{
    if (!NextToken())
        return;
    if (!TokenIs('{')) {
        QC_ERROR("%sExpected { after samplers.", At(tokenStart).CStr());
        return;
    }

    for (;;) {
        if (!NextToken() || TokenIs('}'))
            return;
        const std::uint32_t samplerStart = tokenStart;
        const QR_ShaderSamplerType type = QR_LookupShaderSamplerType(token.CStr());
        if (type == QR_SHADER_SAMPLER_UNKNOWN) {
            QC_ERROR("%sUnknown sampler type %s.", At(tokenStart).CStr(), token.CStr());
            return;
        }
        if (!NextToken()) {
            QC_ERROR("%sExpected sampler name.", At(tokenStart).CStr());
            return;
        }
        QR_ShaderName name;
        name = token;
        if (!NextToken() || !TokenIs(';')) {
            QC_ERROR("%sExpected ; after sampler.", At(tokenStart).CStr());
            return;
        }

        QR_ShaderSampler* sampler = description.samplers.Append();
        if (!sampler) {
            QC_ERROR("%sToo many samplers.", At(samplerStart).CStr());
            continue;
        }
        sampler->type = type;
        sampler->name = name;
        sampler->line = PlaceOf(samplerStart).line;
    }
}

// ---- stage block and functions ------------------------------------------------------------

// Only function bodies are brace-matched: a "}" at item level always closes the stage block.
void QR_ShaderParser::ParseStage(QR_ShaderStage& stage, const char* stageName)
{
    // The code is kept only when the block closes normally; any other ending leaves it empty, and
    // a later block of the same stage replaces it either way.
    stage.code.Clear();
    stage.codeLine = 0;
    stage.blockLine = PlaceOf(tokenStart).line;

    if (!NextToken())
        return;
    if (!TokenIs('{')) {
        QC_ERROR("%sExpected { after %s.", At(tokenStart).CStr(), stageName);
        return;
    }
    const std::uint32_t codeStart = position;

    for (;;) {
        if (!NextToken()) {
            QC_ERROR("%sExpected }", At(tokenStart).CStr());
            return;
        }
        if (TokenIs('}')) {
            // position is just past the "}", which the code does not include. The code's first
            // line is the rest of the line of the "{".
            stage.code.Append(source.CStr() + codeStart, position - 1 - codeStart);
            stage.codeLine = PlaceOf(codeStart).line;
            return;
        }

        // Anything that is no function (a global declaration, a stray token) is stepped over one
        // token at a time without a message.
        const bool returnsVoid = TokenIs("void");
        const std::uint32_t afterReturnType = position;
        if (!ParseFunction(stage, stageName, returnsVoid))
            position = afterReturnType;
    }
}

bool QR_ShaderParser::ParseFunction(QR_ShaderStage& stage, const char* stageName, bool returnsVoid)
{
    if (!NextToken())
        return false;
    bool isEntry = TokenIs("main");
    if (isEntry && !returnsVoid) {
        QC_ERROR("%sOnly return type void allowed for %s main.", At(tokenStart).CStr(), stageName);
        isEntry = false;
    }
    if (isEntry)
        stage.entryLine = PlaceOf(tokenStart).line;
    if (!NextToken() || !TokenIs('('))
        return false;

    // Parameters: only main's are read; an ordinary function's are skipped up to ")".
    const std::uint32_t listStart = position;
    if (!isEntry && listStart >= unclosedListFrom) {
        QC_ERROR("%sExpected )", At(tokenStart).CStr());
        return false;
    }
    for (;;) {
        if (!NextToken()) {
            QC_ERROR("%sExpected )", At(tokenStart).CStr());
            if (!isEntry && listStart < unclosedListFrom)
                unclosedListFrom = listStart;
            return false;
        }
        if (TokenIs(')'))
            break;
        if (!isEntry)
            continue;
        const ParameterEnd end = ParseEntryParameter(stage, stageName);
        if (end == ParameterEnd::Failed)
            return false;
        if (end == ParameterEnd::ListClosed)
            break;
    }

    if (!NextToken() || !TokenIs('{')) {
        QC_ERROR("%sExpected {", At(tokenStart).CStr());
        return false;
    }

    // The body: comments are skipped by the scanner, so braces inside them do not count.
    std::uint32_t depth = 1;
    while (depth > 0) {
        if (!NextToken()) {
            // Counted as a function: the stage block then reports the missing "}" itself.
            QC_ERROR("%sExpected closing }.", At(tokenStart).CStr());
            return true;
        }
        if (TokenIs('{'))
            ++depth;
        else if (TokenIs('}'))
            --depth;
    }
    return true;
}

// qualifier semantic name, then "," or ")". Parameters appended before a later failure stay.
QR_ShaderParser::ParameterEnd QR_ShaderParser::ParseEntryParameter(QR_ShaderStage& stage, const char* stageName)
{
    const bool isInput = TokenIs("in");
    const bool isOutput = TokenIs("out");
    const std::uint32_t parameterStart = tokenStart;

    if (!NextToken())
        return ParameterEnd::Failed;
    const QR_ShaderSemantic semantic = QR_LookupShaderSemantic(token.CStr());
    const std::uint32_t semanticStart = tokenStart;
    semanticWord = token;
    if (!NextToken())
        return ParameterEnd::Failed;

    // Any other qualifier (inout, none at all) reads the parameter and drops it.
    if (isInput || isOutput) {
        if (semantic == QR_SEMANTIC_UNKNOWN) {
            QC_ERROR("%sUnknown semantics %s.", At(semanticStart).CStr(), semanticWord.CStr());
            return ParameterEnd::Failed;
        }
        QR_ShaderName name;
        name = token;
        QR_ShaderParameter* parameter = isInput ? stage.inputs.Append() : stage.outputs.Append();
        if (parameter) {
            parameter->semantic = semantic;
            parameter->name = name;
            parameter->line = PlaceOf(parameterStart).line;
        } else {
            bool& reported = overflowReported[&stage == &description.vertexStage ? 0 : 1][isInput ? 0 : 1];
            if (!reported)
                QC_ERROR("%sToo many %s of %s main.", At(parameterStart).CStr(), isInput ? "inputs" : "outputs",
                         stageName);
            reported = true;
        }
    }

    if (!NextToken())
        return ParameterEnd::Failed;
    if (TokenIs(')'))
        return ParameterEnd::ListClosed;
    // "," goes on with the next parameter; any other token is dropped and the one after it is
    // read as the next qualifier.
    return ParameterEnd::Next;
}
