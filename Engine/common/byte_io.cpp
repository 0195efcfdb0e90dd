#include "byte_io.h"

#include <cstring>

namespace tpe {

void ByteWriter::Le(uint64_t v, int bytes) {
    uint8_t tmp[8];
    PutLe(tmp, v, bytes);
    m_bytes.insert(m_bytes.end(), tmp, tmp + bytes);
}

void ByteWriter::Bytes(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), p, p + size);
}

void ByteWriter::Text(const std::string& text) {
    U16(uint16_t(text.size()));
    Bytes(text.data(), text.size() & 0xFFFF);
}

uint64_t ByteReader::Le(int bytes) {
    if (!m_ok || m_size - m_pos < size_t(bytes)) {
        m_ok = false;
        return 0;
    }
    uint64_t v = GetLe(m_data + m_pos, bytes);
    m_pos += bytes;
    return v;
}

Digest ByteReader::Hash() {
    Digest d{};
    if (!m_ok || m_size - m_pos < d.size()) {
        m_ok = false;
        return d;
    }
    std::memcpy(d.data(), m_data + m_pos, d.size());
    m_pos += d.size();
    return d;
}

std::string ByteReader::Text(size_t limit) {
    size_t length = U16();
    if (!m_ok || length > limit || m_size - m_pos < length) {
        m_ok = false;
        return std::string();
    }
    std::string text(reinterpret_cast<const char*>(m_data + m_pos), length);
    m_pos += length;
    return text;
}

}  // namespace tpe
