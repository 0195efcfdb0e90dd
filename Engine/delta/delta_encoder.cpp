#include "delta_encoder.h"

#include <exception>
#include <thread>

#include "delta_format.h"
#include "delta_hash.h"
#include "diff_matcher.h"
#include "diff_writer.h"
#include "little_endian.h"
#include "memory_delta_sources.h"
#include "reference_model_builder.h"
#include "segments_encoder.h"
#include "suffix_array.h"
#include "varint.h"
#include "zstd_compress.h"

namespace tpe {
namespace {

std::vector<uint8_t> CompressedBody(const uint8_t* data, size_t size, int level) {
    std::vector<uint8_t> frame;
    ZstdStreamEncoder(level, kCompressedWindowLog, size).Compress(data, size, true, frame);
    std::vector<uint8_t> body;
    PutVarint(frame.size(), body);
    body.insert(body.end(), frame.begin(), frame.end());
    return body;
}

// zstd's strongest levels rarely beat its fastest by a third on real files: a diff under half
// the fast compressed size cannot lose to the slow one, which then need not run.
constexpr int kQuickLevel = 1;

struct DiffBodies {
    std::vector<uint8_t> plain;
    std::vector<uint8_t> withReferences;  // empty unless both files are x86 executables

    size_t Smallest() const {
        return withReferences.empty() || plain.size() < withReferences.size()
                   ? plain.size()
                   : withReferences.size();
    }
};

DiffBodies MakeDiffBodies(const uint8_t* oldData, size_t oldSize, const uint8_t* newData,
                          size_t newSize, const DeltaEncodeOptions& options) {
    DiffBodies bodies;
    DiffScript script = BuildDiffScript(oldData, oldSize, newData, newSize);
    ReferenceModel model;
    if (!BuildReferenceModel(oldData, oldSize, newData, newSize, script, model)) {
        bodies.plain = WriteDiffBody(script, oldData, newData, options.level, options.threads);
        return bodies;
    }
    if (options.threads > 1) {
        // The two bodies are independent: write them side by side.
        std::exception_ptr error;
        std::thread plainWriter([&] {
            try {
                bodies.plain = WriteDiffBody(script, oldData, newData, options.level, 1);
            } catch (...) {
                error = std::current_exception();
            }
        });
        try {
            bodies.withReferences =
                WriteDiffBody(script, oldData, newData, options.level, 1, &model);
        } catch (...) {
            plainWriter.join();
            throw;
        }
        plainWriter.join();
        if (error) {
            std::rethrow_exception(error);
        }
    } else {
        bodies.plain = WriteDiffBody(script, oldData, newData, options.level, 1);
        bodies.withReferences = WriteDiffBody(script, oldData, newData, options.level, 1, &model);
    }
    return bodies;
}

// Segments pay on large files, where zstd's own window cannot reach the old data. Their match
// tables at the strong levels take about 80 MiB, more than the whole-file diff of a smaller file.
constexpr uint64_t kMinSegmentsNewBytes = uint64_t{32} << 20;
// Above this the whole-file diff is not tried next to the segments: its suffix array costs six
// times the old file in memory and most of the time, and on large real files (a 184 MB library,
// archives of 43 and 54 MB) the segments came out 10 to 30% smaller.
constexpr uint64_t kMaxDiffWithSegmentsNewBytes = uint64_t{64} << 20;

struct VectorSink : DeltaSink {
    bool Write(const void* data, size_t size) override {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        delta.insert(delta.end(), bytes, bytes + size);
        return true;
    }
    std::vector<uint8_t> delta;
};

// The whole Segments delta, or nothing when it cannot be made.
std::vector<uint8_t> SegmentsDelta(const uint8_t* oldData, size_t oldSize, const uint8_t* newData,
                                   size_t newSize, const DeltaEncodeOptions& options) {
    MemoryOldSource oldFile(oldData, oldSize), newFile(newData, newSize);
    VectorSink sink;
    if (EncodeDeltaSegments(oldFile, newFile, sink, options) != SegmentsEncodeResult::Ok) {
        return {};
    }
    return std::move(sink.delta);
}

std::vector<uint8_t> Assemble(const DeltaHeader& header, const uint8_t* body, size_t bodySize) {
    std::vector<uint8_t> delta(kDeltaHeaderSize);
    WriteDeltaHeader(header, delta.data());
    delta.insert(delta.end(), body, body + bodySize);
    uint8_t trailer[kDeltaTrailerSize];
    PutLe64(trailer, DeltaHash::Of(delta.data(), delta.size()));
    delta.insert(delta.end(), trailer, trailer + sizeof trailer);
    return delta;
}

}  // namespace

std::vector<uint8_t> EncodeDelta(const uint8_t* oldData, uint64_t oldSize, const uint8_t* newData,
                                 uint64_t newSize, const DeltaEncodeOptions& options) {
    // Both inputs are in memory, so their sizes fit size_t.
    const size_t oldBytes = static_cast<size_t>(oldSize);
    const size_t newBytes = static_cast<size_t>(newSize);
    DeltaHeader header;
    header.oldSize = oldSize;
    header.newSize = newSize;
    header.newHash = DeltaHash::Of(newData, newBytes);

    const bool trySegments = oldSize > 0 && newSize >= kMinSegmentsNewBytes;
    const bool tryDiff = oldSize > 0 && newSize > 0 && oldSize <= kMaxSuffixArrayInput &&
                         !(trySegments && newSize > kMaxDiffWithSegmentsNewBytes);
    DiffBodies diff;
    if (tryDiff) {
        diff = MakeDiffBodies(oldData, oldBytes, newData, newBytes, options);
    }
    std::vector<uint8_t> compressed;
    if (newBytes > 0) {
        const int quickLevel = options.level < kQuickLevel ? options.level : kQuickLevel;
        compressed = CompressedBody(newData, newBytes, quickLevel);
        if (options.level != quickLevel && (!tryDiff || diff.Smallest() * 2 >= compressed.size())) {
            compressed = CompressedBody(newData, newBytes, options.level);
        }
    }

    std::vector<uint8_t> segments;
    if (trySegments) {
        segments = SegmentsDelta(oldData, oldBytes, newData, newBytes, options);
    }

    // Smallest wins; on a tie the simpler encoding.
    header.encoding = DeltaEncoding::Stored;
    size_t best = newBytes;
    if (newBytes > 0 && compressed.size() < best) {
        header.encoding = DeltaEncoding::Compressed;
        best = compressed.size();
    }
    if (tryDiff && diff.plain.size() < best) {
        header.encoding = DeltaEncoding::Diff;
        best = diff.plain.size();
    }
    if (!diff.withReferences.empty() && diff.withReferences.size() < best) {
        header.encoding = DeltaEncoding::DiffWithReferences;
        best = diff.withReferences.size();
    }
    if (!segments.empty() && segments.size() < best + kDeltaHeaderSize + kDeltaTrailerSize) {
        return segments;
    }
    switch (header.encoding) {
        case DeltaEncoding::Compressed:
            return Assemble(header, compressed.data(), compressed.size());
        case DeltaEncoding::Diff:
            return Assemble(header, diff.plain.data(), diff.plain.size());
        case DeltaEncoding::DiffWithReferences:
            return Assemble(header, diff.withReferences.data(), diff.withReferences.size());
        case DeltaEncoding::Stored:
        case DeltaEncoding::Segments:  // returned whole above
            break;
    }
    return Assemble(header, newData, newBytes);
}

}  // namespace tpe
