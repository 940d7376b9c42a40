#pragma once
// The one form of every message about a shader source, whichever step found the fault (the
// shading-language parser, the generator, the compile chain or the graphics driver):
//
//   assets/o1.qcs(18): error: 'retrun' : unknown variable
//   assets/o1.qcs(3,1): error: Expected vertex, pixel, samplers or constants block.
//
// The place is the file as the caller named it (the shader's own, or a file its stage code
// includes; "0" for a source read from no file, as the compiler names one), the line counted
// from 1 in the author's text and, where it is known exactly, the column (in bytes, from 1). The
// parser knows columns; the compiler does not (its columns count in the preprocessed text, which
// the author never sees), so its messages name the line alone.
//
//   QC_ERROR("%sUnknown semantic.", QR_ShaderMessages::Place(name, line).CStr());
//   QC_ERROR("Shader stage compilation failed, D3D message is \"%s\"",
//            QR_ShaderMessages::FromCompiler(QP_BlobText(errors), name, stageLine).CStr());
//
// The compiler reads the generated text, whose #line directives (QR_ShaderGenerator_HLSL) name
// the author's file and line for every line of it, so its places need only their form changed.

#include "QC_String.h"

#include <cstdint>

class QR_ShaderMessages
{
public:
    // "FILE(LINE): error: ", or "FILE(LINE,COLUMN): error: " for a column above 0. A null or
    // empty file is "0"; line 0 is read as 1.
    static QC_String Place(const char* file, std::uint32_t line, std::uint32_t column = 0);

    // The compiler's message text with every line in the one form. Its own places
    // ("ERROR: FILE:LINE: text", "WARNING: FILE:LINE: text", "FILE(LINE): error at column C, text")
    // keep their file and line; a line without a place ("ERROR: 2 compilation errors.", a SPIR-V
    // validation message, a crashed helper) is given file and line, the place of the stage as a
    // whole. Blank lines are dropped, trailing blanks cut, and every line ends in a line break.
    static QC_String FromCompiler(const char* text, const char* file, std::uint32_t line);
};
