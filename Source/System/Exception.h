// The foundation library's exception tree. All classes are copyable, thrown by value and caught
// by reference; each answers the type queries for its place in the tree.
#pragma once

#include "System/SystemServices.h"

class QLC_Exception {
public:
    explicit QLC_Exception(const char* message);
    QLC_Exception(const QLC_Exception& other);
    QLC_Exception& operator=(const QLC_Exception& other);
    virtual ~QLC_Exception();

    virtual bool IsFatal() const { return false; }
    virtual bool IsNonFatal() const { return false; }
    virtual bool IsFileException() const { return false; }
    // Reserved for a kind of exception this library does not raise.
    virtual bool IsUserAbort() const { return false; }

    // The text a catcher shows; null when constructed from a null text.
    const char* Message() const { return m_message; }

private:
    char* m_message;
};

class QLC_FatalException : public QLC_Exception {
public:
    explicit QLC_FatalException(const char* message) : QLC_Exception(message) {}
    bool IsFatal() const override { return true; }
};

class QLC_NonFatalException : public QLC_Exception {
public:
    explicit QLC_NonFatalException(const char* message) : QLC_Exception(message) {}
    bool IsNonFatal() const override { return true; }
};

// Formats a message printf-style and throws it as a QLC_FatalException.
[[noreturn]] void QLC_ThrowFatal(const char* format, ...) QLD_PRINTF(1, 2);
