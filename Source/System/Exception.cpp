#include "System/Exception.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

char* CopyText(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

}  // namespace

QLC_Exception::QLC_Exception(const char* message) : m_message(CopyText(message)) {}

QLC_Exception::QLC_Exception(const QLC_Exception& other) : m_message(CopyText(other.m_message)) {}

QLC_Exception& QLC_Exception::operator=(const QLC_Exception& other) {
    if (this != &other) {
        char* copy = CopyText(other.m_message);
        delete[] m_message;
        m_message = copy;
    }
    return *this;
}

QLC_Exception::~QLC_Exception() {
    delete[] m_message;
}

void QLC_ThrowFatal(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::vector<char> text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    if (length > 0) {
        std::vsnprintf(text.data(), text.size(), format, args);
    }
    va_end(args);
    throw QLC_FatalException(text.data());
}
