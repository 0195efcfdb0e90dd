// Walks the entries a search pattern finds, optionally with full paths, directories and every
// subdirectory. A directory's own entries come first, in the system's order; its subdirectories
// are searched after it, the one found last first.
#pragma once

#include "Utility/String.h"

#include <windows.h>

#include <deque>

class QLC_DirectoryWalker {
public:
    QLC_DirectoryWalker();
    QLC_DirectoryWalker(const QLC_DirectoryWalker&) = delete;
    QLC_DirectoryWalker& operator=(const QLC_DirectoryWalker&) = delete;
    virtual ~QLC_DirectoryWalker();

    // Begins a walk over pattern (for example MakeSearchPattern(folder)); a walk in progress is
    // dropped.
    virtual void Start(const QLC_String& pattern, bool full_paths, bool include_directories,
                       bool recurse);
    // The next entry (its folder and "/" in front with full paths); false and an empty text at
    // the end.
    virtual bool Next(QLC_String& out);
    // Whether the entry Next returned last is a directory.
    virtual bool IsDirectory() const;

    // Sends the find calls through the services object instead of the system.
    void UseServices(bool use) { m_use_services = use; }

private:
    void Search(const QLC_String& pattern);
    void CloseSearch();
    bool FindNext();

    WIN32_FIND_DATAA m_entry;
    HANDLE m_find = INVALID_HANDLE_VALUE;
    bool m_first_pending = false;
    bool m_full_paths = false;
    bool m_recurse = false;
    bool m_include_directories = false;
    bool m_use_services = false;
    QLC_String m_pattern;
    // Patterns of subdirectories still to search; the most recent is taken first.
    std::deque<QLC_String> m_pending;
};
