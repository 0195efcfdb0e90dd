#include "segments_body_decoder.h"

#include <zstd.h>

#include <memory>
#include <vector>

#include "branch_transform.h"
#include "delta_format.h"
#include "reference_model.h"
#include "refuse.h"

namespace tpe {
namespace {

constexpr size_t kWritePiece = size_t{1} << 20;

// Sorted, non-overlapping ranges inside a file of `fileSize` bytes, stored as gaps and sizes.
bool ReadByteRanges(PatchReader& reader, uint64_t fileSize, std::vector<ByteRange>& ranges) {
    uint64_t count;
    REFUSE_IF(!reader.ReadVarint(count) || count > kMaxCodeSegments, false);
    uint64_t end = 0;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t gap, size;
        REFUSE_IF(!reader.ReadVarint(gap) || !reader.ReadVarint(size) || size == 0 ||
                      gap > fileSize - end || size > fileSize - end - gap,
                  false);
        ranges.push_back({end + gap, end + gap + size});
        end = ranges.back().end;
    }
    return true;
}

struct DCtxFree {
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

class SegmentsDecoder {
public:
    SegmentsDecoder(PatchReader& reader, DeltaOldSource& oldFile, OutputWriter& out)
        : m_reader(reader), m_old(oldFile), m_out(out), m_oldSize(oldFile.Size()) {}

    DeltaStatus Run() {
        uint64_t flags;
        REFUSE_IF(!m_reader.ReadVarint(flags) ||
                      (flags & ~(kSegmentsBranchTransform | kSegmentsCode64)) != 0 ||
                      (flags == kSegmentsCode64),
                  DeltaStatus::Corrupt);
        m_hasCode = (flags & kSegmentsBranchTransform) != 0;
        m_oldCode.is64 = m_newCode.is64 = (flags & kSegmentsCode64) != 0;
        REFUSE_IF(m_hasCode && (!ReadByteRanges(m_reader, m_oldSize, m_oldCode.ranges) ||
                                !ReadByteRanges(m_reader, m_out.Remaining(), m_newCode.ranges)),
                  DeltaStatus::Corrupt);
        m_context.reset(ZSTD_createDCtx());
        if (!m_context) {
            return DeltaStatus::OutOfMemory;
        }
        while (m_out.Remaining() > 0) {
            DeltaStatus status = Segment();
            if (status != DeltaStatus::Ok) {
                return status;
            }
        }
        return DeltaStatus::Ok;
    }

private:
    DeltaStatus Segment() {
        const uint64_t newStart = m_out.Written();
        uint64_t newBytes, flags, rangeCount;
        REFUSE_IF(!m_reader.ReadVarint(newBytes) || newBytes == 0 || newBytes > kSegmentNewBytes ||
                      newBytes > m_out.Remaining() ||
                      (newBytes < m_out.Remaining() && newBytes % kBranchPage != 0) ||
                      !m_reader.ReadVarint(flags) ||
                      (flags != 0 && flags != kSegmentCopied &&
                       !(m_hasCode && flags == kSegmentTransformed)),
                  DeltaStatus::Corrupt);
        if (flags == kSegmentCopied) {
            return Copied(newBytes);
        }
        REFUSE_IF(!m_reader.ReadVarint(rangeCount) || rangeCount > kMaxSegmentRanges,
                  DeltaStatus::Corrupt);
        const bool transform = flags == kSegmentTransformed;

        // The prefix: the old ranges end to end.
        m_prefix.clear();
        uint64_t end = 0;
        for (uint64_t i = 0; i < rangeCount; ++i) {
            uint64_t gap, size;
            REFUSE_IF(!m_reader.ReadVarint(gap) || !m_reader.ReadVarint(size) || size == 0 ||
                          gap > m_oldSize - end || size > m_oldSize - end - gap ||
                          size > kSegmentOldBytes - m_prefix.size(),
                      DeltaStatus::Corrupt);
            const uint64_t start = end + gap;
            end = start + size;
            // The transform is exact on whole pages only.
            REFUSE_IF(transform && (start % kBranchPage != 0 ||
                                    (end % kBranchPage != 0 && end != m_oldSize)),
                      DeltaStatus::Corrupt);
            const size_t at = m_prefix.size();
            m_prefix.resize(at + static_cast<size_t>(size));
            if (!m_old.ReadAt(start, m_prefix.data() + at, static_cast<size_t>(size))) {
                return DeltaStatus::OldReadFailed;
            }
            if (transform) {
                EncodeBranches(m_oldCode, start, m_prefix.data() + at, static_cast<size_t>(size));
            }
        }

        uint64_t frameBytes;
        REFUSE_IF(!m_reader.ReadVarint(frameBytes) || frameBytes == 0 ||
                      frameBytes > ZSTD_compressBound(static_cast<size_t>(newBytes)),
                  DeltaStatus::Corrupt);
        m_frame.resize(static_cast<size_t>(frameBytes));
        REFUSE_IF(!m_reader.ReadExact(m_frame.data(), m_frame.size()), DeltaStatus::Corrupt);
        // Exactly one frame, of exactly the segment's size.
        REFUSE_IF(ZSTD_findFrameCompressedSize(m_frame.data(), m_frame.size()) != m_frame.size(),
                  DeltaStatus::Corrupt);
        m_output.resize(static_cast<size_t>(newBytes));
        if (ZSTD_isError(ZSTD_DCtx_reset(m_context.get(), ZSTD_reset_session_and_parameters)) ||
            ZSTD_isError(
                ZSTD_DCtx_setParameter(m_context.get(), ZSTD_d_windowLogMax, kSegmentWindowLog)) ||
            ZSTD_isError(ZSTD_DCtx_refPrefix(m_context.get(), m_prefix.data(), m_prefix.size()))) {
            return DeltaStatus::OutOfMemory;
        }
        const size_t produced = ZSTD_decompressDCtx(
            m_context.get(), m_output.data(), m_output.size(), m_frame.data(), m_frame.size());
        REFUSE_IF(ZSTD_isError(produced) || produced != m_output.size(), DeltaStatus::Corrupt);
        if (transform) {
            DecodeBranches(m_newCode, newStart, m_output.data(), m_output.size());
        }
        return WriteOutput();
    }

