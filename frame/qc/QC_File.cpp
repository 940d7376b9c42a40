#include "QC_File.h"

#include <cstdio>
#include <cstdlib>

std::uint32_t QC_DropCarriageReturns(char* bytes, std::uint32_t count)
{
    std::uint32_t kept = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (bytes[i] == '\r' && i + 1 < count && bytes[i + 1] == '\n')
            continue;
        bytes[kept++] = bytes[i];
    }
    return kept;
}

bool QC_ReadFileBytes(const char* path, QC_String& bytes)
{
    // Binary mode: this C library's text mode keeps CR, so the line-end rule is applied below.
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;

    // A directory opens on this platform but has no usable size and fails to read; a file of
    // 4 GiB or more does not fit a string. Both count as unreadable.
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    if (size < 0 || std::uint64_t(size) >= UINT32_MAX || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return false;
    }

    char* buffer = static_cast<char*>(std::malloc(size ? static_cast<std::size_t>(size) : 1));
    QC_ASSERT(buffer != nullptr, "Out of memory.");
    const std::size_t read = std::fread(buffer, 1, static_cast<std::size_t>(size), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        std::free(buffer);
        return false;
    }

    bytes = QC_String(buffer, static_cast<std::uint32_t>(read));
    std::free(buffer);
    return true;
}

bool QC_ReadFile(const char* path, QC_String& text)
{
    QC_String bytes;
    if (!QC_ReadFileBytes(path, bytes))
        return false;
    if (bytes.IsEmpty()) {
        text = bytes;
        return true;
    }
    // The line-end rule in place: the text only shrinks.
    const std::uint32_t kept = QC_DropCarriageReturns(&bytes[0], bytes.Length());
    text = QC_String(bytes.CStr(), kept);
    return true;
}
