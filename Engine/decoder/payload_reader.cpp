#include "payload_reader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <vector>

#include "byte_io.h"
#include "crc32.h"
#include "file_system.h"
#include "link_target.h"
#include "path_safety.h"
#include "payload_format.h"
#include "refuse.h"
#include "sha256.h"

namespace tpe {
namespace {

Contents GetContents(ByteReader& r) {
    Contents c;
    uint8_t present = r.U8();
    c.present = present == 1;
    if (present > 1) {
        r.Fail();
    }
    if (c.present) {
        c.size = r.U64();
        c.hash = r.Hash();
    }
    return c;
}

std::string ParseInfo(const std::vector<uint8_t>& bytes, PatchModel* model) {
    ByteReader r(bytes.data(), bytes.size());
    uint32_t count = r.U32();
    REFUSE_IF(count > kMaxInfoLines, "too many information lines");
    for (uint32_t i = 0; i < count && r.Ok(); ++i) {
        model->infoLines.push_back(r.Text(kMaxInfoLineLength));
    }
    REFUSE_IF(!r.Ok() || !r.AtEnd(), "information section malformed");
    return std::string();
}

std::string ParseTable(const std::vector<uint8_t>& bytes, uint16_t version, PatchModel* model) {
    ByteReader r(bytes.data(), bytes.size());
    uint32_t sources = r.U32();
    REFUSE_IF(sources == 0 || sources > kMaxSources, "bad number of old versions");
    for (uint32_t i = 0; i < sources && r.Ok(); ++i) {
        Source s;
        s.version = r.Text(kMaxVersionLength);
        s.extension = r.Text(kMaxExtensionLength);
        model->sources.push_back(s);
    }
    uint32_t folders = r.U32();
    REFUSE_IF(!r.Ok() || folders > kMaxFolders || folders > r.Remaining(), "bad folder count");
    for (uint32_t i = 0; i < folders && r.Ok(); ++i) {
        FolderEntry f;
        uint8_t action = r.U8();
        REFUSE_IF(
            action != uint8_t(FolderAction::Create) && action != uint8_t(FolderAction::Remove),
            "unknown folder action");
        f.action = FolderAction(action);
        f.path = r.Text(kMaxPathLength);
        model->folders.push_back(f);
    }
    uint32_t files = r.U32();
    REFUSE_IF(!r.Ok() || files > kMaxFiles || files > r.Remaining(), "bad file count");
    for (uint32_t i = 0; i < files && r.Ok(); ++i) {
        FileEntry f;
        f.path = r.Text(kMaxPathLength);
        if (version >= 2) {
            uint8_t kind = r.U8();
            REFUSE_IF(
                r.Ok() && kind != uint8_t(EntryKind::File) && kind != uint8_t(EntryKind::Link),
                "unknown file entry kind");
            f.kind = EntryKind(kind);
        }
        f.target = GetContents(r);
        if (version >= 2 && f.target.present) {
            if (f.kind == EntryKind::Link) {
                f.linkTarget = r.Text(kMaxLinkTargetLength);
            } else {
                f.hasMode = true;
                f.mode = r.U16();
            }
        }
        uint16_t states = r.U16();
        REFUSE_IF(states == 0 || states > sources, "bad number of old states");
        for (uint16_t k = 0; k < states && r.Ok(); ++k) {
            OldState s;
            s.source = r.U16();
            s.old = GetContents(r);
            uint8_t block = r.U8();
            REFUSE_IF(block > uint8_t(BlockKind::Full), "unknown block kind");
            s.block = BlockKind(block);
            if (s.block != BlockKind::None) {
                s.blockOffset = r.U64();
                s.blockSize = r.U64();
                s.blockCrc = r.U32();
            }
            f.states.push_back(s);
        }
        model->files.push_back(std::move(f));
    }
    REFUSE_IF(!r.Ok() || !r.AtEnd(), "file table malformed");
    return std::string();
}

bool ReadSection(InputFile& file, uint64_t offset, uint64_t size, std::vector<uint8_t>* out) {
    out->resize(size_t(size));
    return size == 0 || file.ReadAt(offset, out->data(), out->size());
}

}  // namespace

std::string ModelProblem(const PatchModel& model, uint64_t dataSize) {
    for (const std::string& line : model.infoLines) {
        REFUSE_IF(line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos,
                  "information line holds a line break or zero byte");
    }
    std::set<std::string> extensions;
    for (const Source& s : model.sources) {
        for (unsigned char c : s.extension) {
            REFUSE_IF(!std::isalnum(c) && c != '_' && c != '-', "bad history extension");
        }
        REFUSE_IF(model.sources.size() > 1 && s.extension.empty(), "missing history extension");
        REFUSE_IF(!extensions.insert(s.extension).second, "history extension used twice");
    }
    std::set<std::string> keys, fileKeys;
    for (const FolderEntry& f : model.folders) {
        std::string problem = PathProblem(f.path);
        REFUSE_IF(!problem.empty(), "unsafe folder path (" + problem + ")");
        REFUSE_IF(!keys.insert(PathKey(f.path)).second, "folder listed twice");
    }
    for (const FileEntry& f : model.files) {
        std::string problem = PathProblem(f.path);
        REFUSE_IF(!problem.empty(), "unsafe file path (" + problem + ")");
        REFUSE_IF(!keys.insert(PathKey(f.path)).second, "file listed twice");
        REFUSE_IF(f.hasMode && (f.mode & ~kModeBits) != 0, "bad file mode");
        const bool link = f.kind == EntryKind::Link;
        if (link && f.target.present) {
            problem = LinkTargetProblem(f.path, f.linkTarget);
            REFUSE_IF(!problem.empty(), "unsafe link " + f.path + ": " + problem);
            REFUSE_IF(!(LinkContents(f.linkTarget) == f.target), "link target damaged");
        }
        fileKeys.insert(PathKey(f.path));
        std::set<uint16_t> seen;
        for (const OldState& s : f.states) {
            REFUSE_IF(s.source >= model.sources.size() || !seen.insert(s.source).second,
                      "bad old version index");
            bool needsBlock = !link && f.target.present && !(s.old == f.target);
            REFUSE_IF(needsBlock != (s.block != BlockKind::None), "data block missing or extra");
            REFUSE_IF(s.block != BlockKind::None &&
                          (s.blockOffset > dataSize || s.blockSize > dataSize - s.blockOffset),
                      "data block outside the data section");
        }
    }
    // Nothing may sit below a file.
    for (const std::string& key : keys) {
        for (size_t slash = key.find('/'); slash != std::string::npos;
             slash = key.find('/', slash + 1)) {
            REFUSE_IF(fileKeys.count(key.substr(0, slash)) != 0, "path below a file");
        }
    }
    return std::string();
}

PayloadStatus ReadPayload(InputFile& file, OpenedPayload* payload, std::string* error) {
    PayloadLocation at;
    const PayloadStatus located = LocatePayload(file, &at, error);
    if (located != PayloadStatus::Ok) {
        return located;
    }
    const auto damaged = PayloadStatus::Damaged;
    uint8_t h[kHeaderSize];
    REFUSE_IF(!file.ReadAt(at.offset, h, sizeof(h)),
              Refusal(error, "payload header unreadable", damaged));
    REFUSE_IF(std::memcmp(h, kHeaderMagic, 8) != 0,
              Refusal(error, "payload header not found", damaged));
    REFUSE_IF(GetLe(h + HeaderLayout::kCrc, 4) != Crc32(h, HeaderLayout::kCrc),
              Refusal(error, "payload header checksum mismatch", damaged));
    const uint64_t version = GetLe(h + HeaderLayout::kVersion, 2);
    REFUSE_IF(version < kOldestFormatVersion || version > kFormatVersion,
              Refusal(error,
                      "payload format version " + std::to_string(version) +
                          " is not supported (this engine reads versions " +
                          std::to_string(kOldestFormatVersion) + " to " +
                          std::to_string(kFormatVersion) + ")",
                      damaged));
    uint64_t infoOffset = GetLe(h + HeaderLayout::kInfoOffset, 8);
    uint64_t infoSize = GetLe(h + HeaderLayout::kInfoSize, 8);
    uint64_t tableOffset = GetLe(h + HeaderLayout::kTableOffset, 8);
    uint64_t tableSize = GetLe(h + HeaderLayout::kTableSize, 8);
    uint64_t dataOffset = GetLe(h + HeaderLayout::kDataOffset, 8);
    uint64_t dataSize = GetLe(h + HeaderLayout::kDataSize, 8);
    uint64_t bodyEnd = at.size - kTrailerSize;
    REFUSE_IF(GetLe(h + HeaderLayout::kHeaderSize, 2) != uint64_t(kHeaderSize) ||
                  GetLe(h + HeaderLayout::kFlags, 4) != 0 ||
                  GetLe(h + HeaderLayout::kReserved, 4) != 0 ||
                  infoOffset != uint64_t(kHeaderSize) || infoSize > kMaxInfoSectionSize ||
                  tableSize > kMaxTableSize || tableOffset != infoOffset + infoSize ||
                  dataOffset != tableOffset + tableSize || dataOffset > bodyEnd ||
                  dataSize != bodyEnd - dataOffset,
              Refusal(error, "payload section sizes are inconsistent", damaged));
    // The body hash covers info, table and data, so any damage is found before use.
    Sha256 hash;
    std::vector<uint8_t> chunk(size_t(std::min<uint64_t>(1 << 20, bodyEnd - kHeaderSize)));
    for (uint64_t pos = kHeaderSize; pos < bodyEnd;) {
        size_t n = size_t(std::min<uint64_t>(chunk.size(), bodyEnd - pos));
        REFUSE_IF(!file.ReadAt(at.offset + pos, chunk.data(), n),
                  Refusal(error, "payload unreadable", damaged));
        hash.Update(chunk.data(), n);
        pos += n;
    }
    Digest body = hash.Finish();
    REFUSE_IF(std::memcmp(body.data(), h + HeaderLayout::kBodyHash, body.size()) != 0,
              Refusal(error, "payload checksum mismatch: the patch data is damaged", damaged));
    std::vector<uint8_t> info, table;
    REFUSE_IF(!ReadSection(file, at.offset + infoOffset, infoSize, &info) ||
                  !ReadSection(file, at.offset + tableOffset, tableSize, &table),
              Refusal(error, "payload unreadable", damaged));
    std::string problem = ParseInfo(info, &payload->model);
    if (problem.empty()) {
        problem = ParseTable(table, uint16_t(version), &payload->model);
    }
    if (problem.empty()) {
        problem = ModelProblem(payload->model, dataSize);
    }
    REFUSE_IF(!problem.empty(), Refusal(error, "invalid patch data: " + problem, damaged));
    payload->dataOffset = at.offset + dataOffset;
    payload->dataSize = dataSize;
    return PayloadStatus::Ok;
}

}  // namespace tpe
