#include "segments_encoder.h"

#include <zstd.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "branch_transform.h"
#include "delta_format.h"
#include "delta_hash.h"
#include "executable_layout.h"
#include "little_endian.h"
#include "old_range_finder.h"
#include "varint.h"

namespace tpe {
namespace {

// Executable headers (ELF program headers, PE section table) lie near the start.
constexpr size_t kHeadBytes = size_t{1} << 20;
// Level of the quick compression of each segment, which chooses whether a segment of code is
// transformed and whether the strong level is worth its time.
constexpr int kProbeLevel = 3;
// A segment whose quick frame is under this fraction of its size was found almost whole: 1/16
// kept mostly-matched archive members at the quick level, 6% larger.
constexpr size_t kFoundWholeRatio = 64;

void Check(size_t result) {
    if (ZSTD_isError(result)) {
        throw std::runtime_error(ZSTD_getErrorName(result));
    }
}

struct CCtxFree {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};

// The code ranges of an x86 or x86-64 executable; none for any other file.
bool ReadBranchCode(DeltaOldSource& file, BranchCode& code) {
    std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(file.Size(), kHeadBytes)));
    if (!file.ReadAt(0, head.data(), head.size())) {
        return false;
    }
    ExecutableLayout layout;
    if (!ReadExecutableLayout(head.data(), head.size(), file.Size(), layout)) {
        return true;
    }
    code.is64 = layout.is64;
    for (const CodeSegment& segment : layout.segments) {
        if (segment.code) {
            code.ranges.push_back({segment.fileOffset, segment.fileOffset + segment.size});
        }
    }
    MergeRanges(code.ranges);
    return true;
}

// Ranges as the body stores them: count, then per range the gap from the previous end and the
// size.
void PutRanges(const std::vector<ByteRange>& ranges, std::vector<uint8_t>& out) {
    PutVarint(ranges.size(), out);
    uint64_t end = 0;
    for (const ByteRange& range : ranges) {
        PutVarint(range.start - end, out);
        PutVarint(range.end - range.start, out);
        end = range.end;
    }
}

struct Segment {
    uint64_t newStart = 0;
    size_t newSize = 0;
    std::vector<uint8_t> encoded;  // the segment as the body stores it
    SegmentsEncodeResult result = SegmentsEncodeResult::Ok;
    std::exception_ptr error;
};

// zstd at `level` over `data`, primed with `prefix`.
std::vector<uint8_t> Compress(int level, const std::vector<uint8_t>& prefix,
                              const std::vector<uint8_t>& data) {
    std::unique_ptr<ZSTD_CCtx, CCtxFree> context(ZSTD_createCCtx());
    if (!context) {
        throw std::bad_alloc();
    }
    Check(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_compressionLevel, level));
    Check(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_windowLog, kSegmentWindowLog));
    Check(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_checksumFlag, 0));
    // The prefix is far larger than the fast levels' match tables: long-distance matching
    // still finds its long matches.
    Check(ZSTD_CCtx_setParameter(context.get(), ZSTD_c_enableLongDistanceMatching, 1));
    if (!prefix.empty()) {
        Check(ZSTD_CCtx_refPrefix(context.get(), prefix.data(), prefix.size()));
    }
    std::vector<uint8_t> frame(ZSTD_compressBound(data.size()));
    const size_t size =
        ZSTD_compress2(context.get(), frame.data(), frame.size(), data.data(), data.size());
    Check(size);
    frame.resize(size);
    return frame;
}

// A segment as it may be encoded: its bytes, transformed or not, and its old ranges.
struct Variant {
    bool transformed = false;
    std::vector<uint8_t> bytes;
    std::vector<ByteRange> ranges;
    std::vector<uint8_t> prefix;
    std::vector<uint8_t> frame;
};

class SegmentsEncoder {
public:
    SegmentsEncoder(DeltaOldSource& oldFile, DeltaOldSource& newFile, DeltaSink& out,
                    const DeltaEncodeOptions& options)
        : m_old(oldFile),
          m_new(newFile),
          m_out(out),
          m_options(options),
          m_plainFinder(oldFile.Size()) {}

