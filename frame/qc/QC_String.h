#pragma once
// The string family: all text is NUL-terminated 8-bit text (UTF-8 where it matters).
//
//   QC_StaticString<128> name("bloom");   // inline buffer, no heap; capacity faults are fatal
//   QC_String source;                     // heap buffer, grows by at least doubling
//   source.Append(name); source.Append('\n');
//
// A QC_StaticString<N> holds at most N - 1 characters when assigned and N - 2 when built by
// appends (Grow keeps one byte in reserve). Capacity faults and out-of-range indices end the
// process through the log ("Buffer overflow.", "Out of memory.", "Out of bounds").

#include "QC_Log.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

class QC_StringBase
{
public:
    virtual ~QC_StringBase() = default;

    // Makes room for appending extra more characters.
    virtual void Grow(std::uint32_t extra) = 0;
    // Makes room for holding length characters in all.
    virtual void Reserve(std::uint32_t length) = 0;

    std::uint32_t Length() const { return length; }
    std::uint32_t Capacity() const { return capacity; }
    bool IsEmpty() const { return length == 0; }
    // The text; "" for a heap string that never held any.
    const char* CStr() const { return data ? data : ""; }

    char& operator[](std::uint32_t index)
    {
        QC_ASSERT(index < length, "Out of bounds");
        return data[index];
    }
    char operator[](std::uint32_t index) const
    {
        QC_ASSERT(index < length, "Out of bounds");
        return data[index];
    }

    void Append(const char* text, std::uint32_t count)
    {
        if (count == 0)
            return;
        // Room to spare (strictly less than the capacity) is the common case: both classes'
        // Grow would do nothing then, so skip the virtual call. At the edge Grow decides: a
        // static string stops there, a heap string grows.
        if (std::uint64_t(length) + count + 1 >= capacity)
            Grow(count);
        std::memcpy(data + length, text, count);
        length += count;
        data[length] = '\0';
    }
    void Append(const char* text) { Append(text, static_cast<std::uint32_t>(std::strlen(text))); }
    void Append(const QC_StringBase& text) { Append(text.CStr(), text.Length()); }
    void Append(char character)
    {
        if (std::uint64_t(length) + 2 >= capacity)
            Grow(1);
        // Locals: a char store may alias the members, so the compiler would reload them.
        const std::uint32_t at = length;
        char* const text = data;
        text[at] = character;
        text[at + 1] = '\0';
        length = at + 1;
    }

    // Drops the text but keeps the buffer.
    void Clear()
    {
        length = 0;
        if (data)
            data[0] = '\0';
    }

    bool operator==(const QC_StringBase& other) const;
    bool operator==(const char* other) const;

protected:
    QC_StringBase() = default;
    QC_StringBase(char* buffer, std::uint32_t bufferCapacity) : data(buffer), capacity(bufferCapacity) {}

    // Assignment core shared by every class: the static check (if any) is done by the caller.
    void Assign(const char* text, std::uint32_t count)
    {
        Reserve(count);
        if (count)
            std::memmove(data, text, count);
        length = count;
        if (data)
            data[length] = '\0';
    }

    char* data = nullptr;
    std::uint32_t length = 0;
    std::uint32_t capacity = 0;
};

template <std::uint32_t N>
class QC_StaticString final : public QC_StringBase
{
    static_assert(N >= 2, "a static string needs room for a character and its NUL");

public:
    QC_StaticString() : QC_StringBase(buffer, N) { buffer[0] = '\0'; }
    QC_StaticString(const char* text) : QC_StaticString()
    {
        const std::uint32_t count = static_cast<std::uint32_t>(std::strlen(text));
        QC_ASSERT(count < N, "Buffer overflow.");
        Assign(text, count);
    }
    QC_StaticString(const char* text, std::uint32_t count) : QC_StaticString()
    {
        QC_ASSERT(count < N, "Buffer overflow.");
        Assign(text, count);
    }
    QC_StaticString(const QC_StaticString& other) : QC_StaticString() { Assign(other.CStr(), other.Length()); }
    // The cross-class variant checks length > N, so a source of exactly N characters reaches
    // Reserve and stops there with "Out of memory." instead.
    explicit QC_StaticString(const QC_StringBase& other) : QC_StaticString()
    {
        QC_ASSERT(other.Length() <= N, "Buffer overflow.");
        Assign(other.CStr(), other.Length());
    }
    ~QC_StaticString() override { data = nullptr; }

    QC_StaticString& operator=(const QC_StaticString& other) { return AssignChecked(other); }
    QC_StaticString& operator=(const QC_StringBase& other) { return AssignChecked(other); }
    QC_StaticString& operator=(const char* text)
    {
        if (text == data)
            return *this;
        const std::uint32_t count = static_cast<std::uint32_t>(std::strlen(text));
        QC_ASSERT(count < N, "Buffer overflow.");
        Assign(text, count);
        return *this;
    }

