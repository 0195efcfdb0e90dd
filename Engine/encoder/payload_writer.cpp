#include "payload_writer.h"

#include <algorithm>
#include <cstring>

#include "byte_io.h"
#include "crc32.h"
#include "payload_format.h"
#include "replacing_file.h"

namespace tpe {
namespace {

constexpr size_t kCopyBlock = size_t{1} << 20;

void PutContents(ByteWriter& w, const Contents& c) {
    w.U8(c.present ? 1 : 0);
    if (c.present) {
        w.U64(c.size);
        w.Hash(c.hash);
    }
}

std::vector<uint8_t> InfoSection(const PatchModel& model) {
    ByteWriter w;
    w.U32(uint32_t(model.infoLines.size()));
    for (const std::string& line : model.infoLines) {
        w.Text(line);
    }
    return std::move(w.Data());
}

std::vector<uint8_t> TableSection(const PatchModel& model, uint16_t version) {
    ByteWriter w;
    w.U32(uint32_t(model.sources.size()));
    for (const Source& s : model.sources) {
        w.Text(s.version);
        w.Text(s.extension);
    }
    w.U32(uint32_t(model.folders.size()));
    for (const FolderEntry& f : model.folders) {
        w.U8(uint8_t(f.action));
        w.Text(f.path);
    }
    w.U32(uint32_t(model.files.size()));
    for (const FileEntry& f : model.files) {
        w.Text(f.path);
        if (version >= 2) {
            w.U8(uint8_t(f.kind));
        }
        PutContents(w, f.target);
        if (version >= 2 && f.target.present) {
            if (f.kind == EntryKind::Link) {
                w.Text(f.linkTarget);
            } else {
                w.U16(f.hasMode ? f.mode : uint16_t(0644));
            }
        }
        w.U16(uint16_t(f.states.size()));
        for (const OldState& s : f.states) {
            w.U16(s.source);
            PutContents(w, s.old);
            w.U8(uint8_t(s.block));
            if (s.block != BlockKind::None) {
                w.U64(s.blockOffset);
                w.U64(s.blockSize);
                w.U32(s.blockCrc);
            }
        }
    }
    return std::move(w.Data());
}

// Reads all of `file` in pieces, handing each to `use`; false on a read error or when `use`
// returns false.
template <typename Use>
bool ForEachPiece(InputFile& file, Use use) {
    std::vector<uint8_t> buffer(size_t(std::min<uint64_t>(file.Size(), kCopyBlock)));
    for (uint64_t at = 0; at < file.Size();) {
        size_t n = size_t(std::min<uint64_t>(buffer.size(), file.Size() - at));
        if (!file.ReadAt(at, buffer.data(), n) || !use(buffer.data(), n)) {
            return false;
        }
        at += n;
    }
    return true;
}

}  // namespace

PayloadWriter::PayloadWriter(FileSystem& fs, const std::string& path) : m_fs(fs), m_path(path) {}

PayloadWriter::~PayloadWriter() {
    m_data.reset();
    for (const std::string& path : m_scratch) {
        m_fs.RemoveFile(path);
    }
}

std::string PayloadWriter::ScratchPath(const std::string& suffix) {
    std::string path = m_path + suffix;
    if (std::find(m_scratch.begin(), m_scratch.end(), path) == m_scratch.end()) {
        m_scratch.push_back(path);
    }
    m_fs.RemoveFile(path);  // left over from a build that was killed
    return path;
}

bool PayloadWriter::Open(std::string* error) {
    const std::string path = ScratchPath(".data.partial");
    m_data = m_fs.CreateNew(path);
    if (!m_data) {
        *error = "cannot create " + path;
        return false;
    }
    return true;
}

bool PayloadWriter::AppendData(const void* data, size_t size, std::string* error) {
    if (!m_data->Write(data, size)) {
        *error = "cannot write " + m_path + ".data.partial (is the disk full?)";
        return false;
    }
    m_dataSize += size;
    return true;
}

bool PayloadWriter::AddBlock(OldState& state, BlockKind kind, const uint8_t* data, size_t size,
                             std::string* error) {
    state.block = kind;
    state.blockOffset = m_dataSize;
    state.blockSize = size;
    state.blockCrc = Crc32(data, size);
    return AppendData(data, size, error);
}

bool PayloadWriter::AddBlockFrom(OldState& state, BlockKind kind, InputFile& block,
                                 std::string* error) {
    state.block = kind;
    state.blockOffset = m_dataSize;
    state.blockSize = block.Size();
    uint32_t crc = 0;
    bool appended = true;
    bool read = ForEachPiece(block, [&](const uint8_t* data, size_t size) {
        crc = Crc32(data, size, crc);
        appended = AppendData(data, size, error);
        return appended;
    });
    if (!read && appended) {
        *error = "cannot read back a block from the scratch files beside " + m_path;
    }
    state.blockCrc = crc;
    return read;
}

bool PayloadWriter::Finish(const PatchModel& model, uint64_t* payloadSize, std::string* error) {
    const std::string dataPath = m_path + ".data.partial";
    if (!m_data->Close()) {
        *error = "cannot write " + dataPath + " (is the disk full?)";
        return false;
    }
    m_data.reset();
    std::unique_ptr<InputFile> data = m_fs.OpenRead(dataPath);
    if (!data || data->Size() != m_dataSize) {
        *error = "cannot read back " + dataPath;
        return false;
    }
    const std::vector<uint8_t> info = InfoSection(model);
    if (m_formatVersion < 2 &&
        std::any_of(model.files.begin(), model.files.end(),
                    [](const FileEntry& f) { return f.kind == EntryKind::Link; })) {
        *error = "format version 1 cannot hold links";
        return false;
    }
    const std::vector<uint8_t> table = TableSection(model, m_formatVersion);

    // The header's hash covers the sections in order, the data last.
    Sha256 hash;
    hash.Update(info.data(), info.size());
    hash.Update(table.data(), table.size());
    if (!ForEachPiece(*data, [&](const uint8_t* piece, size_t size) {
            hash.Update(piece, size);
            return true;
        })) {
        *error = "cannot read back " + dataPath;
        return false;
    }
    const Digest body = hash.Finish();

    uint8_t h[kHeaderSize] = {};
    std::memcpy(h + HeaderLayout::kMagic, kHeaderMagic, 8);
    PutLe(h + HeaderLayout::kVersion, m_formatVersion, 2);
    PutLe(h + HeaderLayout::kHeaderSize, kHeaderSize, 2);
    PutLe(h + HeaderLayout::kFlags, 0, 4);
    PutLe(h + HeaderLayout::kInfoOffset, kHeaderSize, 8);
    PutLe(h + HeaderLayout::kInfoSize, info.size(), 8);
    PutLe(h + HeaderLayout::kTableOffset, kHeaderSize + info.size(), 8);
    PutLe(h + HeaderLayout::kTableSize, table.size(), 8);
    PutLe(h + HeaderLayout::kDataOffset, kHeaderSize + info.size() + table.size(), 8);
    PutLe(h + HeaderLayout::kDataSize, m_dataSize, 8);
    std::memcpy(h + HeaderLayout::kBodyHash, body.data(), body.size());
    PutLe(h + HeaderLayout::kReserved, 0, 4);
    PutLe(h + HeaderLayout::kCrc, Crc32(h, HeaderLayout::kCrc), 4);

    *payloadSize = kHeaderSize + info.size() + table.size() + m_dataSize + kTrailerSize;
    uint8_t trailer[kTrailerSize];
    std::memcpy(trailer + TrailerLayout::kMagic, kTrailerMagic, 8);
    PutLe(trailer + TrailerLayout::kPayloadSize, *payloadSize, 8);
    PutLe(trailer + TrailerLayout::kReserved, 0, 4);
    PutLe(trailer + TrailerLayout::kCrc, Crc32(trailer, TrailerLayout::kCrc), 4);

    ReplacingFile out(m_fs, m_path);
    if (!out.Open(error)) {
        return false;
    }
    // A block that cannot be read back stops the copy too: the output is then never committed.
    const bool written = out.Write(h, sizeof h) && out.Write(info.data(), info.size()) &&
                         out.Write(table.data(), table.size()) &&
                         ForEachPiece(*data, [&](const uint8_t* piece,
                                                 size_t size) { return out.Write(piece, size); }) &&
                         out.Write(trailer, sizeof trailer);
    if (!written) {
        *error = "cannot write " + m_path + ".partial (is the disk full?)";
        return false;
    }
    return out.Commit(error);
}

}  // namespace tpe
