#include "diff_writer.h"

#include <exception>
#include <thread>

#include "delta_format.h"
#include "varint.h"
#include "zstd_compress.h"

namespace tpe {
namespace {

struct Chunk {
    std::vector<uint8_t> control;
    uint64_t newBytes = 0;
    uint64_t diffBytes = 0;
    uint64_t literalBytes = 0;
};

// Cuts the ops at chunk boundaries: an op split in two continues where its first half ended.
std::vector<Chunk> SplitIntoChunks(const std::vector<DiffOp>& ops) {
    std::vector<Chunk> chunks(1);
    for (DiffOp op : ops) {
        while (op.copyLen + op.literalLen > 0) {
            Chunk& chunk = chunks.back();
            uint64_t room = kChunkNewBytes - chunk.newBytes;
            uint64_t copy = op.copyLen < room ? op.copyLen : room;
            uint64_t literal = op.literalLen < room - copy ? op.literalLen : room - copy;
            PutVarint(ZigZag(op.seek), chunk.control);
            PutVarint(copy, chunk.control);
            PutVarint(literal, chunk.control);
            chunk.newBytes += copy + literal;
            chunk.diffBytes += copy;
            chunk.literalBytes += literal;
            op.seek = 0;
            op.copyLen -= copy;
            op.literalLen -= literal;
            if (chunk.newBytes == kChunkNewBytes || chunk.control.size() >= kChunkControlSoftLimit)
                chunks.emplace_back();
        }
    }
    if (chunks.back().newBytes == 0)
        chunks.pop_back();
    return chunks;
}

enum Stream { kControl, kDiff, kLiteral, kStreamCount };

// One stream compressed as a single zstd frame, flushed at every chunk end.
struct PackedStream {
    std::vector<uint8_t> bytes;
    std::vector<uint64_t> partSizes;
    std::exception_ptr error;
};

void PackStream(Stream which, const std::vector<Chunk>& chunks, const DiffScript& script, int level,
                PackedStream& packed) {
    try {
        uint64_t total = 0;
        for (const Chunk& chunk : chunks)
            total += which == kControl ? chunk.control.size()
                     : which == kDiff  ? chunk.diffBytes
                                       : chunk.literalBytes;
        ZstdStreamEncoder encoder(level, kDiffStreamWindowLog, total);
        size_t offset = 0;
        for (size_t i = 0; i < chunks.size(); ++i) {
            const Chunk& chunk = chunks[i];
            const uint8_t* data;
            size_t size;
            if (which == kControl) {
                data = chunk.control.data();
                size = chunk.control.size();
            } else {
                const std::vector<uint8_t>& all =
                    which == kDiff ? script.differences : script.literals;
                size = static_cast<size_t>(which == kDiff ? chunk.diffBytes : chunk.literalBytes);
                data = all.data() + offset;
                offset += size;
            }
            size_t before = packed.bytes.size();
            encoder.Compress(data, size, i + 1 == chunks.size(), packed.bytes);
            packed.partSizes.push_back(packed.bytes.size() - before);
        }
    } catch (...) {
        packed.error = std::current_exception();
    }
}

}  // namespace

std::vector<uint8_t> WriteDiffBody(const DiffScript& script, int level, unsigned threads) {
    const std::vector<Chunk> chunks = SplitIntoChunks(script.ops);
    PackedStream packed[kStreamCount];
    if (threads > 1) {
        std::thread workers[kStreamCount];
        for (int s = 0; s < kStreamCount; ++s)
            workers[s] = std::thread(PackStream, static_cast<Stream>(s), std::cref(chunks),
                                     std::cref(script), level, std::ref(packed[s]));
        for (std::thread& worker : workers) worker.join();
    } else {
        for (int s = 0; s < kStreamCount; ++s)
            PackStream(static_cast<Stream>(s), chunks, script, level, packed[s]);
    }
    for (const PackedStream& stream : packed)
        if (stream.error)
            std::rethrow_exception(stream.error);

    std::vector<uint8_t> body;
    size_t offsets[kStreamCount] = {};
    for (size_t i = 0; i < chunks.size(); ++i) {
        PutVarint(chunks[i].newBytes, body);
        PutVarint(chunks[i].control.size(), body);
        PutVarint(chunks[i].diffBytes, body);
        for (const PackedStream& stream : packed) PutVarint(stream.partSizes[i], body);
        for (int s = 0; s < kStreamCount; ++s) {
            const uint8_t* part = packed[s].bytes.data() + offsets[s];
            body.insert(body.end(), part, part + packed[s].partSizes[i]);
            offsets[s] += packed[s].partSizes[i];
        }
    }
    return body;
}

}  // namespace tpe
