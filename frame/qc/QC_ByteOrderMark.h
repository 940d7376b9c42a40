#pragma once
// The UTF-8 byte-order mark (EF BB BF) some editors write at the start of a text file. Every
// reader of our text formats (shader stages, included files, .qcs scripts and shaders) skips
// it, so a file saved that way reads like the same file without it; it sits before the first
// character of line 1, so line numbers stay the same.
//
//   const std::size_t skip = QC_ByteOrderMarkLength(text, length);
//   Parse(text + skip, length - skip);

#include <cstddef>

// 3 when text starts with the mark, 0 otherwise (also for texts shorter than the mark).
inline std::size_t QC_ByteOrderMarkLength(const char* text, std::size_t length)
{
    return text && length >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
                   static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF
               ? 3
               : 0;
}
