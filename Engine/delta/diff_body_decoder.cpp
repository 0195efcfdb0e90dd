#include "diff_body_decoder.h"

#include <cstring>
#include <memory>
#include <vector>

#include "delta_format.h"
#include "old_window.h"
#include "reference_model.h"
#include "refuse.h"
#include "varint.h"
#include "zstd_stream_decoder.h"

namespace tpe {
namespace {

// 512 pages of 4 KiB: 2 MiB of the old file at hand. Larger pages made an archive whose members
// moved read the old file about 400 times over: each short copy from elsewhere loaded a whole page.
constexpr size_t kOldPageSize = 4 << 10;
constexpr size_t kOldPageCount = 512;

enum Stream { kControl, kRuns, kChanges, kLiteral, kStreamCount };

// Room for one chunk (no more than the file), not zero-filled: every byte is written before
// it is read.
struct ChunkBuffer {
    explicit ChunkBuffer(uint64_t newSize)
        : bytes(new uint8_t[newSize < kChunkNewBytes ? newSize : kChunkNewBytes]) {}
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    uint8_t* data() const { return bytes.get(); }
};

struct ChunkHeader {
    uint64_t newBytes = 0;
    uint64_t diffBytes = 0;
    uint64_t rawSize[kStreamCount] = {};
    uint64_t packedSize[kStreamCount] = {};
};

bool ReadChunkHeader(PatchReader& reader, uint64_t remaining, ChunkHeader& chunk) {
    REFUSE_IF(!reader.ReadVarint(chunk.newBytes) || !reader.ReadVarint(chunk.diffBytes), false);
    for (uint64_t& size : chunk.rawSize) {
        REFUSE_IF(!reader.ReadVarint(size), false);
    }
    for (uint64_t& size : chunk.packedSize) {
        REFUSE_IF(!reader.ReadVarint(size), false);
    }
    REFUSE_IF(chunk.newBytes == 0 || chunk.newBytes > kChunkNewBytes || chunk.newBytes > remaining,
              false);
    REFUSE_IF(chunk.diffBytes > chunk.newBytes, false);
    return chunk.rawSize[kControl] > 0 && chunk.rawSize[kControl] <= kChunkControlMaxBytes &&
           chunk.rawSize[kRuns] <= kChunkRunsMaxBytes &&
           chunk.rawSize[kChanges] <= chunk.diffBytes &&
           chunk.rawSize[kLiteral] == chunk.newBytes - chunk.diffBytes;
}

// Rebuilds a chunk's difference bytes from alternating run lengths (zeros, then changed bytes)
// and the changed bytes; both must be used up exactly.
bool ExpandDifferences(const std::vector<uint8_t>& runs, const std::vector<uint8_t>& changes,
                       const ChunkBuffer& diff) {
    const uint8_t* pos = runs.data();
    const uint8_t* end = pos + runs.size();
    size_t filled = 0, used = 0;
    while (pos < end) {
        uint64_t zeros, changed;
        REFUSE_IF(!GetVarint(pos, end, zeros) || !GetVarint(pos, end, changed), false);
        REFUSE_IF(zeros + changed == 0 || zeros > diff.size - filled, false);
        if (zeros > 0) {
            std::memset(diff.data() + filled, 0, static_cast<size_t>(zeros));
        }
        filled += static_cast<size_t>(zeros);
        REFUSE_IF(changed > diff.size - filled || changed > changes.size() - used, false);
        if (changed > 0) {
            std::memcpy(diff.data() + filled, changes.data() + used, static_cast<size_t>(changed));
        }
        filled += static_cast<size_t>(changed);
        used += static_cast<size_t>(changed);
    }
    return filled == diff.size && used == changes.size();
}

// Runs one chunk's control ops; every length and offset is checked against what the chunk and
// the old file hold. `oldPos` carries over from chunk to chunk.
class ChunkApplier {
public:
    ChunkApplier(OldWindow& old, uint64_t oldSize, const ReferencePredictor* predictor)
        : m_old(old), m_oldSize(oldSize), m_predictor(predictor) {}

