#pragma once
// The platform compiler's warning for a vector narrowed implicitly (uint x = v with a uint2 v,
// float3 d = position): HLSL keeps the first components and warns; the front end keeps them
// silently. Read from the front end's parse tree after a successful parse:
//
//   QP_WarnImplicitTruncations(*shader.getIntermediate(), expanded, sourceName, messages);
//
// Each narrowing the tree holds gives one "WARNING: file:line: implicit truncation of vector
// type" line, unless the text narrows on purpose there (uint(v), (uint)v). The tree marks both
// alike, so the text at the narrowed value's place decides. Internal to frame/qp: it reads the
// front end's parse tree.

#include <string>

namespace glslang {
class TIntermediate;
}

void QP_WarnImplicitTruncations(const glslang::TIntermediate& tree, const std::string& text, const char* sourceName,
                                std::string& warnings);
