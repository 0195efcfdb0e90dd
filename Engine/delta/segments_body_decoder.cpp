#include "segments_body_decoder.h"

#include <zstd.h>

#include <memory>
#include <vector>

#include "branch_transform.h"
#include "delta_format.h"
#include "reference_model.h"

namespace tpe {
namespace {

constexpr size_t kWritePiece = size_t{1} << 20;

// Sorted, non-overlapping ranges inside a file of `fileSize` bytes, stored as gaps and sizes.
bool ReadByteRanges(PatchReader& reader, uint64_t fileSize, std::vector<ByteRange>& ranges) {
    uint64_t count;
    if (!reader.ReadVarint(count) || count > kMaxCodeSegments)
        return false;
    uint64_t end = 0;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t gap, size;
        if (!reader.ReadVarint(gap) || !reader.ReadVarint(size) || size == 0 ||
            gap > fileSize - end || size > fileSize - end - gap)
            return false;
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
        : reader_(reader), old_(oldFile), out_(out), oldSize_(oldFile.Size()) {}

    DeltaStatus Run() {
        uint64_t flags;
        if (!reader_.ReadVarint(flags) ||
            (flags & ~(kSegmentsBranchTransform | kSegmentsCode64)) != 0 ||
            (flags == kSegmentsCode64))
            return DeltaStatus::Corrupt;
        hasCode_ = (flags & kSegmentsBranchTransform) != 0;
        oldCode_.is64 = newCode_.is64 = (flags & kSegmentsCode64) != 0;
        if (hasCode_ && (!ReadByteRanges(reader_, oldSize_, oldCode_.ranges) ||
                         !ReadByteRanges(reader_, out_.Remaining(), newCode_.ranges)))
            return DeltaStatus::Corrupt;
        context_.reset(ZSTD_createDCtx());
        if (!context_)
            return DeltaStatus::OutOfMemory;
        while (out_.Remaining() > 0) {
            DeltaStatus status = Segment();
            if (status != DeltaStatus::Ok)
                return status;
        }
        return DeltaStatus::Ok;
    }

private:
    DeltaStatus Segment() {
        const uint64_t newStart = out_.Written();
        uint64_t newBytes, flags, rangeCount;
        if (!reader_.ReadVarint(newBytes) || newBytes == 0 || newBytes > kSegmentNewBytes ||
            newBytes > out_.Remaining() ||
            (newBytes < out_.Remaining() && newBytes % kBranchPage != 0) ||
            !reader_.ReadVarint(flags) ||
            (flags != 0 && flags != kSegmentCopied && !(hasCode_ && flags == kSegmentTransformed)))
            return DeltaStatus::Corrupt;
        if (flags == kSegmentCopied)
            return Copied(newBytes);
        if (!reader_.ReadVarint(rangeCount) || rangeCount > kMaxSegmentRanges)
            return DeltaStatus::Corrupt;
        const bool transform = flags == kSegmentTransformed;

        // The prefix: the old ranges end to end.
        prefix_.clear();
        uint64_t end = 0;
        for (uint64_t i = 0; i < rangeCount; ++i) {
            uint64_t gap, size;
            if (!reader_.ReadVarint(gap) || !reader_.ReadVarint(size) || size == 0 ||
                gap > oldSize_ - end || size > oldSize_ - end - gap ||
                size > kSegmentOldBytes - prefix_.size())
                return DeltaStatus::Corrupt;
            const uint64_t start = end + gap;
            end = start + size;
            // The transform is exact on whole pages only.
            if (transform &&
                (start % kBranchPage != 0 || (end % kBranchPage != 0 && end != oldSize_)))
                return DeltaStatus::Corrupt;
            const size_t at = prefix_.size();
            prefix_.resize(at + static_cast<size_t>(size));
            if (!old_.ReadAt(start, prefix_.data() + at, static_cast<size_t>(size)))
                return DeltaStatus::OldReadFailed;
            if (transform)
                EncodeBranches(oldCode_, start, prefix_.data() + at, static_cast<size_t>(size));
        }

        uint64_t frameBytes;
        if (!reader_.ReadVarint(frameBytes) || frameBytes == 0 ||
            frameBytes > ZSTD_compressBound(static_cast<size_t>(newBytes)))
            return DeltaStatus::Corrupt;
        frame_.resize(static_cast<size_t>(frameBytes));
        if (!reader_.ReadExact(frame_.data(), frame_.size()))
            return DeltaStatus::Corrupt;
        // Exactly one frame, of exactly the segment's size.
        if (ZSTD_findFrameCompressedSize(frame_.data(), frame_.size()) != frame_.size())
            return DeltaStatus::Corrupt;
        output_.resize(static_cast<size_t>(newBytes));
        if (ZSTD_isError(ZSTD_DCtx_reset(context_.get(), ZSTD_reset_session_and_parameters)) ||
            ZSTD_isError(
                ZSTD_DCtx_setParameter(context_.get(), ZSTD_d_windowLogMax, kSegmentWindowLog)) ||
            ZSTD_isError(ZSTD_DCtx_refPrefix(context_.get(), prefix_.data(), prefix_.size())))
            return DeltaStatus::OutOfMemory;
        const size_t produced = ZSTD_decompressDCtx(context_.get(), output_.data(), output_.size(),
                                                    frame_.data(), frame_.size());
        if (ZSTD_isError(produced) || produced != output_.size())
            return DeltaStatus::Corrupt;
        if (transform)
            DecodeBranches(newCode_, newStart, output_.data(), output_.size());
        return WriteOutput();
    }

    // A segment that is a run of the old file as it is.
    DeltaStatus Copied(uint64_t newBytes) {
        uint64_t offset;
        if (!reader_.ReadVarint(offset) || offset > oldSize_ || newBytes > oldSize_ - offset)
            return DeltaStatus::Corrupt;
        output_.resize(static_cast<size_t>(newBytes));
        if (!old_.ReadAt(offset, output_.data(), output_.size()))
            return DeltaStatus::OldReadFailed;
        return WriteOutput();
    }

    DeltaStatus WriteOutput() {
        for (size_t done = 0; done < output_.size();) {
            const size_t take =
                output_.size() - done < kWritePiece ? output_.size() - done : kWritePiece;
            DeltaStatus status = out_.Write(output_.data() + done, take);
            if (status != DeltaStatus::Ok)
                return status;
            done += take;
        }
        return DeltaStatus::Ok;
    }

    PatchReader& reader_;
    DeltaOldSource& old_;
    OutputWriter& out_;
    const uint64_t oldSize_;
    bool hasCode_ = false;  // the body gives code ranges: segments may transform branches
    BranchCode oldCode_, newCode_;
    std::unique_ptr<ZSTD_DCtx, DCtxFree> context_;
    // Grow to at most the limits above; reused from segment to segment.
    std::vector<uint8_t> prefix_, frame_, output_;
};

}  // namespace

DeltaStatus DecodeSegmentsBody(PatchReader& reader, DeltaOldSource& oldFile, OutputWriter& out) {
    return SegmentsDecoder(reader, oldFile, out).Run();
}

}  // namespace tpe
