#include "payload_writer.h"

#include <cstring>

#include "byte_io.h"
#include "crc32.h"
#include "payload_format.h"

namespace tpe {
namespace {

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

std::vector<uint8_t> TableSection(const PatchModel& model) {
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
        PutContents(w, f.target);
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

}  // namespace

void PayloadWriter::AddBlock(OldState& state, BlockKind kind, const std::vector<uint8_t>& block) {
    state.block = kind;
    state.blockOffset = m_data.size();
    state.blockSize = block.size();
    state.blockCrc = Crc32(block.data(), block.size());
    m_data.insert(m_data.end(), block.begin(), block.end());
}

std::vector<uint8_t> PayloadWriter::Finish(const PatchModel& model) const {
    std::vector<uint8_t> info = InfoSection(model);
    std::vector<uint8_t> table = TableSection(model);
    std::vector<uint8_t> out(kHeaderSize);
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), m_data.begin(), m_data.end());

    uint8_t* h = out.data();
    std::memcpy(h + HeaderLayout::kMagic, kHeaderMagic, 8);
    PutLe(h + HeaderLayout::kVersion, kFormatVersion, 2);
    PutLe(h + HeaderLayout::kHeaderSize, kHeaderSize, 2);
    PutLe(h + HeaderLayout::kFlags, 0, 4);
    PutLe(h + HeaderLayout::kInfoOffset, kHeaderSize, 8);
    PutLe(h + HeaderLayout::kInfoSize, info.size(), 8);
    PutLe(h + HeaderLayout::kTableOffset, kHeaderSize + info.size(), 8);
    PutLe(h + HeaderLayout::kTableSize, table.size(), 8);
    PutLe(h + HeaderLayout::kDataOffset, kHeaderSize + info.size() + table.size(), 8);
    PutLe(h + HeaderLayout::kDataSize, m_data.size(), 8);
    Digest body = Sha256Of(out.data() + kHeaderSize, out.size() - kHeaderSize);
    std::memcpy(h + HeaderLayout::kBodyHash, body.data(), body.size());
    PutLe(h + HeaderLayout::kReserved, 0, 4);
    PutLe(h + HeaderLayout::kCrc, Crc32(h, HeaderLayout::kCrc), 4);

    uint8_t trailer[kTrailerSize];
    std::memcpy(trailer + TrailerLayout::kMagic, kTrailerMagic, 8);
    PutLe(trailer + TrailerLayout::kPayloadSize, out.size() + kTrailerSize, 8);
    PutLe(trailer + TrailerLayout::kReserved, 0, 4);
    PutLe(trailer + TrailerLayout::kCrc, Crc32(trailer, TrailerLayout::kCrc), 4);
    out.insert(out.end(), trailer, trailer + kTrailerSize);
    return out;
}

}  // namespace tpe
