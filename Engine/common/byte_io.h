#pragma once
// Little-endian field writer and bounded reader for the payload's sections. The reader never
// reads past its buffer: a short or malformed section sets a sticky failure instead.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "little_endian.h"
#include "sha256.h"

namespace tpe {

class ByteWriter {
public:
    void U8(uint8_t v) { m_bytes.push_back(v); }
    void U16(uint16_t v) { Le(v, 2); }
    void U32(uint32_t v) { Le(v, 4); }
    void U64(uint64_t v) { Le(v, 8); }
    void Bytes(const void* data, size_t size);
    void Hash(const Digest& d) { Bytes(d.data(), d.size()); }
    // A text of at most 65535 bytes, preceded by its length.
    void Text(const std::string& text);
    std::vector<uint8_t>& Data() { return m_bytes; }

private:
    void Le(uint64_t v, int bytes);
    std::vector<uint8_t> m_bytes;
};

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t U8() { return uint8_t(Le(1)); }
    uint16_t U16() { return uint16_t(Le(2)); }
    uint32_t U32() { return uint32_t(Le(4)); }
    uint64_t U64() { return Le(8); }
    Digest Hash();
    // A length-prefixed text; longer than `limit` bytes is a failure.
    std::string Text(size_t limit);
    bool Ok() const { return m_ok; }
    void Fail() { m_ok = false; }
    bool AtEnd() const { return m_pos == m_size; }
    size_t Remaining() const { return m_size - m_pos; }

private:
    uint64_t Le(int bytes);
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

}  // namespace tpe
