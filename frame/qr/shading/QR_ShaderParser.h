#pragma once
// Reads a source text of the shading language and fills a shader description.
//
//   QR_ShaderParser parser;          // one parser per source; Parse is called once
//   parser.Parse(source, "assets/o1.qcs");   // errors go to the log at level 2, nothing stops
//   QR_ShaderGenerator_HLSL::GenerateVertexShader(parser.Description(), text);
//
// A source holds top-level blocks in any order and number:
//
//   constants { custom { float4x4 projection; } }
//   samplers { QR_Sampler2D texture; }
//   vertex { void main(in QR_Position inPosition, out QR_Position outPosition) { ... } }
//   pixel { void main(in QR_Position inPosition, out QR_Target outColour) { ... } }
//
// The parser does not interpret stage code: it finds the functions of a stage block, records the
// "in" and "out" parameters of main and copies the block's text verbatim. A faulty source still
// leaves a (partial) description; the fault normally surfaces as a failed compilation later. Only
// a name longer than 127 characters is fatal.
//
// Every message names the place in the source where the parser stopped, in the form of
// QR_ShaderMessages: "assets/o1.qcs(3,1): error: Expected vertex, pixel, samplers or constants
// block." (the token it could not take; the end of the text's last word when the text ran out).
// The description records the line of every item it holds, for the generator's line map.

#include "QC_String.h"
#include "QR_ShaderDescription.h"

#include <cstdint>
#include <vector>

class QR_ShaderParser
{
public:
    QR_ShaderParser() = default;
    QR_ShaderParser(const QR_ShaderParser&) = delete;
    QR_ShaderParser& operator=(const QR_ShaderParser&) = delete;

    // Copies the text and parses all of it. Called once per parser object. sourceName names the
    // file the text was read from, in messages and in the description (null: no file, "0").
    void Parse(const QC_StringBase& text, const char* sourceName = nullptr);

    const QR_ShaderDescription& Description() const { return description; }

private:
    enum class ParameterEnd
    {
        Next,       // another parameter (or ")") follows
        ListClosed, // the ")" of the parameter list has been read
        Failed,     // the function item fails
    };

    // A line and a column in the source, both from 1.
    struct Where
    {
        std::uint32_t line;
        std::uint32_t column;
    };

    // Scans the next token into token and its offset into tokenStart; false at the end of the text
    // (a token that runs into the end is dropped), tokenStart then the text's length.
    bool NextToken();
    bool TokenIs(char character) const { return token.Length() == 1 && token.CStr()[0] == character; }
    bool TokenIs(const char* word) const { return token == word; }

    // The place of a byte offset; the text's length stands for the end of its last word.
    Where PlaceOf(std::uint32_t offset) const;
    // "FILE(LINE,COLUMN): error: " for a byte offset: what every message starts with.
    QC_String At(std::uint32_t offset) const;

    void ParseConstants();
    void ParseSamplers();
    void ParseStage(QR_ShaderStage& stage, const char* stageName);
    // One function at item level of a stage block, its return type just read. False when it is
    // no function; the caller then goes on right after the return type.
    bool ParseFunction(QR_ShaderStage& stage, const char* stageName, bool returnsVoid);
    // One parameter of main, its qualifier in token.
    ParameterEnd ParseEntryParameter(QR_ShaderStage& stage, const char* stageName);

    QC_String source;
    QR_ShaderDescription description;

    // The offset at which each line starts; line 1 after a byte-order mark.
    std::vector<std::uint32_t> lineStarts;
    // Scanner state: the byte position in source and the token last scanned, with its offset.
    std::uint32_t position = 0;
    QC_String token;
    std::uint32_t tokenStart = 0;
    // The semantic keyword of the parameter being read, kept for its error message.
    QC_String semanticWord;
    // Every scan starts on a boundary of one and the same token sequence (a failed function item
    // goes back to a boundary it passed), so once the parameter list of an ordinary function
    // starting here ran into the end of the text, any list starting at or after it does too.
    // Remembering that keeps text full of unclosed "(" linear instead of quadratic.
    std::uint32_t unclosedListFrom = UINT32_MAX;
    // A full input or output list of a stage is reported once: failed items re-read the same
    // parameters, and each reading would report again. [vertex, pixel][inputs, outputs]
    bool overflowReported[2][2] = {};
    bool parsed = false;
};
