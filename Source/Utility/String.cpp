#include "String.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>

// One heap block holds the count of owners, the length, the capacity and the characters.
struct QLC_String::Buffer {
    std::atomic<int> owners;
    size_t length;
    size_t capacity;  // characters, not counting the terminator
    char* Text() { return reinterpret_cast<char*>(this + 1); }

    static Buffer* Make(size_t capacity) {
        void* memory = std::malloc(sizeof(Buffer) + capacity + 1);
        if (!memory) {
            throw std::bad_alloc();
        }
        Buffer* buffer = new (memory) Buffer;
        buffer->owners = 1;
        buffer->length = 0;
        buffer->capacity = capacity;
        buffer->Text()[0] = '\0';
        return buffer;
    }
};

QLC_String::QLC_String() : m_buffer(nullptr) {}

QLC_String::QLC_String(const char* text) : m_buffer(nullptr) { Append(text); }

QLC_String::QLC_String(const char* text, size_t length) : m_buffer(nullptr) {
    Append(text, length);
}

QLC_String::QLC_String(const QLC_String& other) : m_buffer(other.m_buffer) {
    if (m_buffer) {
        ++m_buffer->owners;
    }
}

QLC_String::QLC_String(QLC_String&& other) noexcept : m_buffer(other.m_buffer) {
    other.m_buffer = nullptr;
}

QLC_String& QLC_String::operator=(const QLC_String& other) {
    if (other.m_buffer != m_buffer) {
        if (other.m_buffer) {
            ++other.m_buffer->owners;
        }
        Release();
        m_buffer = other.m_buffer;
    }
    return *this;
}

QLC_String& QLC_String::operator=(QLC_String&& other) noexcept {
    if (this != &other) {
        Release();
        m_buffer = other.m_buffer;
        other.m_buffer = nullptr;
    }
    return *this;
}

QLC_String& QLC_String::operator=(const char* text) {
    QLC_String copy(text);  // text may point into this string
    return *this = static_cast<QLC_String&&>(copy);
}

QLC_String::~QLC_String() { Release(); }

void QLC_String::Release() {
    if (m_buffer && --m_buffer->owners == 0) {
        m_buffer->~Buffer();
        std::free(m_buffer);
    }
    m_buffer = nullptr;
}

// After this the string owns its buffer alone and can hold `capacity` characters.
void QLC_String::MakeUnique(size_t capacity) {
    size_t length = Length();
    if (m_buffer && m_buffer->owners == 1 && m_buffer->capacity >= capacity) {
        return;
    }
    size_t grown = capacity;
    if (m_buffer && grown < m_buffer->capacity * 2) {
        grown = m_buffer->capacity * 2;
    }
    Buffer* fresh = Buffer::Make(grown < 15 ? 15 : grown);
    if (length) {
        std::memcpy(fresh->Text(), m_buffer->Text(), length);
    }
    fresh->length = length;
    fresh->Text()[length] = '\0';
    Release();
    m_buffer = fresh;
}

const char* QLC_String::c_str() const { return m_buffer ? m_buffer->Text() : ""; }

size_t QLC_String::Length() const { return m_buffer ? m_buffer->length : 0; }

char QLC_String::operator[](size_t index) const { return index < Length() ? c_str()[index] : 0; }

QLC_String& QLC_String::Append(const char* text) {
    return text ? Append(text, std::strlen(text)) : *this;
}

QLC_String& QLC_String::Append(const char* text, size_t length) {
    if (!text || length == 0) {
        return *this;
    }
    if (m_buffer && text >= m_buffer->Text() && text < m_buffer->Text() + m_buffer->capacity) {
        QLC_String copy(text, length);  // appending a part of itself
        return Append(copy);
    }
    size_t old = Length();
    MakeUnique(old + length);
    std::memcpy(m_buffer->Text() + old, text, length);
    m_buffer->length = old + length;
    m_buffer->Text()[m_buffer->length] = '\0';
    return *this;
}

QLC_String& QLC_String::Append(const QLC_String& text) {
    if (text.m_buffer == m_buffer) {
        QLC_String copy(text);
        copy.MakeUnique(copy.Length());
        return Append(copy.c_str(), copy.Length());
    }
    return Append(text.c_str(), text.Length());
}

QLC_String& QLC_String::Append(char c) { return Append(&c, 1); }

QLC_String& QLC_String::Insert(size_t position, const char* text) {
    if (!text || !*text) {
        return *this;
    }
    if (position > Length()) {
        position = Length();
    }
    QLC_String result(c_str(), position);
    result.Append(text);
    result.Append(c_str() + position, Length() - position);
    return *this = static_cast<QLC_String&&>(result);
}

QLC_String QLC_String::Left(size_t count) const {
    return QLC_String(c_str(), count < Length() ? count : Length());
}

QLC_String QLC_String::Mid(size_t start, size_t count) const {
    if (start >= Length()) {
        return QLC_String();
    }
    size_t rest = Length() - start;
    return QLC_String(c_str() + start, count < rest ? count : rest);
}

void QLC_String::SetAt(size_t index, char c) {
    if (index >= Length()) {
        return;
    }
    MakeUnique(Length());
    m_buffer->Text()[index] = c;
}

int QLC_String::FindLastOf(const char* set) const {
    if (!set) {
        return -1;
    }
    for (size_t i = Length(); i-- > 0;) {
        if (std::strchr(set, c_str()[i]) && c_str()[i] != '\0') {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int QLC_String::Find(const char* text, size_t start) const {
    if (!text || start > Length()) {
        return -1;
    }
    const char* found = std::strstr(c_str() + start, text);
    return found ? static_cast<int>(found - c_str()) : -1;
}

bool QLC_String::EqualsNoCase(const char* text) const {
    const char* a = c_str();
    const char* b = text ? text : "";
    for (; *a && *b; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b))) {
            return false;
        }
    }
    return *a == *b;
}

QLC_String QLC_String::ToLower() const {
    QLC_String result(*this);
    for (size_t i = 0; i < result.Length(); ++i) {
        result.SetAt(i, static_cast<char>(std::tolower(static_cast<unsigned char>(result[i]))));
    }
    return result;
}

bool operator==(const QLC_String& a, const QLC_String& b) {
    return a.Length() == b.Length() && std::memcmp(a.c_str(), b.c_str(), a.Length()) == 0;
}

bool operator==(const QLC_String& a, const char* b) {
    return std::strcmp(a.c_str(), b ? b : "") == 0;
}

QLC_String operator+(const QLC_String& a, const QLC_String& b) {
    QLC_String result(a);
    result.Append(b);
    return result;
}
