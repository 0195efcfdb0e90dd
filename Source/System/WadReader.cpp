#define QLD_SOURCE_FILE "Source\\System\\WadReader"

#include "System/WadReader.h"

#include "System/File.h"
#include "System/FileException.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

constexpr uint32_t kInputSize = 4096;
// Bytes inflated and dropped at a time while a compressed chunk seeks forward.
constexpr uint32_t kSkipPiece = 32;

uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::string FormatV(const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) {
        return std::string();
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    return text;
}

}  // namespace

TSC_WadReader::TSC_WadReader() : m_input(kInputSize) {}

TSC_WadReader::~TSC_WadReader() {
    EndInflate();
}

void TSC_WadReader::Release() {
    if (--m_references == 0) {
        delete this;
    }
}

void TSC_WadReader::ChunkError(int cause, const char* format, ...) {
    const char* chunk = m_has_chunk ? m_chunk.name : "NONE";
    const long offset = m_has_chunk ? static_cast<long>(m_chunk.position) : 0L;
    std::string message = "File: " + std::string(m_path.c_str()) + " Chunk: " + chunk +
                          " Offset: " + std::to_string(offset) + " - ";
    va_list args;
    va_start(args, format);
    message += FormatV(format, args);
    va_end(args);
    throw QLC_FileException(m_path, cause, message.c_str());
}

void TSC_WadReader::Open(const QLC_String& path, uint32_t base_offset) {
    QLC_FileOpenRequest request;
    request.path = path;
    request.flags = QLC_IFile::READ | QLC_IFile::SHARE_READ | QLC_IFile::THROW_ON_ERROR;
    m_source.Open(request);
    m_path = path;
    m_base_offset = base_offset;
    m_has_chunk = false;

    uint8_t header[8];
    m_source.Seek(static_cast<int32_t>(base_offset), QLC_IFile::FROM_START);
    if (m_source.Read(header, sizeof(header)) != sizeof(header) ||
        std::memcmp(header, "TWAD", 4) != 0) {
        ChunkError(QLC_CAUSE_INVALID_FILE, "not an archive");
    }
    const uint32_t count = ReadU32(header + 4);
    if (count > kMaxChunks) {
        ChunkError(QLC_CAUSE_INVALID_FILE, "%u chunks is more than an archive holds", count);
    }
    const uint64_t archive_size = m_source.GetSize() - static_cast<uint64_t>(base_offset);
    m_directory.clear();
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t record[kRecordSize];
        if (m_source.Read(record, kRecordSize) != kRecordSize) {
            ChunkError(QLC_CAUSE_END_OF_FILE, "chunk table cut short");
        }
        TSC_WadChunk chunk;
        std::memcpy(chunk.name, record, sizeof(chunk.name));
        chunk.name[sizeof(chunk.name) - 1] = '\0';
        chunk.data_offset = ReadU32(record + 32);
        chunk.size = ReadU32(record + 36);
        chunk.stored_size = ReadU32(record + 40);
        chunk.compressed = ReadU32(record + 44) != 0;
        const bool compressed = chunk.compressed;
        if (static_cast<uint64_t>(chunk.data_offset) + chunk.stored_size > archive_size ||
            (!compressed && chunk.stored_size != chunk.size)) {
            ChunkError(QLC_CAUSE_INVALID_FILE, "chunk %s lies outside the archive", chunk.name);
        }
        m_directory.push_back(chunk);
    }
}

void TSC_WadReader::EndInflate() {
    if (m_has_chunk && m_chunk.inflater != nullptr) {
        inflateEnd(m_chunk.inflater);
        delete m_chunk.inflater;
        m_chunk.inflater = nullptr;
    }
}

void TSC_WadReader::StartInflate() {
    m_chunk.inflater = new z_stream();
    if (inflateInit(m_chunk.inflater) != Z_OK) {
        delete m_chunk.inflater;
        m_chunk.inflater = nullptr;
        throw std::bad_alloc();
    }
}

