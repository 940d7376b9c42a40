#pragma once
// The text front of the shader compiler, inside frame/qp: the preprocessor pass (macros,
// conditionals, #include through a QP_Include) and the guards run on its output before the HLSL
// front end parses it.
//
//   std::string expanded, messages;
//   if (QP_PreprocessShader(text, length, name, stage, include, expanded, messages) &&
//       QP_CheckShaderText(expanded.data(), expanded.size(), name, messages))
//       ... parse expanded ...
//
// The expanded text keeps every token on the line it came from and carries #line directives
// where it enters or leaves an included file, so messages about it name the original file and
// line. A leading byte-order mark is skipped in the text and in every included file.

#include "QP_Include.h"
#include "QP_ShaderCode.h"

#include <cstddef>
#include <string>

// True with expanded set; false with the preprocessor's messages appended to errors (each with
// its file and line). Warnings of a successful pass are appended too. Token pasting the front
// end's preprocessor refuses (a number or nothing on the left of ##) is done in a second pass.
bool QP_PreprocessShader(const char* source, std::size_t length, const char* sourceName, QP_ShaderStage stage,
                         QP_Include* include, std::string& expanded, std::string& errors);

// The guards against texts the HLSL front end crashes on (each kept as a test input in
// tests/fuzz/crashers/shader_compile-*), run on the expanded text so a macro cannot hide one.
// True when the text passes; false with one "ERROR: file:line: ..." message appended, the file
// and line taken from the text's #line directives (sourceName and line 1 before the first).
// entryPoint, when given, also has its parameter list checked: every parameter must be named.
bool QP_CheckShaderText(const char* text, std::size_t length, const char* sourceName, std::string& errors,
                        const char* entryPoint = nullptr);
