// Win32 file operations (ANSI calls, 64-bit offsets) for the Windows builds.
#include <windows.h>

#include "file_system.h"

namespace tpe {
namespace {

std::string Native(const std::string& path) {
    std::string out = path;
    for (char& c : out) {
        if (c == '/') {
            c = '\\';
        }
    }
    return out;
}

class WinInput : public InputFile {
public:
    WinInput(HANDLE h, uint64_t size) : m_handle(h), m_size(size) {}
    ~WinInput() override { CloseHandle(m_handle); }
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        char* p = static_cast<char*>(buffer);
        while (size > 0) {
            OVERLAPPED at = {};
            at.Offset = DWORD(offset);
            at.OffsetHigh = DWORD(offset >> 32);
            DWORD want = size > (1u << 30) ? (1u << 30) : DWORD(size);
            DWORD got = 0;
            if (!ReadFile(m_handle, p, want, &got, &at) || got == 0) {
                return false;
            }
            p += got;
            offset += got;
            size -= got;
        }
        return true;
    }

private:
    HANDLE m_handle;
    uint64_t m_size;
};

class WinOutput : public OutputFile {
public:
    explicit WinOutput(HANDLE h) : m_handle(h) {}
    ~WinOutput() override {
        if (m_handle != INVALID_HANDLE_VALUE) {
            CloseHandle(m_handle);
        }
    }
    bool Write(const void* data, size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            DWORD want = size > (1u << 30) ? (1u << 30) : DWORD(size);
            DWORD put = 0;
            if (!WriteFile(m_handle, p, want, &put, nullptr) || put == 0) {
                return false;
            }
            p += put;
            size -= put;
        }
        return true;
    }
    bool Flush() override { return FlushFileBuffers(m_handle) != 0; }
    bool Close() override {
        HANDLE h = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return CloseHandle(h) != 0;
    }

private:
    HANDLE m_handle;
};

class WinFileSystem : public FileSystem {
public:
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        HANDLE h = CreateFileA(Native(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            return nullptr;
        }
        LARGE_INTEGER size;
        if (!GetFileSizeEx(h, &size)) {
            CloseHandle(h);
            return nullptr;
        }
        return std::make_unique<WinInput>(h, uint64_t(size.QuadPart));
    }
    std::unique_ptr<OutputFile> CreateNew(const std::string& path) override {
        HANDLE h = CreateFileA(Native(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            return nullptr;
        }
        return std::make_unique<WinOutput>(h);
    }
    bool Rename(const std::string& from, const std::string& to) override {
        return MoveFileExA(Native(from).c_str(), Native(to).c_str(), 0) != 0;
    }
    bool RenameOver(const std::string& from, const std::string& to) override {
        return MoveFileExA(Native(from).c_str(), Native(to).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    // Removes read-only files too, as unlink does: a staged file may carry the attribute.
    bool RemoveFile(const std::string& path) override {
        std::string native = Native(path);
        if (DeleteFileA(native.c_str())) {
            return true;
        }
        const DWORD why = GetLastError();
        const DWORD attributes = GetFileAttributesA(native.c_str());
        return why == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_READONLY) != 0 && SetReadOnly(path, false) &&
               DeleteFileA(native.c_str()) != 0;
    }
    bool MakeFolder(const std::string& path) override {
        return CreateDirectoryA(Native(path).c_str(), nullptr) != 0;
    }
    bool RemoveFolder(const std::string& path) override {
        return RemoveDirectoryA(Native(path).c_str()) != 0;
    }
    // The ANSI calls take MAX_PATH bytes with the terminator.
    size_t PathLimit() const override { return MAX_PATH - 1; }
    NodeInfo Stat(const std::string& path) override {
        NodeInfo info;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(Native(path).c_str(), GetFileExInfoStandard, &data)) {
            DWORD e = GetLastError();
            info.kind = (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? NodeKind::Missing
                                                                                 : NodeKind::Error;
            return info;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            info.kind = NodeKind::Link;
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            info.kind = NodeKind::Folder;
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) {
            info.kind = NodeKind::Other;
        } else {
            info.kind = NodeKind::File;
            info.size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
            info.readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
            info.mode = info.readOnly ? 0444 : 0644;
        }
        return info;
    }
    bool SetReadOnly(const std::string& path, bool readOnly) override {
        std::string native = Native(path);
        DWORD attributes = GetFileAttributesA(native.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            return false;
        }
        attributes = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                              : (attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
        if (attributes == 0) {
            attributes = FILE_ATTRIBUTE_NORMAL;
        }
        return SetFileAttributesA(native.c_str(), attributes) != 0;
    }
    bool SetMode(const std::string& path, uint16_t mode) override {
        return SetReadOnly(path, (mode & 0200) == 0);
    }
    bool LinksSupported() const override { return false; }
    bool MakeLink(const std::string&, const std::string&) override { return false; }
    bool ReadLink(const std::string&, std::string*) override { return false; }
    bool FreeSpace(const std::string& folder, uint64_t* bytes) override {
        std::string native = Native(folder);
        if (native.empty() || native.back() != '\\') {
            native += '\\';
        }
        ULARGE_INTEGER available;
        if (!GetDiskFreeSpaceExA(native.c_str(), &available, nullptr, nullptr)) {
            return false;
        }
        *bytes = available.QuadPart;
        return true;
    }
    bool List(const std::string& folder, std::vector<std::string>* names) override {
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA((Native(folder) + "\\*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) {
            return GetLastError() == ERROR_FILE_NOT_FOUND;
        }
        do {
            std::string name = found.cFileName;
            if (name != "." && name != "..") {
                names->push_back(name);
            }
        } while (FindNextFileA(h, &found));
        FindClose(h);
        return true;
    }
};

}  // namespace

FileSystem& NativeFileSystem() {
    static WinFileSystem fs;
    return fs;
}

bool ModeMatches(uint16_t installed, uint16_t recorded) {
    return (installed & 0200) == (recorded & 0200);
}

}  // namespace tpe
