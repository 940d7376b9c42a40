#include "QC_String.h"

#include <cstdio>

bool QC_StringBase::operator==(const QC_StringBase& other) const
{
    return length == other.length && QC_StrCmp(CStr(), other.CStr()) == 0;
}

bool QC_StringBase::operator==(const char* other) const
{
    return QC_StrCmp(CStr(), other) == 0;
}

void QC_String::Reserve(std::uint32_t wanted)
{
    const std::uint64_t bytes = std::uint64_t(wanted) + 1;
    if (bytes < std::uint64_t(length) + 1 || bytes == capacity)
        return;
    QC_ASSERT(bytes <= UINT32_MAX, "Out of memory.");
    char* grown = static_cast<char*>(std::malloc(bytes));
    QC_ASSERT(grown != nullptr, "Out of memory.");
    if (data) {
        std::memcpy(grown, data, std::size_t(length) + 1);
        std::free(data);
    }
    else {
        grown[0] = '\0';
    }
    data = grown;
    capacity = static_cast<std::uint32_t>(bytes);
}

char* QC_String::Detach()
{
    char* buffer = data;
    data = nullptr;
    length = capacity = 0;
    return buffer;
}

std::uint32_t QC_StrLen(const char* text)
{
    return static_cast<std::uint32_t>(std::strlen(text));
}

int QC_StrCmp(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        const signed char left = static_cast<signed char>(*a);
        const signed char right = static_cast<signed char>(*b);
        if (left != right)
            return left > right ? 1 : -1;
        if (left == 0)
            return 0;
    }
}

void QC_IntToString(int value, char buffer[16])
{
    std::snprintf(buffer, 16, "%d", value);
}

float QC_ToFloat(const char* text)
{
    return static_cast<float>(std::strtod(text, nullptr));
}

int QC_ToInt(const char* text)
{
    // strtol rather than atoi: same reading, but out-of-range text is defined (clamped).
    const long value = std::strtol(text, nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int>(value);
}

int QC_Utf8Decode(const unsigned char* bytes, int available, std::uint32_t* codePoint)
{
    // Continuation bytes are not checked for the 10xxxxxx pattern: the decoder is lenient, so
    // text with a stray byte still shows, and only refuses sequences cut short by the end of the
    // input.
    if (available <= 0)
        return 0;
    const std::uint32_t b0 = bytes[0];
    if (b0 < 0x80) {
        *codePoint = b0;
        return 1;
    }
    if (b0 < 0xE0 && available > 1) {
        *codePoint = ((b0 << 6) & 0x7FF) | (bytes[1] & 0x3F);
        return 2;
    }
    if (b0 < 0xF0 && available > 2) {
        *codePoint = ((b0 << 12) & 0xFFFF) | ((std::uint32_t(bytes[1]) << 6) & 0xFFF) | (bytes[2] & 0x3F);
        return 3;
    }
    if (b0 >= 0xF8 || available <= 3)
        return 0;
    *codePoint = ((b0 << 18) & 0x1FFFFF) | ((std::uint32_t(bytes[1]) << 12) & 0x3FFFF) |
                 ((std::uint32_t(bytes[2]) << 6) & 0xFFF) | (bytes[3] & 0x3F);
    return 4;
}

bool QC_Utf8ToUtf16(const QC_StringBase& text, std::uint16_t* buffer, std::uint32_t units)
{
    QC_ASSERT(units != 0, "Buffer size is zero.");
    QC_ASSERT(units <= 0x100000, "Buffer size is too large.");

    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.CStr());
    int remaining = static_cast<int>(text.Length());
    std::uint32_t position = 0;
    buffer[0] = 0;
    while (remaining > 0) {
        std::uint32_t codePoint = 0;
        const int used = QC_Utf8Decode(bytes, remaining, &codePoint);
        if (used == 0) {
            buffer[position] = 0; // position < units always holds here
            return false;
        }
        const bool single = codePoint < 0xD800 || (codePoint >= 0xE000 && codePoint <= 0xFFFF);
        const std::uint32_t needed = single ? 1 : 2;
        if (position + needed >= units) {
            buffer[units - 1] = 0;
            return false;
        }
        if (single) {
            buffer[position++] = static_cast<std::uint16_t>(codePoint);
        }
        else {
            buffer[position++] = static_cast<std::uint16_t>(0xD800 + ((codePoint - 0x10000) >> 10));
            buffer[position++] = static_cast<std::uint16_t>(0xDC00 + (codePoint & 0x3FF));
        }
        bytes += used;
        remaining -= used;
    }
    buffer[position] = 0;
    return true;
}

bool QC_Utf16ToUtf8(const std::uint16_t* wideText, QC_StringBase& text)
{
    for (const std::uint16_t* unit = wideText; *unit; ++unit) {
        std::uint32_t codePoint = *unit;
        if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {
            if (unit[1] == 0)
                return false;
            ++unit;
            codePoint = ((codePoint - 0xD800) << 10) + (std::uint32_t(*unit) - 0xDC00) + 0x10000;
        }
        if (codePoint < 0x80) {
            text.Append(static_cast<char>(codePoint));
        }
        else if (codePoint < 0x800) {
            text.Append(static_cast<char>(0xC0 | (codePoint >> 6)));
            text.Append(static_cast<char>(0x80 | (codePoint & 0x3F)));
        }
        else if (codePoint < 0x10000) {
            text.Append(static_cast<char>(0xE0 | (codePoint >> 12)));
            text.Append(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
            text.Append(static_cast<char>(0x80 | (codePoint & 0x3F)));
        }
        else if (codePoint < 0x20000) {
            text.Append(static_cast<char>(0xF0 | (codePoint >> 18)));
            text.Append(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
            text.Append(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
            text.Append(static_cast<char>(0x80 | (codePoint & 0x3F)));
        }
        else {
            return false;
        }
    }
    return true;
}

namespace
{
thread_local std::uint32_t t_randState = 1;
}

void QC_SRand(std::uint32_t seed)
{
    t_randState = seed;
}

int QC_Rand()
{
    t_randState = t_randState * 214013u + 2531011u;
    return static_cast<int>((t_randState >> 16) & 0x7FFF);
}