    SegmentsEncodeResult Run();

private:
    bool Prepare(Variant& variant, uint64_t newStart, int64_t* commonShift = nullptr) const;
    // Whether `bytes` lie whole at `offset` in the old file.
    bool FoundWhole(const std::vector<uint8_t>& bytes, int64_t start, uint64_t& offset) const;
    void Encode(Segment& segment) const;
    bool Write(const std::vector<uint8_t>& bytes) {
        m_written.Update(bytes.data(), bytes.size());
        return m_out.Write(bytes.data(), bytes.size());
    }

    DeltaOldSource& m_old;
    DeltaOldSource& m_new;
    DeltaSink& m_out;
    const DeltaEncodeOptions m_options;
    // Indexes of the old file as it is and, for executables, with its branches transformed.
    OldRangeFinder m_plainFinder;
    std::unique_ptr<OldRangeFinder> m_codeFinder;
    BranchCode m_oldCode, m_newCode;
    DeltaHash m_written;
};

bool SegmentsEncoder::Prepare(Variant& variant, uint64_t newStart, int64_t* commonShift) const {
    const OldRangeFinder& finder = variant.transformed ? *m_codeFinder : m_plainFinder;
    if (variant.transformed) {
        EncodeBranches(m_newCode, newStart, variant.bytes.data(), variant.bytes.size());
    }
    variant.ranges =
        finder.Choose(variant.bytes.data(), variant.bytes.size(), newStart, kSegmentOldBytes,
                      variant.transformed ? kBranchPage : 1, commonShift);
    for (const ByteRange& range : variant.ranges) {
        const size_t at = variant.prefix.size();
        variant.prefix.resize(at + static_cast<size_t>(range.end - range.start));
        if (!m_old.ReadAt(range.start, variant.prefix.data() + at, variant.prefix.size() - at)) {
            return false;
        }
        if (variant.transformed) {
            EncodeBranches(m_oldCode, range.start, variant.prefix.data() + at,
                           variant.prefix.size() - at);
        }
    }
    return true;
}

bool SegmentsEncoder::FoundWhole(const std::vector<uint8_t>& bytes, int64_t start,
                                 uint64_t& offset) const {
    offset = static_cast<uint64_t>(start);
    if (start < 0 || offset > m_old.Size() || bytes.size() > m_old.Size() - offset) {
        return false;
    }
    std::vector<uint8_t> old(bytes.size());
    return m_old.ReadAt(offset, old.data(), old.size()) && old == bytes;
}

void SegmentsEncoder::Encode(Segment& segment) const {
    try {
        Variant plain;
        plain.bytes.resize(segment.newSize);
        if (!m_new.ReadAt(segment.newStart, plain.bytes.data(), plain.bytes.size())) {
            segment.result = SegmentsEncodeResult::NewReadFailed;
            return;
        }
        Variant code;
        if (m_codeFinder) {
            code.transformed = true;
            code.bytes = plain.bytes;
        }
        int64_t shift = 0;
        uint64_t copyFrom = 0;
        if (!Prepare(plain, segment.newStart, &shift)) {
            segment.result = SegmentsEncodeResult::OldReadFailed;
            return;
        }
        // Unchanged data that merely moved, the bulk of a large archive's update, costs a
        // varint instead of a frame's blocks.
        if (FoundWhole(plain.bytes, shift, copyFrom)) {
            PutVarint(segment.newSize, segment.encoded);
            PutVarint(kSegmentCopied, segment.encoded);
            PutVarint(copyFrom, segment.encoded);
            return;
        }
        if (m_codeFinder && !Prepare(code, segment.newStart)) {
            segment.result = SegmentsEncodeResult::OldReadFailed;
            return;
        }
        // A quick compression first. Code whose targets moved along with it diffs better as it
        // is: for executables the quicker of the two ways tells which to keep. A segment found
        // almost whole in the old file keeps its quick frame: the strong levels would spend
        // seconds on it to save a few bytes.
        const int probeLevel = std::min(m_options.level, kProbeLevel);
        plain.frame = Compress(probeLevel, plain.prefix, plain.bytes);
        Variant* chosen = &plain;
        if (m_codeFinder) {
            code.frame = Compress(probeLevel, code.prefix, code.bytes);
            if (code.frame.size() < plain.frame.size()) {
                chosen = &code;
            }
        }
        if (m_options.level != probeLevel &&
            chosen->frame.size() > chosen->bytes.size() / kFoundWholeRatio) {
            chosen->frame = Compress(m_options.level, chosen->prefix, chosen->bytes);
        }

        std::vector<uint8_t>& out = segment.encoded;
        PutVarint(segment.newSize, out);
        PutVarint(chosen->transformed ? kSegmentTransformed : 0, out);
        PutRanges(chosen->ranges, out);
        PutVarint(chosen->frame.size(), out);
        out.insert(out.end(), chosen->frame.begin(), chosen->frame.end());
    } catch (...) {
        segment.error = std::current_exception();
    }
}

