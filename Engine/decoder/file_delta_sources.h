#pragma once
// The delta codec's inputs backed by files: an old file read at random, and a data block read
// in order from a payload (or any file) with its CRC checked at the end.
#include "delta_decoder.h"
#include "file_system.h"

namespace tpe {

// A null file reads as empty.
class OldFileSource : public DeltaOldSource {
public:
    explicit OldFileSource(InputFile* file) : m_file(file) {}
    uint64_t Size() const override { return m_file ? m_file->Size() : 0; }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

private:
    InputFile* m_file;
};

// `size` bytes at `offset`; a read fails once they are all read and their CRC is not `crc`.
class BlockSource : public DeltaPatchSource {
public:
    BlockSource(InputFile& file, uint64_t offset, uint64_t size, uint32_t crc)
        : m_file(file), m_offset(offset), m_size(size), m_expectedCrc(crc) {}
    long long Read(void* buffer, size_t size) override;

private:
    InputFile& m_file;
    uint64_t m_offset, m_size, m_done = 0;
    uint32_t m_expectedCrc, m_crc = 0;
};

}  // namespace tpe
