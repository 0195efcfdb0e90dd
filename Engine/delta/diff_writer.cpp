#include "diff_writer.h"

#include <exception>
#include <thread>

#include "delta_format.h"
#include "varint.h"
#include "zstd_compress.h"

namespace tpe {
namespace {

enum Stream { kControl, kRuns, kChanges, kLiteral, kStreamCount };

// One chunk's raw streams. Differences are split into alternating run lengths (zeros, then
// changed bytes) and the changed bytes themselves: mostly-zero differences compress far
// better that way.
struct Chunk {
    std::vector<uint8_t> streams[kStreamCount];
    uint64_t newBytes = 0;
    uint64_t diffBytes = 0;
};

void AddDifferences(const uint8_t* diff, size_t size, Chunk& chunk) {
    size_t at = 0;
    while (at < size) {
        size_t zeros = at;
        while (zeros < size && diff[zeros] == 0) ++zeros;
        size_t changed = zeros;
        while (changed < size && diff[changed] != 0) ++changed;
        PutVarint(zeros - at, chunk.streams[kRuns]);
        PutVarint(changed - zeros, chunk.streams[kRuns]);
        chunk.streams[kChanges].insert(chunk.streams[kChanges].end(), diff + zeros, diff + changed);
        at = changed;
    }
}

// Cuts the ops at chunk boundaries: an op split in two continues where its first half ended.
std::vector<Chunk> SplitIntoChunks(const DiffScript& script, const uint8_t* oldData,
                                   const uint8_t* newData, const ReferenceModel* model) {
    std::vector<Chunk> chunks(1);
    std::vector<uint8_t> diff, adjusted;
    size_t literalAt = 0;
    uint64_t oldAt = 0, newAt = 0;
    static const ReferenceModel kNoModel;
    const ReferencePredictor predictor(model ? *model : kNoModel);
    for (DiffOp op : script.ops) {
        while (op.copyLen + op.literalLen > 0) {
            Chunk& chunk = chunks.back();
            uint64_t room = kChunkNewBytes - chunk.newBytes;
            uint64_t copy = op.copyLen < room ? op.copyLen : room;
            uint64_t literal = op.literalLen < room - copy ? op.literalLen : room - copy;
            std::vector<uint8_t>& control = chunk.streams[kControl];
            PutVarint(ZigZag(op.seek), control);
            PutVarint(copy, control);
            PutVarint(literal, control);
            oldAt += static_cast<uint64_t>(op.seek);
            const uint8_t* base = oldData + oldAt;
            if (model) {
                // The decoder predicts over exactly this op: do the same here.
                adjusted.assign(base, base + copy);
                predictor.Predict(adjusted.data(), adjusted.size(), oldAt, newAt);
                base = adjusted.data();
            }
            for (size_t i = 0; i < copy; ++i)
                diff.push_back(static_cast<uint8_t>(newData[newAt + i] - base[i]));
            const uint8_t* literals = script.literals.data() + literalAt;
            chunk.streams[kLiteral].insert(chunk.streams[kLiteral].end(), literals,
                                           literals + literal);
            oldAt += copy;
            newAt += copy + literal;
            literalAt += literal;
            chunk.newBytes += copy + literal;
            chunk.diffBytes += copy;
            op.seek = 0;
            op.copyLen -= copy;
            op.literalLen -= literal;
            if (chunk.newBytes == kChunkNewBytes || control.size() >= kChunkControlSoftLimit) {
                AddDifferences(diff.data(), diff.size(), chunk);
                diff.clear();
                chunks.emplace_back();
            }
        }
    }
    if (chunks.back().newBytes == 0) {
        chunks.pop_back();
    } else {
        AddDifferences(diff.data(), diff.size(), chunks.back());
    }
    return chunks;
}

// One stream compressed as a single zstd frame, flushed at every chunk end.
struct PackedStream {
    std::vector<uint8_t> bytes;
    std::vector<uint64_t> partSizes;
    std::exception_ptr error;
};

void PackStream(Stream which, const std::vector<Chunk>& chunks, int level, PackedStream& packed) {
    try {
        uint64_t total = 0;
        for (const Chunk& chunk : chunks) total += chunk.streams[which].size();
        ZstdStreamEncoder encoder(level, kDiffStreamWindowLog, total);
        for (size_t i = 0; i < chunks.size(); ++i) {
            const std::vector<uint8_t>& part = chunks[i].streams[which];
            size_t before = packed.bytes.size();
            encoder.Compress(part.data(), part.size(), i + 1 == chunks.size(), packed.bytes);
            packed.partSizes.push_back(packed.bytes.size() - before);
        }
    } catch (...) {
        packed.error = std::current_exception();
    }
}

}  // namespace

std::vector<uint8_t> WriteDiffBody(const DiffScript& script, const uint8_t* oldData,
                                   const uint8_t* newData, int level, unsigned threads,
                                   const ReferenceModel* model) {
    const std::vector<Chunk> chunks = SplitIntoChunks(script, oldData, newData, model);
    PackedStream packed[kStreamCount];
    if (threads > 1) {
        std::thread workers[kStreamCount];
        for (int s = 0; s < kStreamCount; ++s)
            workers[s] = std::thread(PackStream, static_cast<Stream>(s), std::cref(chunks), level,
                                     std::ref(packed[s]));
        for (std::thread& worker : workers) worker.join();
    } else {
        for (int s = 0; s < kStreamCount; ++s)
            PackStream(static_cast<Stream>(s), chunks, level, packed[s]);
    }
    for (const PackedStream& stream : packed)
        if (stream.error)
            std::rethrow_exception(stream.error);

    std::vector<uint8_t> body;
    if (model) {
        std::vector<uint8_t> rawModel;
        WriteReferenceModel(*model, rawModel);
        std::vector<uint8_t> packedModel;
        ZstdStreamEncoder(level, kDiffStreamWindowLog, rawModel.size())
            .Compress(rawModel.data(), rawModel.size(), true, packedModel);
        PutVarint(rawModel.size(), body);
        PutVarint(packedModel.size(), body);
        body.insert(body.end(), packedModel.begin(), packedModel.end());
    }
    size_t offsets[kStreamCount] = {};
    for (size_t i = 0; i < chunks.size(); ++i) {
        const Chunk& chunk = chunks[i];
        PutVarint(chunk.newBytes, body);
        PutVarint(chunk.diffBytes, body);
        for (int s = 0; s < kStreamCount; ++s) PutVarint(chunk.streams[s].size(), body);
        for (int s = 0; s < kStreamCount; ++s) PutVarint(packed[s].partSizes[i], body);
        for (int s = 0; s < kStreamCount; ++s) {
            const uint8_t* part = packed[s].bytes.data() + offsets[s];
            body.insert(body.end(), part, part + packed[s].partSizes[i]);
            offsets[s] += packed[s].partSizes[i];
        }
    }
    return body;
}

}  // namespace tpe
