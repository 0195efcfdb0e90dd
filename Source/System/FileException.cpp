#define QLD_SOURCE_FILE "Source\\System\\FileException"

#include "System/FileException.h"

namespace {

const char* const kCauseTexts[] = {
    "None",
    "Unknown",
    "Generic Read Error",
    "Generic Write Error",
    "File Not Found",
    "No More Files",
    "Invalid Handle",
    "System File Table Overflow",
    "Disk Change",
    "Bad Path",
    "Too Many Open Files",
    "Access Denied",
    "Invalid File",
    "Remove Current Dir",
    "Directory Full",
    "Bad Seek",
    "Hard IO",
    "Sharing Violation",
    "Lock Violation",
    "Disk Full",
    "End Of File",
};
constexpr int kCauseCount = sizeof(kCauseTexts) / sizeof(kCauseTexts[0]);

struct OsErrorCause {
    int os_error;
    int cause;
};

// Win32 error codes (decimal) with a cause of their own.
const OsErrorCause kOsErrorCauses[] = {
    {0, QLC_CAUSE_NONE},
    {2, QLC_CAUSE_FILE_NOT_FOUND},
    {18, QLC_CAUSE_NO_MORE_FILES},
    {6, QLC_CAUSE_INVALID_HANDLE},
    {107, QLC_CAUSE_DISK_CHANGE},
    {3, QLC_CAUSE_BAD_PATH},
    {15, QLC_CAUSE_BAD_PATH},
    {17, QLC_CAUSE_BAD_PATH},
    {34, QLC_CAUSE_BAD_PATH},
    {52, QLC_CAUSE_BAD_PATH},
    {53, QLC_CAUSE_BAD_PATH},
    {55, QLC_CAUSE_BAD_PATH},
    {67, QLC_CAUSE_BAD_PATH},
    {70, QLC_CAUSE_BAD_PATH},
    {85, QLC_CAUSE_BAD_PATH},
    {111, QLC_CAUSE_BAD_PATH},
    {123, QLC_CAUSE_BAD_PATH},
    {124, QLC_CAUSE_BAD_PATH},
    {125, QLC_CAUSE_BAD_PATH},
    {144, QLC_CAUSE_BAD_PATH},
    {154, QLC_CAUSE_BAD_PATH},
    {161, QLC_CAUSE_BAD_PATH},
    {206, QLC_CAUSE_BAD_PATH},
    {208, QLC_CAUSE_BAD_PATH},
    {267, QLC_CAUSE_BAD_PATH},
    {4, QLC_CAUSE_TOO_MANY_OPEN_FILES},
    {36, QLC_CAUSE_TOO_MANY_OPEN_FILES},
    {68, QLC_CAUSE_TOO_MANY_OPEN_FILES},
    {113, QLC_CAUSE_TOO_MANY_OPEN_FILES},
    {5, QLC_CAUSE_ACCESS_DENIED},
    {12, QLC_CAUSE_ACCESS_DENIED},
    {19, QLC_CAUSE_ACCESS_DENIED},
    {29, QLC_CAUSE_ACCESS_DENIED},
    {54, QLC_CAUSE_ACCESS_DENIED},
    {58, QLC_CAUSE_ACCESS_DENIED},
    {64, QLC_CAUSE_ACCESS_DENIED},
    {65, QLC_CAUSE_ACCESS_DENIED},
    {71, QLC_CAUSE_ACCESS_DENIED},
    {80, QLC_CAUSE_ACCESS_DENIED},
    {82, QLC_CAUSE_ACCESS_DENIED},
    {86, QLC_CAUSE_ACCESS_DENIED},
    {170, QLC_CAUSE_ACCESS_DENIED},
    {183, QLC_CAUSE_ACCESS_DENIED},
    {999, QLC_CAUSE_ACCESS_DENIED},
    {11, QLC_CAUSE_INVALID_FILE},
    {26, QLC_CAUSE_INVALID_FILE},
    {60, QLC_CAUSE_INVALID_FILE},
    {66, QLC_CAUSE_INVALID_FILE},
    {114, QLC_CAUSE_INVALID_FILE},
    {182, QLC_CAUSE_INVALID_FILE},
    {191, QLC_CAUSE_INVALID_FILE},
    {193, QLC_CAUSE_INVALID_FILE},
    {16, QLC_CAUSE_REMOVE_CURRENT_DIR},
    {145, QLC_CAUSE_REMOVE_CURRENT_DIR},
    {62, QLC_CAUSE_DIRECTORY_FULL},
    {24, QLC_CAUSE_BAD_SEEK},
    {25, QLC_CAUSE_BAD_SEEK},
    {27, QLC_CAUSE_BAD_SEEK},
    {30, QLC_CAUSE_BAD_SEEK},
    {131, QLC_CAUSE_BAD_SEEK},
    {132, QLC_CAUSE_BAD_SEEK},
    {20, QLC_CAUSE_HARD_IO},
    {21, QLC_CAUSE_HARD_IO},
    {22, QLC_CAUSE_HARD_IO},
    {23, QLC_CAUSE_HARD_IO},
    {57, QLC_CAUSE_HARD_IO},
    {59, QLC_CAUSE_HARD_IO},
    {88, QLC_CAUSE_HARD_IO},
    {117, QLC_CAUSE_HARD_IO},
    {995, QLC_CAUSE_HARD_IO},
    {996, QLC_CAUSE_HARD_IO},
    {997, QLC_CAUSE_HARD_IO},
    {32, QLC_CAUSE_SHARING_VIOLATION},
    {33, QLC_CAUSE_LOCK_VIOLATION},
    {108, QLC_CAUSE_LOCK_VIOLATION},
    {167, QLC_CAUSE_LOCK_VIOLATION},
    {39, QLC_CAUSE_DISK_FULL},
    {112, QLC_CAUSE_DISK_FULL},
    {38, QLC_CAUSE_END_OF_FILE},
};

QLC_String BuildMessage(int cause, const QLC_String& file_name) {
    const char* file_text = file_name.IsEmpty() ? "Unnamed" : file_name.c_str();
    return QLC_String::Format("FileException. File: %s Cause: %s", file_text,
                              QLC_FileCauseText(cause));
}

}  // namespace