bool TSC_WadReader::SelectChunk(const char* name) {
    for (const TSC_WadChunk& entry : m_directory) {
        if (std::strcmp(entry.name, name) == 0) {
            EndInflate();
            m_chunk = entry;
            m_chunk.inflater = nullptr;
            m_has_chunk = true;
            if (entry.compressed) {
                StartInflate();
            }
            m_chunk.read_position = 0;
            m_chunk.position = 0;
            m_source.Seek(static_cast<int32_t>(m_chunk.data_offset + m_base_offset),
                          QLC_IFile::FROM_START);
            return true;
        }
    }
    return false;
}

bool TSC_WadReader::OpenEntry(QLC_File& file, const char* chunk, uint32_t offset, uint32_t size) {
    if (!SelectChunk(chunk) || static_cast<uint64_t>(offset) + size > m_chunk.size) {
        return false;
    }
    QLC_FileOpenRequest request;
    request.path = m_path;
    request.entry_offset = offset;
    request.size = size;
    request.flags = QLC_IFile::READ | QLC_IFile::SOURCE_WAD;
    request.wad = this;
    AddRef();
    if (!file.Open(request)) {
        Release();
        return false;
    }
    return true;
}

uint32_t TSC_WadReader::ReadStored(uint8_t* out, uint32_t count) {
    const uint32_t read = m_source.Read(out, count);
    m_chunk.read_position += read;
    m_chunk.position += read;
    return read;
}

uint32_t TSC_WadReader::ReadCompressed(uint8_t* out, uint32_t count) {
    z_stream& stream = *m_chunk.inflater;
    stream.next_out = out;
    stream.avail_out = count;
    while (stream.avail_out > 0) {
        if (stream.avail_in == 0) {
            const uint32_t want =
                std::min<uint32_t>(kInputSize, m_chunk.stored_size - m_chunk.read_position);
            const uint32_t got = want == 0 ? 0 : m_source.Read(m_input.data(), want);
            if (got == 0) {
                ChunkError(QLC_CAUSE_GENERIC_READ_ERROR, "compressed data cut short");
            }
            m_chunk.read_position += got;
            stream.next_in = m_input.data();
            stream.avail_in = got;
        }
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            break;
        }
        if (result != Z_OK) {
            ChunkError(QLC_CAUSE_GENERIC_READ_ERROR, "compressed data is damaged (zlib %d)",
                       result);
        }
    }
    const uint32_t produced = count - stream.avail_out;
    m_chunk.position += produced;
    return produced;
}

uint32_t TSC_WadReader::Read(void* buffer, uint32_t count) {
    if (!m_has_chunk) {
        ChunkError(QLC_CAUSE_GENERIC_READ_ERROR, "no chunk selected");
    }
    count = std::min(count, m_chunk.size - std::min(m_chunk.position, m_chunk.size));
    if (count == 0) {
        return 0;
    }
    uint8_t* out = static_cast<uint8_t*>(buffer);
    return m_chunk.inflater != nullptr ? ReadCompressed(out, count) : ReadStored(out, count);
}

void TSC_WadReader::Seek(uint32_t offset) {
    if (!m_has_chunk) {
        ChunkError(QLC_CAUSE_BAD_SEEK, "no chunk selected");
    }
    if (offset > m_chunk.size) {
        ChunkError(QLC_CAUSE_BAD_SEEK, "seeking past end of chunk");
    }
    if (m_chunk.inflater != nullptr && offset != 0) {
        if (offset < m_chunk.position) {
            ChunkError(QLC_CAUSE_GENERIC_READ_ERROR,
                       "compressed chunks can only seek forward or to position 0");
        }
        uint8_t piece[kSkipPiece];
        while (m_chunk.position < offset) {
            if (ReadCompressed(piece, std::min(kSkipPiece, offset - m_chunk.position)) == 0) {
                ChunkError(QLC_CAUSE_GENERIC_READ_ERROR, "compressed data ends early");
            }
        }
        return;
    }
    if (m_chunk.inflater != nullptr && m_chunk.read_position != 0) {
        // Back to the start: inflate again from the first byte.
        EndInflate();
        StartInflate();
    }
    m_chunk.read_position = offset;
    m_chunk.position = offset;
    m_source.Seek(static_cast<int32_t>(m_chunk.data_offset + offset + m_base_offset),
                  QLC_IFile::FROM_START);
}