SegmentsEncodeResult SegmentsEncoder::Run() {
    const uint64_t oldSize = m_old.Size(), newSize = m_new.Size();
    DeltaHeader header;
    header.encoding = DeltaEncoding::Segments;
    header.oldSize = oldSize;
    header.newSize = newSize;
    DeltaHash newHash;
    if (!ReadInBlocks(m_new, 0, newSize,
                      [&](const uint8_t* data, size_t size) { newHash.Update(data, size); })) {
        return SegmentsEncodeResult::NewReadFailed;
    }
    header.newHash = newHash.Final();
    if (!ReadBranchCode(m_old, m_oldCode)) {
        return SegmentsEncodeResult::OldReadFailed;
    }
    if (!ReadBranchCode(m_new, m_newCode)) {
        return SegmentsEncodeResult::NewReadFailed;
    }
    const bool hasCode = !m_oldCode.ranges.empty() || !m_newCode.ranges.empty();
    const bool is64 = m_newCode.ranges.empty() ? m_oldCode.is64 : m_newCode.is64;
    m_oldCode.is64 = m_newCode.is64 = is64;
    if (!m_plainFinder.Index(m_old)) {
        return SegmentsEncodeResult::OldReadFailed;
    }
    if (hasCode) {
        m_codeFinder = std::make_unique<OldRangeFinder>(oldSize);
        auto transform = [this](uint64_t offset, uint8_t* data, size_t size) {
            EncodeBranches(m_oldCode, offset, data, size);
        };
        if (!m_codeFinder->Index(m_old, transform)) {
            return SegmentsEncodeResult::OldReadFailed;
        }
    }

    std::vector<uint8_t> start(kDeltaHeaderSize);
    WriteDeltaHeader(header, start.data());
    PutVarint(hasCode ? kSegmentsBranchTransform | (is64 ? kSegmentsCode64 : 0) : 0, start);
    if (hasCode) {
        PutRanges(m_oldCode.ranges, start);
        PutRanges(m_newCode.ranges, start);
    }
    if (!Write(start)) {
        return SegmentsEncodeResult::WriteFailed;
    }

    // Segments are encoded side by side, a batch at a time, and written in order.
    const unsigned threads = std::max(1u, m_options.threads);
    for (uint64_t next = 0; next < newSize;) {
        std::vector<Segment> batch(threads);
        size_t count = 0;
        for (; count < threads && next < newSize; ++count) {
            batch[count].newStart = next;
            batch[count].newSize = static_cast<size_t>(std::min(kSegmentNewBytes, newSize - next));
            next += batch[count].newSize;
        }
        std::vector<std::thread> helpers;
        for (size_t i = 1; i < count; ++i) {
            helpers.emplace_back([this, &batch, i] { Encode(batch[i]); });
        }
        Encode(batch[0]);
        for (std::thread& helper : helpers) {
            helper.join();
        }
        for (size_t i = 0; i < count; ++i) {
            if (batch[i].error) {
                std::rethrow_exception(batch[i].error);
            }
            if (batch[i].result != SegmentsEncodeResult::Ok) {
                return batch[i].result;
            }
            if (!Write(batch[i].encoded)) {
                return SegmentsEncodeResult::WriteFailed;
            }
        }
    }
    uint8_t trailer[kDeltaTrailerSize];
    PutLe64(trailer, m_written.Final());
    if (!m_out.Write(trailer, sizeof trailer)) {
        return SegmentsEncodeResult::WriteFailed;
    }
    return SegmentsEncodeResult::Ok;
}

}  // namespace

SegmentsEncodeResult EncodeDeltaSegments(DeltaOldSource& oldFile, DeltaOldSource& newFile,
                                         DeltaSink& out, const DeltaEncodeOptions& options) {
    return SegmentsEncoder(oldFile, newFile, out, options).Run();
}

}  // namespace tpe