const char* QLC_FileCauseText(int cause) {
    if (cause < 0 || cause >= kCauseCount) {
        return kCauseTexts[QLC_CAUSE_UNKNOWN];
    }
    return kCauseTexts[cause];
}

int QLC_FileCauseFromOsError(int os_error) {
    for (const OsErrorCause& entry : kOsErrorCauses) {
        if (entry.os_error == os_error) {
            return entry.cause;
        }
    }
    return QLC_CAUSE_UNKNOWN;
}

QLC_FileException::QLC_FileException(int cause, int os_error, const QLC_String& file_name)
    : QLC_NonFatalException(BuildMessage(cause, file_name).c_str()),
      m_cause(cause),
      m_os_error(os_error),
      m_file_name(file_name) {}

QLC_FileException::QLC_FileException(const QLC_String& file_name, int cause, const char* message)
    : QLC_NonFatalException(message), m_cause(cause), m_os_error(-1), m_file_name(file_name) {}

void QLC_FileException::Throw(int cause, int os_error, const QLC_String& file_name) {
    if (g_system_services != nullptr) {
        const QLC_String message = BuildMessage(cause, file_name);
        g_system_services->Trace(QLD_SOURCE_FILE, __LINE__, "QLC_FileException::Throw",
                                 "%s, OS error info = %d.\n", message.c_str(), os_error);
    }
    throw QLC_FileException(cause, os_error, file_name);
}

void QLC_ThrowOsError(int os_error, const QLC_String& file_name) {
    if (os_error == 0) {
        return;
    }
    QLC_FileException::Throw(QLC_FileCauseFromOsError(os_error), os_error, file_name);
}
