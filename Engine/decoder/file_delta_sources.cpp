#include "file_delta_sources.h"

#include <algorithm>

#include "crc32.h"

namespace tpe {

bool OldFileSource::ReadAt(uint64_t offset, void* buffer, size_t size) {
    if (size == 0) {
        return offset <= Size();
    }
    return m_file && m_file->ReadAt(offset, buffer, size);
}

long long BlockSource::Read(void* buffer, size_t size) {
    uint64_t left = m_size - m_done;
    if (left == 0) {
        return m_crc == m_expectedCrc ? 0 : -1;
    }
    size_t n = size_t(std::min<uint64_t>(left, size));
    if (!m_file.ReadAt(m_offset + m_done, buffer, n)) {
        return -1;
    }
    m_crc = Crc32(buffer, n, m_crc);
    m_done += n;
    if (m_done == m_size && m_crc != m_expectedCrc) {
        return -1;
    }
    return static_cast<long long>(n);
}

}  // namespace tpe
