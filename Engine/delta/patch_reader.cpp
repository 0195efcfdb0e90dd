#include "patch_reader.h"

#include <cstring>

#include "varint.h"

namespace tpe {

namespace {
constexpr size_t kPatchBufferSize = 64 << 10;
}

PatchReader::PatchReader(DeltaPatchSource& source) : m_source(source), m_buffer(kPatchBufferSize) {}

bool PatchReader::Fill() {
    if (m_pos < m_end) {
        return true;
    }
    if (m_ended || m_failed) {
        return false;
    }
    long long got = m_source.Read(m_buffer.data(), m_buffer.size());
    if (got < 0 || static_cast<unsigned long long>(got) > m_buffer.size()) {
        m_failed = true;
        return false;
    }
    if (got == 0) {
        m_ended = true;
        return false;
    }
    m_pos = 0;
    m_end = static_cast<size_t>(got);
    return true;
}

size_t PatchReader::ReadSome(void* buffer, size_t size) {
    if (size == 0 || !Fill()) {
        return 0;
    }
    size_t take = m_end - m_pos < size ? m_end - m_pos : size;
    std::memcpy(buffer, m_buffer.data() + m_pos, take);
    m_hash.Update(m_buffer.data() + m_pos, take);
    m_pos += take;
    return take;
}

bool PatchReader::ReadExact(void* buffer, size_t size) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        size_t got = ReadSome(out, size);
        if (got == 0) {
            return false;
        }
        out += got;
        size -= got;
    }
    return true;
}

bool PatchReader::ReadVarint(uint64_t& value) {
    uint8_t bytes[kMaxVarintBytes];
    size_t count = 0;
    do {
        if (count == kMaxVarintBytes || !ReadExact(bytes + count, 1)) {
            return false;
        }
    } while (bytes[count++] & 0x80);
    const uint8_t* pos = bytes;
    return GetVarint(pos, bytes + count, value);
}

bool PatchReader::AtEnd() {
    return !Fill() && !m_failed;
}

}  // namespace tpe
