// A small archive reader: named chunks stored as they are or zlib-compressed, read through the
// current chunk with forward-only seeks inside compressed chunks.
//
// Archive layout (little-endian): "TWAD", chunk count (u32), then per chunk a 48-byte record:
// name (32 bytes, NUL-padded), data offset (u32, from the archive start), size (u32, bytes once
// inflated), stored size (u32, bytes in the archive), compressed (u32, 0 or 1); then the data.
#pragma once

#include "System/FileSourceDisk.h"
#include "System/SystemServices.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

class QLC_File;

struct TSC_WadChunk {
    char name[32] = {};
    uint32_t data_offset = 0;
    // Uncompressed size.
    uint32_t size = 0;
    // Inflate state of a compressed chunk; null for a stored one.
    z_stream* inflater = nullptr;
    // Where the next archive bytes are read, relative to the chunk data.
    uint32_t read_position = 0;
    // Position in the chunk's (uncompressed) bytes.
    uint32_t position = 0;
    uint32_t stored_size = 0;
    bool compressed = false;
};

class TSC_WadReader {
public:
    static constexpr uint32_t kRecordSize = 48;
    static constexpr uint32_t kMaxChunks = 65536;

    // A reader starts with one reference, its creator's.
    TSC_WadReader();
    TSC_WadReader(const TSC_WadReader&) = delete;
    TSC_WadReader& operator=(const TSC_WadReader&) = delete;

    // Opens the archive that starts at base_offset inside the file; a file that is not an
    // archive throws QLC_FileException.
    void Open(const QLC_String& path, uint32_t base_offset = 0);
    // Makes the named chunk current; false when there is none of that name.
    bool SelectChunk(const char* name);
    // Opens file on the entry of `size` bytes at `offset` inside the named chunk.
    bool OpenEntry(QLC_File& file, const char* chunk, uint32_t offset, uint32_t size);

    // Reads up to count bytes at the chunk position; fewer at the end of the chunk.
    uint32_t Read(void* buffer, uint32_t count);
    // Moves to offset inside the current chunk (forward only in a compressed chunk, or to 0).
    void Seek(uint32_t offset);
    const TSC_WadChunk* CurrentChunk() const { return m_has_chunk ? &m_chunk : nullptr; }
    QLC_IFileSource* GetSource() { return &m_source; }

    void AddRef() { ++m_references; }
    // Drops a reference; the last one deletes the reader.
    void Release();

private:
    ~TSC_WadReader();
    void EndInflate();
    void StartInflate();
    uint32_t ReadStored(uint8_t* out, uint32_t count);
    uint32_t ReadCompressed(uint8_t* out, uint32_t count);
    [[noreturn]] void ChunkError(int cause, const char* format, ...) QLD_PRINTF(3, 4);

    QLC_FileSourceDisk m_source;
    QLC_String m_path;
    uint32_t m_base_offset = 0;
    TSC_WadChunk m_chunk;
    bool m_has_chunk = false;
    std::vector<TSC_WadChunk> m_directory;
    std::vector<uint8_t> m_input;
    int m_references = 1;
};
