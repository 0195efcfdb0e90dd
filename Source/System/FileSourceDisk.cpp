#define QLD_SOURCE_FILE "Source\\System\\FileSourceDisk"

#include "System/FileSourceDisk.h"

#include "System/Assert.h"
#include "System/FileException.h"

#include <algorithm>
#include <cstring>

namespace {

DWORD DesiredAccess(uint32_t flags) {
    switch (flags & QLC_IFile::ACCESS_MASK) {
        case QLC_IFile::READ:
            return GENERIC_READ;
        case QLC_IFile::WRITE:
            return GENERIC_WRITE;
        case QLC_IFile::READ_WRITE:
            return GENERIC_READ | GENERIC_WRITE;
        default:
            return 0;
    }
}

DWORD ShareMode(uint32_t flags) {
    switch (flags & QLC_IFile::SHARE_MASK) {
        case 0:
        case QLC_IFile::SHARE_READ:
            return FILE_SHARE_READ;
        case QLC_IFile::SHARE_WRITE:
            return FILE_SHARE_WRITE;
        case QLC_IFile::SHARE_READ_WRITE:
            return FILE_SHARE_READ | FILE_SHARE_WRITE;
        default:
            return 0;
    }
}

DWORD Attributes(uint32_t flags) {
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (flags & QLC_IFile::OS_NO_BUFFERING) {
        attributes |= FILE_FLAG_NO_BUFFERING;
    }
    if (flags & QLC_IFile::OS_WRITE_THROUGH) {
        attributes |= FILE_FLAG_WRITE_THROUGH;
    }
    if (flags & QLC_IFile::OS_RANDOM_ACCESS) {
        attributes |= FILE_FLAG_RANDOM_ACCESS;
    }
    if (flags & QLC_IFile::OS_SEQUENTIAL_SCAN) {
        attributes |= FILE_FLAG_SEQUENTIAL_SCAN;
    }
    return attributes;
}

int LastError() {
    return static_cast<int>(GetLastError());
}

}  // namespace

QLC_FileSourceDisk::~QLC_FileSourceDisk() {
    if (m_open && m_handle != INVALID_HANDLE_VALUE) {
        try {
            Close();
        } catch (const QLC_Exception&) {
            // A destructor must not throw: what could not be written is lost.
            Abandon();
        }
    }
    delete[] m_cache;
}

bool QLC_FileSourceDisk::Open(const QLC_FileOpenRequest& request) {
    uint32_t flags = request.flags;
    // A reader never locks other readers out.
    if ((flags & QLC_IFile::ACCESS_MASK) == QLC_IFile::READ &&
        (flags & QLC_IFile::SHARE_MASK) == QLC_IFile::SHARE_NONE) {
        flags = (flags & ~static_cast<uint32_t>(QLC_IFile::SHARE_MASK)) | QLC_IFile::SHARE_READ;
    }
    m_open = false;
    m_name = request.path;

    SECURITY_ATTRIBUTES security = {};
    security.nLength = sizeof(security);
    security.lpSecurityDescriptor = nullptr;
    security.bInheritHandle = (flags & QLC_IFile::NO_INHERIT) ? FALSE : TRUE;

    DWORD creation = OPEN_EXISTING;
    if (flags & QLC_IFile::CREATE) {
        if (g_system_services != nullptr) {
            g_system_services->OnCreateFile(m_name.c_str());
        }
        creation = (flags & QLC_IFile::KEEP_EXISTING) ? OPEN_ALWAYS : CREATE_ALWAYS;
    }
    // clang-format off
    QLD_ASSERT((flags&(QLC_IFile::OS_RANDOM_ACCESS|QLC_IFile::OS_SEQUENTIAL_SCAN)) != (QLC_IFile::OS_RANDOM_ACCESS| QLC_IFile::OS_SEQUENTIAL_SCAN));
    // clang-format on

    const HANDLE handle = CreateFileA(m_name.c_str(), DesiredAccess(flags), ShareMode(flags),
                                      &security, creation, Attributes(flags), nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (flags & QLC_IFile::THROW_ON_ERROR) {
            QLC_ThrowOsError(LastError(), m_name);
        }
        return false;
    }
    m_flags = flags;
    m_handle = handle;
    m_position = 0;
    m_system_position = 0;
    m_size_known = false;
    m_cache_start = 0;
    m_cache_length = 0;
    m_dirty = false;
    if (flags & QLC_IFile::NO_CACHE) {
        m_cache_capacity = 0;
    } else {
        if (m_cache == nullptr) {
            m_cache = new uint8_t[kCacheSize];
        }
        m_cache_capacity = kCacheSize;
    }
    m_open = true;
    return true;
}

void QLC_FileSourceDisk::SystemSeek(uint32_t position) {
    LONG high = 0;
    SetLastError(0);
    const DWORD result = SetFilePointer(m_handle, static_cast<LONG>(position), &high, FILE_BEGIN);
    if (result == INVALID_SET_FILE_POINTER) {
        QLC_ThrowOsError(LastError(), m_name);
    }
    m_position = result;
    m_system_position = result;
}

void QLC_FileSourceDisk::SystemSeekToPosition() {
    if (m_system_position != m_position) {
        SystemSeek(m_position);
    }
}

void QLC_FileSourceDisk::WriteOutCache() {
    if (!m_dirty) {
        return;
    }
    const uint32_t position = m_position;
    if (m_cache_start != m_system_position) {
        SystemSeek(m_cache_start);
    }
    DWORD written = 0;
    if (!WriteFile(m_handle, m_cache, m_cache_length, &written, nullptr)) {
        m_position = position;
        QLC_ThrowOsError(LastError(), m_name);
    }
    m_position = position;
    m_system_position += written;
    if (written < m_cache_length) {
        QLC_FileException::Throw(QLC_CAUSE_DISK_FULL, -1, m_name);
    }
    m_dirty = false;
    m_cache_start = 0;
    m_cache_length = 0;
}

