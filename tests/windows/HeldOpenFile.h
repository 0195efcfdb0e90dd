// Holds a file open the way another program (a running game, a virus scanner) would, for as
// long as it lives: Windows tests use it to make the update meet a file it cannot replace.
#pragma once

#include <windows.h>

#include <string>

class HeldOpenFile {
public:
    HeldOpenFile(const std::string& path, DWORD shareMode)
        : m_handle(CreateFileA(path.c_str(), GENERIC_READ, shareMode, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldOpenFile() { Release(); }
    HeldOpenFile(const HeldOpenFile&) = delete;
    HeldOpenFile& operator=(const HeldOpenFile&) = delete;

    bool Held() const { return m_handle != INVALID_HANDLE_VALUE; }
    void Release() {
        if (Held()) {
            CloseHandle(m_handle);
            m_handle = INVALID_HANDLE_VALUE;
        }
    }

private:
    HANDLE m_handle;
};