    void Reserve(std::uint32_t wanted) override { QC_ASSERT(wanted < N, "Out of memory."); }
    void Grow(std::uint32_t extra) override
    {
        QC_ASSERT(std::uint64_t(length) + extra + 1 < N, "Out of memory.");
    }

private:
    QC_StaticString& AssignChecked(const QC_StringBase& other)
    {
        if (&other == this)
            return *this;
        QC_ASSERT(other.Length() < N, "Buffer overflow.");
        Assign(other.CStr(), other.Length());
        return *this;
    }

    char buffer[N];
};

class QC_String final : public QC_StringBase
{
public:
    QC_String() = default;
    QC_String(const char* text) { Assign(text, static_cast<std::uint32_t>(std::strlen(text))); }
    QC_String(const char* text, std::uint32_t count) { Assign(text, count); }
    QC_String(const QC_String& other) : QC_StringBase() { Assign(other.CStr(), other.Length()); }
    explicit QC_String(const QC_StringBase& other) { Assign(other.CStr(), other.Length()); }
    QC_String(QC_String&& other) noexcept : QC_StringBase(other.data, other.capacity)
    {
        length = other.length;
        other.data = nullptr;
        other.length = other.capacity = 0;
    }
    ~QC_String() override { std::free(data); }

    QC_String& operator=(const QC_String& other) { return AssignFrom(other); }
    QC_String& operator=(const QC_StringBase& other) { return AssignFrom(other); }
    QC_String& operator=(const char* text)
    {
        if (text != data)
            Assign(text, static_cast<std::uint32_t>(std::strlen(text)));
        return *this;
    }
    QC_String& operator=(QC_String&& other) noexcept
    {
        if (&other != this) {
            std::free(data);
            data = other.data;
            length = other.length;
            capacity = other.capacity;
            other.data = nullptr;
            other.length = other.capacity = 0;
        }
        return *this;
    }

    // Holds exactly wanted + 1 bytes afterwards, unless that is what it has already or too
    // little for the current text. Capacity is 32-bit: a request past it, or an allocation
    // that fails, is fatal so that the copy that follows can never run past the buffer.
    void Reserve(std::uint32_t wanted) override;
    // Makes room for extra more characters, at least doubling the buffer.
    void Grow(std::uint32_t extra) override
    {
        const std::uint64_t needed = std::uint64_t(length) + extra + 1;
        if (needed <= capacity)
            return;
        const std::uint64_t doubled = std::uint64_t(capacity) * 2;
        const std::uint64_t target = doubled > needed ? doubled : needed;
        QC_ASSERT(target <= UINT32_MAX, "Out of memory.");
        Reserve(static_cast<std::uint32_t>(target));
    }

    // Hands over the buffer to a caller that frees it with free(); the string becomes empty.
    char* Detach();

private:
    QC_String& AssignFrom(const QC_StringBase& other)
    {
        if (&other != this)
            Assign(other.CStr(), other.Length());
        return *this;
    }
};

// ---- free helpers ---------------------------------------------------------------------

std::uint32_t QC_StrLen(const char* text);
// Byte-wise comparison as signed chars: 0 when equal, +1 or -1 by the first differing byte.
int QC_StrCmp(const char* a, const char* b);
// Writes value in decimal into a caller buffer of 16 bytes.
void QC_IntToString(int value, char buffer[16]);
// Decimal parses; text that is not a number gives 0.
float QC_ToFloat(const char* text);
int QC_ToInt(const char* text);

// Decodes one code point from bytes; returns the bytes used (1-4), or 0.
int QC_Utf8Decode(const unsigned char* bytes, int available, std::uint32_t* codePoint);
// Converts the whole text into buffer (units 16-bit units). True when all of it fitted; on
// false the buffer still ends in a NUL after what was converted.
bool QC_Utf8ToUtf16(const QC_StringBase& text, std::uint16_t* buffer, std::uint32_t units);
// Appends a NUL-terminated UTF-16 text as UTF-8; false at the first unit it cannot convert.
bool QC_Utf16ToUtf8(const std::uint16_t* wideText, QC_StringBase& text);

// A linear congruential generator (state * 214013 + 2531011, bits 16 to 30 returned) with its
// own state rather than the C library's rand, so a seed gives the same numbers on every
// platform, which the demo's seeded effects rely on. State is per thread, starting at 1.
void QC_SRand(std::uint32_t seed);
int QC_Rand();
constexpr int QC_RAND_MAX = 0x7FFF;
