#pragma once
// The old file and the delta held in memory: for checking a delta right after it was made, and
// for feeding the decoder bytes that never touch the disk.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "delta_decoder.h"

namespace tpe {

class MemoryOldSource : public DeltaOldSource {
public:
    MemoryOldSource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        if (offset > m_size || size > m_size - offset) {
            return false;
        }
        if (size > 0) {
            std::memcpy(buffer, m_data + offset, size);
        }
        return true;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
};

class MemoryPatchSource : public DeltaPatchSource {
public:
    MemoryPatchSource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    long long Read(void* buffer, size_t size) override {
        size_t take = size < m_size - m_done ? size : m_size - m_done;
        if (take > 0) {
            std::memcpy(buffer, m_data + m_done, take);
        }
        m_done += take;
        return static_cast<long long>(take);
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_done = 0;
};

}  // namespace tpe
