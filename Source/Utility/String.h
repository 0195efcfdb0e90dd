#pragma once
// QLC_String: the text type of the foundation library and the application. An 8-bit string in
// the system's ANSI code page, shared between copies until one of them is changed.

#include <cstdarg>
#include <cstddef>

class QLC_String {
public:
    QLC_String();
    QLC_String(const char* text);  // NOLINT: implicit by design, texts flow in everywhere
    QLC_String(const char* text, size_t length);
    QLC_String(const QLC_String& other);
    QLC_String(QLC_String&& other) noexcept;
    QLC_String& operator=(const QLC_String& other);
    QLC_String& operator=(QLC_String&& other) noexcept;
    QLC_String& operator=(const char* text);
    ~QLC_String();

    // printf-style: %s %d %u %c %x %X and %%, with optional '-', '0' and a width. A null %s
    // argument prints "(null)". Any other conversion is copied as it stands.
    static QLC_String Format(const char* format, ...);
    static QLC_String FormatV(const char* format, va_list args);

    const char* c_str() const;
    size_t Length() const;
    bool IsEmpty() const { return Length() == 0; }
    char operator[](size_t index) const;  // 0 past the end

    QLC_String& Append(const char* text);
    QLC_String& Append(const char* text, size_t length);
    QLC_String& Append(const QLC_String& text);
    QLC_String& Append(char c);
    QLC_String& operator+=(const char* text) { return Append(text); }
    QLC_String& operator+=(const QLC_String& text) { return Append(text); }
    QLC_String& operator+=(char c) { return Append(c); }
    // Inserts at `position` (clamped to the length).
    QLC_String& Insert(size_t position, const char* text);

    QLC_String Left(size_t count) const;
    QLC_String Mid(size_t start, size_t count = static_cast<size_t>(-1)) const;
    // Replaces one character; an index past the end changes nothing.
    void SetAt(size_t index, char c);

    // Index of the last character that is one of `set`, or -1.
    int FindLastOf(const char* set) const;
    // Index of the first occurrence of `text` at or after `start`, or -1.
    int Find(const char* text, size_t start = 0) const;

    bool EqualsNoCase(const char* text) const;
    QLC_String ToLower() const;

    friend bool operator==(const QLC_String& a, const QLC_String& b);
    friend bool operator==(const QLC_String& a, const char* b);
    friend bool operator!=(const QLC_String& a, const QLC_String& b) { return !(a == b); }
    friend bool operator!=(const QLC_String& a, const char* b) { return !(a == b); }
    friend QLC_String operator+(const QLC_String& a, const QLC_String& b);

private:
    struct Buffer;
    void Release();
    void MakeUnique(size_t capacity);

    Buffer* m_buffer;
};
