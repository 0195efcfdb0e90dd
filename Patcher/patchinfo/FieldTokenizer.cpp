#include "patchinfo/FieldTokenizer.h"

#include <cstring>

namespace {

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

FieldTokenizer::FieldTokenizer(const QLC_String& text, const char* delimiters)
    : m_text(text), m_delimiters(delimiters), m_position(0) {}

QLC_String FieldTokenizer::NextField() {
    const char* text = m_text.c_str();
    size_t length = m_text.Length();
    auto isDelimiter = [&](char c) {
        return c != '\0' && std::strchr(m_delimiters.c_str(), c) != nullptr;
    };
    while (m_position < length && IsWhiteSpace(text[m_position])) {
        ++m_position;
    }
    while (m_position < length && isDelimiter(text[m_position])) {
        ++m_position;
    }
    if (m_position >= length) {
        return QLC_String();
    }
    char quote = text[m_position];
    if (quote == '"' || quote == '\'') {
        size_t start = m_position + 1;
        size_t end = start;
        while (end < length && text[end] != quote) {
            ++end;
        }
        m_position = end < length ? end + 1 : length;
        return QLC_String(text + start, end - start);
    }
    size_t start = m_position;
    while (m_position < length && !isDelimiter(text[m_position])) {
        ++m_position;
    }
    QLC_String field(text + start, m_position - start);
    if (m_position < length) {
        ++m_position;  // the delimiter
    }
    return field;
}

QLC_String TrimWhiteSpace(const QLC_String& text) {
    size_t start = 0;
    size_t end = text.Length();
    while (start < end && IsWhiteSpace(text[start])) {
        ++start;
    }
    while (end > start && IsWhiteSpace(text[end - 1])) {
        --end;
    }
    return text.Mid(start, end - start);
}
