#include "diff_body_decoder.h"

#include <cstring>
#include <vector>

#include "delta_format.h"
#include "old_window.h"
#include "varint.h"
#include "zstd_stream_decoder.h"

namespace tpe {
namespace {

constexpr size_t kOldWindowSize = 1 << 20;

struct ChunkHeader {
    uint64_t newBytes = 0;
    uint64_t controlSize = 0;
    uint64_t diffSize = 0;
    uint64_t controlPacked = 0;
    uint64_t diffPacked = 0;
    uint64_t literalPacked = 0;
};

bool ReadChunkHeader(PatchReader& reader, uint64_t remaining, ChunkHeader& chunk) {
    if (!reader.ReadVarint(chunk.newBytes) || !reader.ReadVarint(chunk.controlSize) ||
        !reader.ReadVarint(chunk.diffSize) || !reader.ReadVarint(chunk.controlPacked) ||
        !reader.ReadVarint(chunk.diffPacked) || !reader.ReadVarint(chunk.literalPacked))
        return false;
    if (chunk.newBytes == 0 || chunk.newBytes > kChunkNewBytes || chunk.newBytes > remaining)
        return false;
    if (chunk.controlSize == 0 || chunk.controlSize > kChunkControlMaxBytes)
        return false;
    return chunk.diffSize <= chunk.newBytes;
}

// Runs one chunk's control ops; every length and offset is checked against what the chunk and
// the old file hold. `oldPos` carries over from chunk to chunk.
class ChunkApplier {
public:
    ChunkApplier(OldWindow& old, uint64_t oldSize) : old_(old), oldSize_(oldSize) {}

    DeltaStatus Apply(const std::vector<uint8_t>& control, const std::vector<uint8_t>& diff,
                      const std::vector<uint8_t>& literal, std::vector<uint8_t>& out) {
        const uint8_t* pos = control.data();
        const uint8_t* end = pos + control.size();
        size_t diffUsed = 0;
        size_t literalUsed = 0;
        size_t produced = 0;
        while (pos < end) {
            uint64_t seekCode, copyLen, literalLen;
            if (!GetVarint(pos, end, seekCode) || !GetVarint(pos, end, copyLen) ||
                !GetVarint(pos, end, literalLen))
                return DeltaStatus::Corrupt;
            if (copyLen > diff.size() - diffUsed || literalLen > literal.size() - literalUsed)
                return DeltaStatus::Corrupt;
            if (copyLen + literalLen == 0)
                return DeltaStatus::Corrupt;
            int64_t seek = UnZigZag(seekCode);
            if (seek < 0 ? static_cast<uint64_t>(-(seek + 1)) + 1 > oldPos_
                         : static_cast<uint64_t>(seek) > oldSize_ - oldPos_)
                return DeltaStatus::Corrupt;
            oldPos_ = static_cast<uint64_t>(static_cast<int64_t>(oldPos_) + seek);
            if (copyLen > oldSize_ - oldPos_)
                return DeltaStatus::Corrupt;

            DeltaStatus status = AddOld(diff.data() + diffUsed, copyLen, out.data() + produced);
            if (status != DeltaStatus::Ok)
                return status;
            diffUsed += copyLen;
            produced += copyLen;
            std::memcpy(out.data() + produced, literal.data() + literalUsed, literalLen);
            literalUsed += literalLen;
            produced += literalLen;
        }
        // The chunk's streams must be used up exactly.
        if (diffUsed != diff.size() || literalUsed != literal.size())
            return DeltaStatus::Corrupt;
        return DeltaStatus::Ok;
    }

private:
    // out = old bytes at oldPos_ + diff, byte by byte (wrapping).
    DeltaStatus AddOld(const uint8_t* diff, uint64_t size, uint8_t* out) {
        while (size > 0) {
            const uint8_t* old;
            size_t got;
            if (!old_.Get(oldPos_, static_cast<size_t>(size), old, got))
                return DeltaStatus::OldReadFailed;
            for (size_t i = 0; i < got; ++i) out[i] = static_cast<uint8_t>(old[i] + diff[i]);
            oldPos_ += got;
            diff += got;
            out += got;
            size -= got;
        }
        return DeltaStatus::Ok;
    }

    OldWindow& old_;
    uint64_t oldSize_;
    uint64_t oldPos_ = 0;
};

}  // namespace

DeltaStatus DecodeDiffBody(PatchReader& reader, DeltaOldSource& oldFile, OutputWriter& out) {
    ZstdStreamDecoder control(kDiffStreamWindowLog);
    ZstdStreamDecoder diff(kDiffStreamWindowLog);
    ZstdStreamDecoder literal(kDiffStreamWindowLog);
    for (ZstdStreamDecoder* stream : {&control, &diff, &literal}) {
        DeltaStatus status = stream->Init();
        if (status != DeltaStatus::Ok)
            return status;
    }
    OldWindow old(oldFile, kOldWindowSize);
    ChunkApplier applier(old, oldFile.Size());
    std::vector<uint8_t> controlBytes, diffBytes, literalBytes, newBytes;
    controlBytes.reserve(kChunkControlMaxBytes);
    diffBytes.reserve(kChunkNewBytes);
    literalBytes.reserve(kChunkNewBytes);

    while (out.Remaining() > 0) {
        ChunkHeader chunk;
        if (!ReadChunkHeader(reader, out.Remaining(), chunk))
            return DeltaStatus::Corrupt;
        const size_t chunkSize = static_cast<size_t>(chunk.newBytes);
        const size_t diffSize = static_cast<size_t>(chunk.diffSize);
        DeltaStatus status = control.DecodeExact(
            reader, chunk.controlPacked, static_cast<size_t>(chunk.controlSize), controlBytes);
        if (status == DeltaStatus::Ok)
            status = diff.DecodeExact(reader, chunk.diffPacked, diffSize, diffBytes);
        if (status == DeltaStatus::Ok)
            status = literal.DecodeExact(reader, chunk.literalPacked, chunkSize - diffSize,
                                         literalBytes);
        if (status != DeltaStatus::Ok)
            return status;
        newBytes.resize(chunkSize);
        status = applier.Apply(controlBytes, diffBytes, literalBytes, newBytes);
        if (status == DeltaStatus::Ok)
            status = out.Write(newBytes.data(), newBytes.size());
        if (status != DeltaStatus::Ok)
            return status;
    }
    if (!control.FrameDone() || !diff.FrameDone() || !literal.FrameDone())
        return DeltaStatus::Corrupt;
    return DeltaStatus::Ok;
}

}  // namespace tpe
