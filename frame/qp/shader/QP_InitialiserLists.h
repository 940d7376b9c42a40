#pragma once
// Flat initialiser lists, read as the platform compiler reads them. HLSL fills an array of
// vectors, a matrix inside an array or a structure from one flat list of scalars, component by
// component:
//
//   static const float4 points[] = { 0.78, 0.56, 1.5, -0.12, 1, 2, 3, 4 };   // two float4s
//
// The HLSL front end wants one brace level per array element and per structure; it refuses a
// sized flat list and reads an unsized one as one element per scalar. The compile chain gives
// the list its braces before the front end parses the text:
//
//   std::string expanded = ...;           // the preprocessor's output
//   QP_NestInitialiserLists(expanded);
//
// A declaration is rewritten when its type is a scalar, vector or matrix type or a structure the
// text declares (members of those types, arrays with number sizes), its list holds no braces of
// its own, and the list's items (scalars, or vector and matrix constructor calls such as
// float4(...), each filling a whole vector or matrix) fill it exactly; an unsized outer array
// takes as many elements as the list fills. Anything else is left for the front end to judge.
// Only braces are inserted, so every line keeps its number. Linear in the text for a text of
// bounded structure nesting; any bytes are safe.

#include <cstddef>
#include <cstdint>
#include <string>

void QP_NestInitialiserLists(std::string& text);

// Components of a scalar, vector or matrix type name (float, half3, uint2, float4x4...), 0 for
// any other name.
std::uint64_t QP_NumericTypeComponents(const char* name, std::size_t size);
