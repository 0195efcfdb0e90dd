#include "delta_encoder.h"

#include <exception>
#include <thread>

#include "delta_format.h"
#include "delta_hash.h"
#include "diff_matcher.h"
#include "diff_writer.h"
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

std::vector<uint8_t> DiffBody(const uint8_t* oldData, size_t oldSize, const uint8_t* newData,
                              size_t newSize, const DeltaEncodeOptions& options) {
    DiffScript script = BuildDiffScript(oldData, oldSize, newData, newSize);
    return WriteDiffBody(script, options.level, options.threads);
}

std::vector<uint8_t> Assemble(const DeltaHeader& header, const uint8_t* body, size_t bodySize) {
    std::vector<uint8_t> delta(kDeltaHeaderSize);
    WriteDeltaHeader(header, delta.data());
    delta.insert(delta.end(), body, body + bodySize);
    uint8_t trailer[kDeltaTrailerSize];
    StoreLittle64(DeltaHash::Of(delta.data(), delta.size()), trailer);
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

    std::vector<uint8_t> compressed;
    std::exception_ptr compressError;
    auto compress = [&] {
        try {
            if (newBytes > 0)
                compressed = CompressedBody(newData, newBytes, options.level);
        } catch (...) {
            compressError = std::current_exception();
        }
    };
    const bool tryDiff = oldSize > 0 && newSize > 0 && oldSize <= kMaxSuffixArrayInput;
    std::vector<uint8_t> diff;
    if (tryDiff && options.threads > 1) {
        // Plain compression runs beside the matcher; the choice below does not depend on timing.
        std::thread compressor(compress);
        try {
            diff = DiffBody(oldData, oldBytes, newData, newBytes, options);
        } catch (...) {
            compressor.join();
            throw;
        }
        compressor.join();
    } else {
        compress();
        if (tryDiff)
            diff = DiffBody(oldData, oldBytes, newData, newBytes, options);
    }
    if (compressError)
        std::rethrow_exception(compressError);

    // Smallest wins; on a tie the simpler encoding.
    header.encoding = DeltaEncoding::Stored;
    size_t best = newBytes;
    if (newBytes > 0 && compressed.size() < best) {
        header.encoding = DeltaEncoding::Compressed;
        best = compressed.size();
    }
    if (tryDiff && diff.size() < best)
        header.encoding = DeltaEncoding::Diff;
    switch (header.encoding) {
        case DeltaEncoding::Compressed:
            return Assemble(header, compressed.data(), compressed.size());
        case DeltaEncoding::Diff:
            return Assemble(header, diff.data(), diff.size());
        case DeltaEncoding::Stored:
            break;
    }
    return Assemble(header, newData, newBytes);
}

}  // namespace tpe