    // A segment that is a run of the old file as it is.
    DeltaStatus Copied(uint64_t newBytes) {
        uint64_t offset;
        REFUSE_IF(
            !m_reader.ReadVarint(offset) || offset > m_oldSize || newBytes > m_oldSize - offset,
            DeltaStatus::Corrupt);
        m_output.resize(static_cast<size_t>(newBytes));
        if (!m_old.ReadAt(offset, m_output.data(), m_output.size())) {
            return DeltaStatus::OldReadFailed;
        }
        return WriteOutput();
    }

    DeltaStatus WriteOutput() {
        for (size_t done = 0; done < m_output.size();) {
            const size_t take =
                m_output.size() - done < kWritePiece ? m_output.size() - done : kWritePiece;
            DeltaStatus status = m_out.Write(m_output.data() + done, take);
            if (status != DeltaStatus::Ok) {
                return status;
            }
            done += take;
        }
        return DeltaStatus::Ok;
    }

    PatchReader& m_reader;
    DeltaOldSource& m_old;
    OutputWriter& m_out;
    const uint64_t m_oldSize;
    bool m_hasCode = false;  // the body gives code ranges: segments may transform branches
    BranchCode m_oldCode, m_newCode;
    std::unique_ptr<ZSTD_DCtx, DCtxFree> m_context;
    // Grow to at most the limits above; reused from segment to segment.
    std::vector<uint8_t> m_prefix, m_frame, m_output;
};

}  // namespace

DeltaStatus DecodeSegmentsBody(PatchReader& reader, DeltaOldSource& oldFile, OutputWriter& out) {
    return SegmentsDecoder(reader, oldFile, out).Run();
}

}  // namespace tpe
