// libFuzzer entry point: arbitrary bytes as a patch file, read and checked the way every engine
// pass reads it (locator, header, sections, table, paths), then every data block it accepts is
// decoded into a counting sink bounded by its file's size.
//
// The first byte chooses the mode. Odd: the checksums are recomputed first (trailer, header and
// body hash, and the data size), so that mutations reach the section parsers and the blocks
// instead of stopping at the first checksum. Even: the bytes are taken as they are.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "byte_io.h"
#include "counting_sink.h"
#include "crc32.h"
#include "delta_decoder.h"
#include "full_block_reader.h"
#include "memory_delta_sources.h"
#include "payload_format.h"
#include "payload_reader.h"
#include "sha256.h"

namespace {

class MemoryFile : public tpe::InputFile {
public:
    explicit MemoryFile(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    uint64_t Size() const override { return m_bytes.size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        if (offset > m_bytes.size() || size > m_bytes.size() - offset)
            return false;
        if (size > 0)
            std::memcpy(buffer, m_bytes.data() + offset, size);
        return true;
    }

private:
    const std::vector<uint8_t>& m_bytes;
};

// Makes the whole buffer one payload whose checksums match.
void Reseal(std::vector<uint8_t>& bytes) {
    if (bytes.size() < size_t(tpe::kHeaderSize + tpe::kTrailerSize))
        return;
    uint8_t* h = bytes.data();
    uint8_t* t = bytes.data() + bytes.size() - tpe::kTrailerSize;
    const uint64_t bodyEnd = bytes.size() - tpe::kTrailerSize;
    std::memcpy(t + tpe::TrailerLayout::kMagic, tpe::kTrailerMagic, 8);
    tpe::PutLe(t + tpe::TrailerLayout::kPayloadSize, bytes.size(), 8);
    tpe::PutLe(t + tpe::TrailerLayout::kReserved, 0, 4);
    tpe::PutLe(t + tpe::TrailerLayout::kCrc, tpe::Crc32(t, tpe::TrailerLayout::kCrc), 4);
    const uint64_t dataOffset = tpe::GetLe(h + tpe::HeaderLayout::kDataOffset, 8);
    if (dataOffset <= bodyEnd)
        tpe::PutLe(h + tpe::HeaderLayout::kDataSize, bodyEnd - dataOffset, 8);
    tpe::Digest body = tpe::Sha256Of(h + tpe::kHeaderSize, size_t(bodyEnd) - tpe::kHeaderSize);
    std::memcpy(h + tpe::HeaderLayout::kBodyHash, body.data(), body.size());
    tpe::PutLe(h + tpe::HeaderLayout::kCrc, tpe::Crc32(h, tpe::HeaderLayout::kCrc), 4);
}

// Bounds a run's time: a legitimate block may well inflate to gigabytes of zeros.
constexpr uint64_t kLargestDecodedFile = 4u << 20;

void DecodeBlocks(const std::vector<uint8_t>& bytes, const tpe::OpenedPayload& payload) {
    for (const tpe::FileEntry& file : payload.model.files) {
        for (const tpe::OldState& state : file.states) {
            if (state.block == tpe::BlockKind::None || file.target.size > kLargestDecodedFile)
                continue;
            tpe::MemoryPatchSource block(bytes.data() + payload.dataOffset + state.blockOffset,
                                         size_t(state.blockSize));
            tpe::MemoryOldSource old(nullptr, 0);  // the installed file is not in the input
            CountingSink sink;
            if (state.block == tpe::BlockKind::Full)
                tpe::DecodeFullBlock(block, sink, file.target.size, {});
            else
                tpe::DecodeDelta(old, block, sink, file.target.size);
            if (sink.written > file.target.size)
                std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    std::vector<uint8_t> bytes(data + 1, data + size);
    if (data[0] & 1)
        Reseal(bytes);
    MemoryFile file(bytes);
    tpe::OpenedPayload payload;
    std::string error;
    if (tpe::ReadPayload(file, &payload, &error) != tpe::PayloadStatus::Ok) {
        if (error.empty())
            std::abort();  // a refusal always says why
        return 0;
    }
    DecodeBlocks(bytes, payload);
    return 0;
}
