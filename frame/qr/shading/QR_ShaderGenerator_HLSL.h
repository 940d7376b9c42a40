#pragma once
// Turns a shader description into the HLSL text of one stage.
//
//   QC_String text;
//   QR_ShaderGenerator_HLSL::GenerateVertexShader(parser.Description(), text);
//
// The text is, in order: a fixed prelude that gives the semantic keywords their types and
// defines QR_Mul, QR_Sample, QR_Dot, QR_PI and QR_PI2; every constant block as a structure and a
// cbuffer in register b<i>; every sampler as a Texture2D in t<i> and a SamplerState in s<i>; the
// stage's QR_Input and QR_Output structures; the stage code verbatim; and the entry point QR_Main,
// which calls the stage's main with all inputs first, then all outputs. Both stages carry every
// constant block and sampler of the source, used or not.
//
// #line directives carry the line map: every line that can draw a message from the compiler is
// numbered as the line of the source it was made from, in the description's source file
// ("#line 18 "assets/o1.qcs""; without the file's name where the source has none or the name
// cannot stand between quotes). So the compiler names the author's line for the stage code
// (whose first line is the rest of the line of the block's "{"), for the declarations made from
// the constant blocks, samplers and main's parameters, and for the entry point, which is made
// from main. A directive is written only where the numbering would go astray without it, and the
// text starts with one (the prelude is numbered from the stage block's keyword).
//
// A semantic without an HLSL string in its position is reported at level 2, at its parameter's
// line, and written as an empty string (the compilation then fails); a semantic without a type
// word is fatal.

#include "QC_String.h"
#include "QR_ShaderDescription.h"
#include "QR_ShaderGenerator.h"

class QR_ShaderGenerator_HLSL : public QR_ShaderGenerator
{
public:
    // Append the complete HLSL of the stage to text.
    static void GenerateVertexShader(const QR_ShaderDescription& description, QC_StringBase& text);
    static void GeneratePixelShader(const QR_ShaderDescription& description, QC_StringBase& text);

    // The member type of a parameter: the semantic's keyword, which the prelude defines as its
    // HLSL type. Fatal ("Unknown semantic.") for a value without a keyword.
    static const char* SemanticTypeName(QR_ShaderSemantic semantic);

    // The HLSL semantic string of a member of each of the four structures; "" after reporting
    // "Unknown semantic." when the position has none.
    static const char* VertexInputSemantic(QR_ShaderSemantic semantic);
    static const char* VertexOutputSemantic(QR_ShaderSemantic semantic);
    static const char* PixelInputSemantic(QR_ShaderSemantic semantic);
    static const char* PixelOutputSemantic(QR_ShaderSemantic semantic);

    // "Texture2D" for QR_Sampler2D; "" after reporting "Unknown sampler type." for anything else.
    static const char* SamplerTypeName(QR_ShaderSamplerType type);
};