    // `out` receives the chunk, which starts at new offset `newStart`.
    DeltaStatus Apply(const std::vector<uint8_t>& control, const ChunkBuffer& diff,
                      const std::vector<uint8_t>& literal, uint64_t newStart,
                      const ChunkBuffer& out) {
        const uint8_t* pos = control.data();
        const uint8_t* end = pos + control.size();
        size_t diffUsed = 0;
        size_t literalUsed = 0;
        size_t produced = 0;
        while (pos < end) {
            uint64_t seekCode, copyLen, literalLen;
            REFUSE_IF(!GetVarint(pos, end, seekCode) || !GetVarint(pos, end, copyLen) ||
                          !GetVarint(pos, end, literalLen),
                      DeltaStatus::Corrupt);
            REFUSE_IF(copyLen > diff.size - diffUsed || literalLen > literal.size() - literalUsed,
                      DeltaStatus::Corrupt);
            REFUSE_IF(copyLen + literalLen == 0, DeltaStatus::Corrupt);
            int64_t seek = UnZigZag(seekCode);
            REFUSE_IF(seek < 0 ? static_cast<uint64_t>(-(seek + 1)) + 1 > m_oldPos
                               : static_cast<uint64_t>(seek) > m_oldSize - m_oldPos,
                      DeltaStatus::Corrupt);
            m_oldPos = static_cast<uint64_t>(static_cast<int64_t>(m_oldPos) + seek);
            REFUSE_IF(copyLen > m_oldSize - m_oldPos, DeltaStatus::Corrupt);

            DeltaStatus status =
                m_predictor ? AddPredicted(diff.data() + diffUsed, copyLen, newStart + produced,
                                           out.data() + produced)
                            : AddOld(diff.data() + diffUsed, copyLen, out.data() + produced);
            if (status != DeltaStatus::Ok) {
                return status;
            }
            diffUsed += copyLen;
            produced += copyLen;
            if (literalLen > 0) {
                std::memcpy(out.data() + produced, literal.data() + literalUsed, literalLen);
            }
            literalUsed += literalLen;
            produced += literalLen;
        }
        // The chunk's streams must be used up exactly.
        REFUSE_IF(diffUsed != diff.size || literalUsed != literal.size(), DeltaStatus::Corrupt);
        return DeltaStatus::Ok;
    }

private:
    // out = old bytes at m_oldPos + diff, byte by byte (wrapping).
    DeltaStatus AddOld(const uint8_t* diff, uint64_t size, uint8_t* out) {
        while (size > 0) {
            const uint8_t* old;
            size_t got;
            if (!m_old.Get(m_oldPos, static_cast<size_t>(size), old, got)) {
                return DeltaStatus::OldReadFailed;
            }
            for (size_t i = 0; i < got; ++i) {
                out[i] = static_cast<uint8_t>(old[i] + diff[i]);
            }
            m_oldPos += got;
            diff += got;
            out += got;
            size -= got;
        }
        return DeltaStatus::Ok;
    }

    // As AddOld, against old bytes whose references were rewritten as predicted. The whole
    // op's old bytes are needed at once (an op never exceeds its chunk): they are gathered in
    // the op's place in the output, predicted there, then the differences added.
    DeltaStatus AddPredicted(const uint8_t* diff, uint64_t size, uint64_t newStart, uint8_t* out) {
        const uint64_t oldStart = m_oldPos;
        const size_t count = static_cast<size_t>(size);
        for (size_t done = 0; done < count;) {
            const uint8_t* old;
            size_t got;
            if (!m_old.Get(m_oldPos, count - done, old, got)) {
                return DeltaStatus::OldReadFailed;
            }
            std::memcpy(out + done, old, got);
            m_oldPos += got;
            done += got;
        }
        m_predictor->Predict(out, count, oldStart, newStart);
        for (size_t i = 0; i < count; ++i) {
            out[i] = static_cast<uint8_t>(out[i] + diff[i]);
        }
        return DeltaStatus::Ok;
    }

