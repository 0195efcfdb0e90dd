#define QLD_SOURCE_FILE "Source\\System\\FileSourceMemory"

#include "System/FileSourceMemory.h"

#include "System/Assert.h"
#include "System/File.h"
#include "System/FileException.h"

#include <algorithm>
#include <cstring>
#include <new>

QLC_FileSourceMemory::QLC_FileSourceMemory(uint32_t growth) : m_growth(growth) {}

QLC_FileSourceMemory::~QLC_FileSourceMemory() {
    if (m_owns_data) {
        Free(m_data);
    }
}

HANDLE QLC_FileSourceMemory::GetHandle() {
    QLD_ASSERT(0);
    return nullptr;
}

void* QLC_FileSourceMemory::Allocate(uint32_t bytes) {
    return ::operator new(bytes);
}

void QLC_FileSourceMemory::Free(void* block) {
    if (block != nullptr) {
        ::operator delete(block);
    }
}

bool QLC_FileSourceMemory::Open(const QLC_FileOpenRequest& request) {
    if (m_owns_data) {
        Free(m_data);
    }
    m_data = nullptr;
    if (request.memory != nullptr) {
        m_data = static_cast<uint8_t*>(request.memory);
        m_capacity = request.size;
        m_size = request.size;
    } else {
        m_data = static_cast<uint8_t*>(Allocate(kInitialCapacity));
        m_capacity = kInitialCapacity;
        m_size = 0;
    }
    m_owns_data = true;
    m_position = 0;
    m_flags = request.flags;
    m_open = true;
    return true;
}

void QLC_FileSourceMemory::Close() {
    m_open = false;
    m_position = 0;
    m_capacity = 0;
    m_size = 0;
    m_growth = 0;
    if (m_owns_data) {
        Free(m_data);
    }
    m_data = nullptr;
}

uint32_t QLC_FileSourceMemory::Read(void* buffer, uint32_t count) {
    if (count == 0 || m_position >= m_size) {
        return 0;
    }
    const uint32_t copied = std::min(count, m_size - m_position);
    std::memcpy(buffer, m_data + m_position, copied);
    m_position += copied;
    return copied;
}

void QLC_FileSourceMemory::Write(const void* buffer, uint32_t count) {
    if (count == 0) {
        return;
    }
    const uint64_t end = static_cast<uint64_t>(m_position) + count;
    if (end > UINT32_MAX) {
        throw std::bad_alloc();
    }
    if (m_capacity < end) {
        Reserve(static_cast<uint32_t>(end));
    }
    // Bytes skipped by a seek beyond the end read as zeros, not as old heap contents.
    if (m_position > m_size) {
        std::memset(m_data + m_size, 0, m_position - m_size);
    }
    std::memcpy(m_data + m_position, buffer, count);
    m_position = static_cast<uint32_t>(end);
    if (m_position > m_size) {
        m_size = m_position;
    }
}

uint32_t QLC_FileSourceMemory::Seek(int32_t offset, int origin) {
    int64_t position = m_position;
    switch (origin) {
        case QLC_IFile::FROM_START:
            position = offset;
            break;
        case QLC_IFile::FROM_CURRENT:
            position = static_cast<int64_t>(m_position) + offset;
            break;
        case QLC_IFile::FROM_END:
            position = static_cast<int64_t>(m_size) + offset;
            break;
        default:
            return m_position;
    }
    if (position < 0 || position > UINT32_MAX) {
        QLC_FileException::Throw(QLC_CAUSE_BAD_SEEK, -1, QLC_String());
    }
    m_position = static_cast<uint32_t>(position);
    return m_position;
}

void QLC_FileSourceMemory::WriteToFile(QLC_IFile& target, int) {
    target.Write(m_data, m_size);
}

void QLC_FileSourceMemory::WriteToFile(const QLC_String& path, int option) {
    QLC_File target(path, QLC_File::kCreateForCopy);
    WriteToFile(target, option);
}

uint8_t* QLC_FileSourceMemory::Reserve(uint32_t bytes) {
    if (m_capacity >= bytes) {
        return m_data;
    }
    uint64_t capacity = m_capacity;
    if (m_growth == 0) {
        // A closed source has no step left: grow exactly.
        capacity = bytes;
    } else {
        capacity +=
            (static_cast<uint64_t>(bytes) - m_capacity + m_growth - 1) / m_growth * m_growth;
    }
    if (capacity > UINT32_MAX) {
        throw std::bad_alloc();
    }
    uint8_t* data = static_cast<uint8_t*>(Allocate(static_cast<uint32_t>(capacity)));
    if (m_data != nullptr) {
        std::memcpy(data, m_data, m_capacity);
    }
    if (m_owns_data) {
        Free(m_data);
    }
    m_data = data;
    m_owns_data = true;
    m_capacity = static_cast<uint32_t>(capacity);
    return m_data;
}

void QLC_FileSourceMemory::SetSize(uint32_t size) {
    if (m_capacity < size) {
        Reserve(size);
    }
    if (size > m_size) {
        std::memset(m_data + m_size, 0, size - m_size);
    }
    m_size = size;
    if (m_position > m_size) {
        m_position = m_size;
    }
}
