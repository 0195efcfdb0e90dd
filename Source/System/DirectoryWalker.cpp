#include "System/DirectoryWalker.h"

#include "System/Path.h"
#include "System/SystemServices.h"

#include <cstring>

QLC_DirectoryWalker::QLC_DirectoryWalker() : m_entry() {}

QLC_DirectoryWalker::~QLC_DirectoryWalker() {
    CloseSearch();
    m_pending.clear();
}

void QLC_DirectoryWalker::CloseSearch() {
    if (m_find == INVALID_HANDLE_VALUE) {
        return;
    }
    if (m_use_services && g_system_services != nullptr) {
        g_system_services->FindClose(m_find);
    } else {
        ::FindClose(m_find);
    }
    m_find = INVALID_HANDLE_VALUE;
}

void QLC_DirectoryWalker::Search(const QLC_String& pattern) {
    CloseSearch();
    if (m_use_services && g_system_services != nullptr) {
        m_find = g_system_services->FindFirstFile(pattern.c_str(), &m_entry);
    } else {
        m_find = ::FindFirstFileA(pattern.c_str(), &m_entry);
    }
    m_first_pending = m_find != INVALID_HANDLE_VALUE;
    m_pattern = pattern;
}

bool QLC_DirectoryWalker::FindNext() {
    if (m_use_services && g_system_services != nullptr) {
        return g_system_services->FindNextFile(m_find, &m_entry);
    }
    return ::FindNextFileA(m_find, &m_entry) != FALSE;
}

void QLC_DirectoryWalker::Start(const QLC_String& pattern, bool full_paths,
                                bool include_directories, bool recurse) {
    m_pending.clear();
    m_full_paths = full_paths;
    m_include_directories = include_directories;
    m_recurse = recurse;
    Search(pattern);
}

bool QLC_DirectoryWalker::IsDirectory() const {
    return (m_entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool QLC_DirectoryWalker::Next(QLC_String& out) {
    for (;;) {
        bool found = false;
        if (m_find != INVALID_HANDLE_VALUE) {
            if (m_first_pending) {
                m_first_pending = false;
                found = true;
            } else {
                found = FindNext();
            }
        }
        if (!found) {
            if (m_pending.empty()) {
                CloseSearch();
                out = QLC_String();
                return false;
            }
            const QLC_String pattern = m_pending.back();
            m_pending.pop_back();
            Search(pattern);
            continue;
        }
        // The record may come from a services object: its name is read within its bounds.
        const QLC_String name(m_entry.cFileName, strnlen(m_entry.cFileName, MAX_PATH));
        if (name == "." || name == "..") {
            continue;
        }
        const QLC_String folder = AddTrailingSlash(GetDirectory(m_pattern));
        if (m_recurse && IsDirectory()) {
            m_pending.push_back(MakeSearchPattern(folder + name));
        }
        if (m_include_directories || !IsDirectory()) {
            out = m_full_paths ? folder + name : name;
            return true;
        }
    }
}
