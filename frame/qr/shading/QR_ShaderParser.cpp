#include "QR_ShaderParser.h"

#include "QC_ByteOrderMark.h"

#include <cstring>

// Sections: scanner, top level, constants block, samplers block, stage block and functions.

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
                return false;
            token.Append(text + start, position - start);
            return true;
        }

        const bool slashPair = c == '/' && position + 1 < length;
        if (slashPair && text[position + 1] == '/') {
            // Up to and including the next '\n', and a '\r' right after it.
            const void* lineBreak = std::memchr(text + position + 2, '\n', length - position - 2);
            if (!lineBreak)
                return false;
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
                return false;
            position = scan + 2;
            continue;
        }
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            ++position;
            continue;
        }

        token.Append(c);
        ++position;
        return true;
    }
    return false;
}

// ---- top level ----------------------------------------------------------------------------

void QR_ShaderParser::Parse(const QC_StringBase& text)
{
    QC_ASSERT(!parsed, "A shader parser parses one source only.");
    parsed = true;
    source = text;
    // A leading byte-order mark is no token; it comes before line 1's first character.
    position = static_cast<std::uint32_t>(QC_ByteOrderMarkLength(source.CStr(), source.Length()));

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
            QC_ERROR("Expected vertex, pixel, samplers or constants block.");
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
        QC_ERROR("Expected { after constants.");
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
        if (block)
            block->name = blockName;
        else
            QC_ERROR("Too many constant blocks.");

        if (!NextToken() || !TokenIs('{')) {
            QC_ERROR("Expected { after constants block %s.", blockName.CStr());
            return;
        }

        for (;;) {
            if (!NextToken()) {
                QC_ERROR("Expected } to close constants block %s.", blockName.CStr());
                return;
            }
            if (TokenIs('}'))
                break;

            const QR_ShaderConstantType type = QR_LookupShaderConstantType(token.CStr());
            if (type == QR_SHADER_CONSTANT_UNKNOWN) {
                QC_ERROR("Unknown type %s in constants block %s.", token.CStr(), blockName.CStr());
                return;
            }
            if (!NextToken()) {
                QC_ERROR("Expected constant name in constants block %s", blockName.CStr());
                return;
            }
            QR_ShaderName constantName;
            constantName = token;
            if (!NextToken() || !TokenIs(';')) {
                QC_ERROR("Expected ; after %s in constants block %s", constantName.CStr(), blockName.CStr());
                return;
            }

            if (!block)
                continue;
            QR_ShaderConstant* constant = block->constants.Append();
            if (!constant) {
                QC_ERROR("Too many constants in constants block %s.", blockName.CStr());
                continue;
            }
            constant->type = type;
            constant->name = constantName;
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
        QC_ERROR("Expected { after samplers.");
        return;
    }

    for (;;) {
        if (!NextToken() || TokenIs('}'))
            return;
        const QR_ShaderSamplerType type = QR_LookupShaderSamplerType(token.CStr());
        if (type == QR_SHADER_SAMPLER_UNKNOWN) {
            QC_ERROR("Unknown sampler type %s.", token.CStr());
            return;
        }
        if (!NextToken()) {
            QC_ERROR("Expected sampler name.");
            return;
        }
        QR_ShaderName name;
        name = token;
        if (!NextToken() || !TokenIs(';')) {
            QC_ERROR("Expected ; after sampler.");
            return;
        }

        QR_ShaderSampler* sampler = description.samplers.Append();
        if (!sampler) {
            QC_ERROR("Too many samplers.");
            continue;
        }
        sampler->type = type;
        sampler->name = name;
    }
}

// ---- stage block and functions ------------------------------------------------------------

// Only function bodies are brace-matched: a "}" at item level always closes the stage block.
void QR_ShaderParser::ParseStage(QR_ShaderStage& stage, const char* stageName)
{
    // The code is kept only when the block closes normally; any other ending leaves it empty, and
    // a later block of the same stage replaces it either way.
    stage.code.Clear();

    if (!NextToken())
        return;
    if (!TokenIs('{')) {
        QC_ERROR("Expected { after %s.", stageName);
        return;
    }
    const std::uint32_t codeStart = position;

    for (;;) {
        if (!NextToken()) {
            QC_ERROR("Expected }");
            return;
        }
        if (TokenIs('}')) {
            // position is just past the "}", which the code does not include.
            stage.code.Append(source.CStr() + codeStart, position - 1 - codeStart);
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
        QC_ERROR("Only return type void allowed for %s main.", stageName);
        isEntry = false;
    }
    if (!NextToken() || !TokenIs('('))
        return false;

    // Parameters: only main's are read; an ordinary function's are skipped up to ")".
    const std::uint32_t listStart = position;
    if (!isEntry && listStart >= unclosedListFrom) {
        QC_ERROR("Expected )");
        return false;
    }
    for (;;) {
        if (!NextToken()) {
            QC_ERROR("Expected )");
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
        QC_ERROR("Expected {");
        return false;
    }

    // The body: comments are skipped by the scanner, so braces inside them do not count.
    std::uint32_t depth = 1;
    while (depth > 0) {
        if (!NextToken()) {
            // Counted as a function: the stage block then reports the missing "}" itself.
            QC_ERROR("Expected closing }.");
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

    if (!NextToken())
        return ParameterEnd::Failed;
    const QR_ShaderSemantic semantic = QR_LookupShaderSemantic(token.CStr());
    semanticWord = token;
    if (!NextToken())
        return ParameterEnd::Failed;

    // Any other qualifier (inout, none at all) reads the parameter and drops it.
    if (isInput || isOutput) {
        if (semantic == QR_SEMANTIC_UNKNOWN) {
            QC_ERROR("Unknown semantics %s.", semanticWord.CStr());
            return ParameterEnd::Failed;
        }
        QR_ShaderName name;
        name = token;
        QR_ShaderParameter* parameter = isInput ? stage.inputs.Append() : stage.outputs.Append();
        if (parameter) {
            parameter->semantic = semantic;
            parameter->name = name;
        } else {
            bool& reported = overflowReported[&stage == &description.vertexStage ? 0 : 1][isInput ? 0 : 1];
            if (!reported)
                QC_ERROR("Too many %s of %s main.", isInput ? "inputs" : "outputs", stageName);
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