    OldWindow& m_old;
    uint64_t m_oldSize;
    const ReferencePredictor* m_predictor;
    uint64_t m_oldPos = 0;
};

DeltaStatus ReadModel(PatchReader& reader, uint64_t oldSize, uint64_t newSize,
                      ReferenceModel& model) {
    uint64_t rawSize, packedSize;
    REFUSE_IF(!reader.ReadVarint(rawSize) || !reader.ReadVarint(packedSize) ||
                  rawSize > kMaxReferenceModelBytes,
              DeltaStatus::Corrupt);
    ZstdStreamDecoder frame(kDiffStreamWindowLog);
    DeltaStatus status = frame.Init();
    std::vector<uint8_t> raw;
    if (status == DeltaStatus::Ok) {
        status = frame.DecodeExact(reader, packedSize, static_cast<size_t>(rawSize), raw);
    }
    if (status != DeltaStatus::Ok) {
        return status;
    }
    REFUSE_IF(
        !frame.FrameDone() || !ReadReferenceModel(raw.data(), raw.size(), oldSize, newSize, model),
        DeltaStatus::Corrupt);
    return DeltaStatus::Ok;
}

}  // namespace

DeltaStatus DecodeDiffBody(PatchReader& reader, DeltaOldSource& oldFile, OutputWriter& out,
                           bool withReferences) {
    ReferenceModel model;
    if (withReferences) {
        DeltaStatus status = ReadModel(reader, oldFile.Size(), out.Remaining(), model);
        if (status != DeltaStatus::Ok) {
            return status;
        }
    }
    const ReferencePredictor predictor(model);
    ZstdStreamDecoder streams[kStreamCount] = {
        ZstdStreamDecoder(kDiffStreamWindowLog), ZstdStreamDecoder(kDiffStreamWindowLog),
        ZstdStreamDecoder(kDiffStreamWindowLog), ZstdStreamDecoder(kDiffStreamWindowLog)};
    for (ZstdStreamDecoder& stream : streams) {
        DeltaStatus status = stream.Init();
        if (status != DeltaStatus::Ok) {
            return status;
        }
    }
    OldWindow old(oldFile, kOldPageSize, kOldPageCount);
    ChunkApplier applier(old, oldFile.Size(), withReferences ? &predictor : nullptr);
    std::vector<uint8_t> raw[kStreamCount];
    ChunkBuffer diff(out.Remaining()), newBytes(out.Remaining());

    while (out.Remaining() > 0) {
        ChunkHeader chunk;
        REFUSE_IF(!ReadChunkHeader(reader, out.Remaining(), chunk), DeltaStatus::Corrupt);
        for (int s = 0; s < kStreamCount; ++s) {
            DeltaStatus status = streams[s].DecodeExact(
                reader, chunk.packedSize[s], static_cast<size_t>(chunk.rawSize[s]), raw[s]);
            if (status != DeltaStatus::Ok) {
                return status;
            }
        }
        diff.size = static_cast<size_t>(chunk.diffBytes);
        REFUSE_IF(!ExpandDifferences(raw[kRuns], raw[kChanges], diff), DeltaStatus::Corrupt);
        newBytes.size = static_cast<size_t>(chunk.newBytes);
        DeltaStatus status =
            applier.Apply(raw[kControl], diff, raw[kLiteral], out.Written(), newBytes);
        if (status == DeltaStatus::Ok) {
            status = out.Write(newBytes.data(), newBytes.size);
        }
        if (status != DeltaStatus::Ok) {
            return status;
        }
    }
    for (const ZstdStreamDecoder& stream : streams) {
        REFUSE_IF(!stream.FrameDone(), DeltaStatus::Corrupt);
    }
    return DeltaStatus::Ok;
}

}  // namespace tpe
