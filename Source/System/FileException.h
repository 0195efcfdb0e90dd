// File failures: one exception class with a cause from a fixed table, the Win32 error that led to
// it (or -1) and the file's name.
#pragma once

#include "System/Exception.h"
#include "Utility/String.h"

enum QLC_FileCause {
    QLC_CAUSE_NONE = 0,
    QLC_CAUSE_UNKNOWN = 1,
    QLC_CAUSE_GENERIC_READ_ERROR = 2,
    QLC_CAUSE_GENERIC_WRITE_ERROR = 3,
    QLC_CAUSE_FILE_NOT_FOUND = 4,
    QLC_CAUSE_NO_MORE_FILES = 5,
    QLC_CAUSE_INVALID_HANDLE = 6,
    QLC_CAUSE_SYSTEM_FILE_TABLE_OVERFLOW = 7,
    QLC_CAUSE_DISK_CHANGE = 8,
    QLC_CAUSE_BAD_PATH = 9,
    QLC_CAUSE_TOO_MANY_OPEN_FILES = 10,
    QLC_CAUSE_ACCESS_DENIED = 11,
    QLC_CAUSE_INVALID_FILE = 12,
    QLC_CAUSE_REMOVE_CURRENT_DIR = 13,
    QLC_CAUSE_DIRECTORY_FULL = 14,
    QLC_CAUSE_BAD_SEEK = 15,
    QLC_CAUSE_HARD_IO = 16,
    QLC_CAUSE_SHARING_VIOLATION = 17,
    QLC_CAUSE_LOCK_VIOLATION = 18,
    QLC_CAUSE_DISK_FULL = 19,
    QLC_CAUSE_END_OF_FILE = 20,
};

// The cause's name as messages show it; "Unknown" outside the table.
const char* QLC_FileCauseText(int cause);

// The cause for a Win32 error code; codes without a cause of their own give QLC_CAUSE_UNKNOWN.
int QLC_FileCauseFromOsError(int os_error);

class QLC_FileException : public QLC_NonFatalException {
public:
    // Message "FileException. File: <name or Unnamed> Cause: <cause text>".
    QLC_FileException(int cause, int os_error, const QLC_String& file_name);
    // A message of the caller's own; the OS error is -1.
    QLC_FileException(const QLC_String& file_name, int cause, const char* message);

    bool IsFileException() const override { return true; }

    int Cause() const { return m_cause; }
    int OsError() const { return m_os_error; }
    const QLC_String& FileName() const { return m_file_name; }

    // Traces the message with the OS error, then throws.
    [[noreturn]] static void Throw(int cause, int os_error, const QLC_String& file_name);

private:
    int m_cause;
    int m_os_error;
    QLC_String m_file_name;
};

// Returns when os_error is 0; otherwise throws the file exception for it. Callers pass
// GetLastError() right after a failed Win32 call.
void QLC_ThrowOsError(int os_error, const QLC_String& file_name);