uint32_t QLC_FileSourceDisk::Read(void* buffer, uint32_t count) {
    if (count == 0) {
        return 0;
    }
    WriteOutCache();
    uint8_t* out = static_cast<uint8_t*>(buffer);
    if (m_cache_capacity == 0) {
        SystemSeekToPosition();
        DWORD read = 0;
        if (!ReadFile(m_handle, out, count, &read, nullptr)) {
            QLC_ThrowOsError(LastError(), m_name);
        }
        m_system_position += read;
        m_position += read;
        return read;
    }
    uint32_t total = 0;
    uint32_t copied = 0;
    for (;;) {
        copied = 0;
        if (m_position >= m_cache_start && m_position - m_cache_start < m_cache_length) {
            copied = std::min(count - total, m_cache_length - (m_position - m_cache_start));
            std::memcpy(out + total, m_cache + (m_position - m_cache_start), copied);
        }
        total += copied;
        if (total == count) {
            break;
        }
        m_position += copied;
        copied = 0;
        m_cache_start = m_position;
        m_cache_length = 0;
        SystemSeekToPosition();
        DWORD read = 0;
        if (!ReadFile(m_handle, m_cache, m_cache_capacity, &read, nullptr)) {
            QLC_ThrowOsError(LastError(), m_name);
        }
        m_system_position += read;
        m_cache_length = read;
        if (read == 0) {
            break;
        }
    }
    m_position += copied;
    return total;
}

void QLC_FileSourceDisk::Write(const void* buffer, uint32_t count) {
    if (count == 0) {
        return;
    }
    const uint8_t* in = static_cast<const uint8_t*>(buffer);
    if (m_cache_capacity == 0) {
        SystemSeekToPosition();
        DWORD written = 0;
        if (!WriteFile(m_handle, in, count, &written, nullptr)) {
            QLC_ThrowOsError(LastError(), m_name);
        }
        m_system_position += written;
        if (written < count) {
            QLC_FileException::Throw(QLC_CAUSE_DISK_FULL, -1, m_name);
        }
        m_position += written;
    } else {
        uint32_t remaining = count;
        for (;;) {
            if (!m_dirty) {
                m_dirty = true;
                m_cache_length = 0;
                m_cache_start = m_position;
            }
            const uint32_t chunk = std::min(m_cache_capacity - m_cache_length, remaining);
            std::memcpy(m_cache + m_cache_length, in, chunk);
            m_cache_length += chunk;
            in += chunk;
            remaining -= chunk;
            m_position += chunk;
            if (remaining == 0) {
                break;
            }
            WriteOutCache();
        }
    }
    if (m_position > GetSize()) {
        m_size = m_position;
    }
}

uint32_t QLC_FileSourceDisk::GetSize() {
    if (!m_size_known) {
        SetLastError(0);
        const DWORD size = GetFileSize(m_handle, nullptr);
        if (size == INVALID_FILE_SIZE) {
            QLC_ThrowOsError(LastError(), m_name);
        }
        m_size = size;
        m_size_known = true;
    }
    return m_size;
}

uint32_t QLC_FileSourceDisk::Seek(int32_t offset, int origin) {
    WriteOutCache();
    switch (origin) {
        case QLC_IFile::FROM_START:
            m_position = static_cast<uint32_t>(offset);
            break;
        case QLC_IFile::FROM_CURRENT:
            m_position += static_cast<uint32_t>(offset);
            break;
        case QLC_IFile::FROM_END:
            m_position = GetSize() - static_cast<uint32_t>(offset);
            break;
        default:
            break;
    }
    return m_position;
}

void QLC_FileSourceDisk::SetSize(uint32_t size) {
    Seek(static_cast<int32_t>(size), QLC_IFile::FROM_START);
    // The end is set where the system's pointer stands, so it must stand at the new size.
    SystemSeek(size);
    if (!SetEndOfFile(m_handle)) {
        QLC_ThrowOsError(LastError(), m_name);
    }
    // Bytes cached from beyond a shortened end are gone.
    m_cache_start = 0;
    m_cache_length = 0;
    m_size = size;
    m_size_known = true;
}

void QLC_FileSourceDisk::Flush() {
    if (m_handle == INVALID_HANDLE_VALUE) {
        return;
    }
    WriteOutCache();
    if (!FlushFileBuffers(m_handle)) {
        QLC_ThrowOsError(LastError(), m_name);
    }
}

void QLC_FileSourceDisk::Close() {
    WriteOutCache();
    const QLC_String name = m_name;
    BOOL closed = TRUE;
    int error = 0;
    if (m_handle != INVALID_HANDLE_VALUE) {
        closed = CloseHandle(m_handle);
        error = closed ? 0 : LastError();
    }
    m_handle = INVALID_HANDLE_VALUE;
    m_open = false;
    m_name = QLC_String();
    m_size_known = false;
    m_cache_length = 0;
    if (!closed) {
        QLC_ThrowOsError(error, name);
    }
}

void QLC_FileSourceDisk::Abandon() {
    if (m_handle != INVALID_HANDLE_VALUE) {
        CloseHandle(m_handle);
    }
    m_handle = INVALID_HANDLE_VALUE;
    m_name = QLC_String();
    m_dirty = false;
    m_cache_length = 0;
}
