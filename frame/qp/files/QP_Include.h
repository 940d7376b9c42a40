#pragma once
// Include handler of the shader compiler, like the platform compiler's: QP_Compile calls Open
// for each #include of the text it compiles and Close once that file has been read.
//
//   QP_FileInclude include("assets/shaders");       // or a QP_Include of your own
//   QP_Compile(text, length, "assets/shaders/water.qcs", &include, "QR_Main", "ps_4_0", &code, &errors);
//
// Without a handler (null) every #include is an error naming the line of the directive.
// Nested includes are limited to QP_MAX_INCLUDE_DEPTH files deep; a file that includes itself
// ends there with a message. One compile opens at most QP_MAX_INCLUDE_COUNT files, so a file
// that includes itself twice (2^16 paths to the depth limit) fails at once instead of hanging.

#include "QP_Result.h"

#include <cstdint>

constexpr int QP_MAX_INCLUDE_DEPTH = 16;
constexpr int QP_MAX_INCLUDE_COUNT = 1024;

enum QP_IncludeType : std::uint32_t
{
    QP_INCLUDE_LOCAL = 0,  // #include "file"
    QP_INCLUDE_SYSTEM = 1, // #include <file>
};

class QP_Include
{
public:
    virtual ~QP_Include() = default;
    // Finds fileName as written in the directive, included from the file whose text Open gave
    // back as parentData (null: the text given to QP_Compile), so a handler can resolve it
    // relative to the including file. On success sets *data and *bytes to the file's text,
    // which must stay valid until Close(data), and returns QP_OK; any failure result means
    // the file cannot be opened.
    virtual QP_Result Open(QP_IncludeType type, const char* fileName, const void* parentData, const void** data,
                           std::uint32_t* bytes) = 0;
    virtual void Close(const void* data) = 0;
};
