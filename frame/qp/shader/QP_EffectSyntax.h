#pragma once
// Effect-file syntax in a shader text compiled for one vertex or pixel entry point. The platform
// compiler accepts it there and ignores what has no meaning for one stage; the HLSL front end
// does not parse it, so the compile chain rewrites the preprocessed text before the guards and
// the front end see it:
//
//   std::string expanded = ...;          // the preprocessor's output
//   QP_RewriteEffectSyntax(expanded);
//
// What changes, outside comments, string literals and preprocessor lines:
// - the lowercase object types (texture, texture1D, texture2D, texture3D, textureCUBE) standing
//   as a type (before a name or a template argument list) take their current spellings;
// - the state block of a sampler declaration (SamplerState S : register(s0) { Filter = ...; };
//   and sampler S = sampler_state { ... };) is dropped: the application sets the sampler, the
//   declaration keeps its name, register and semicolon;
// - declarations of BlendState, DepthStencilState and RasterizerState objects, and technique,
//   technique10 and technique11 blocks, are dropped whole;
// - names beginning with gl_ (reserved by GLSL, not by HLSL) take the prefix QP_, as does any
//   name that already begins with QP_gl_, QP_QP_gl_ and so on, so no two names become one.
// Removed text becomes spaces and every line break stays, so line numbers (and the #line
// directives) still name the lines of the original files. A block whose braces do not close is
// left as it is, for the guards to report. Linear in the length of the text; any bytes are safe.

#include <string>

void QP_RewriteEffectSyntax(std::string& text);
