#include "diff_writer.h"

#include <exception>
#include <thread>

#include "delta_format.h"
#include "varint.h"

namespace tpe {
namespace {

const ReferenceModel kNoModel;

// Differences are split into alternating run lengths (zeros, then changed bytes) and the
// changed bytes themselves: mostly-zero differences compress far better that way.
void AddDifferences(const uint8_t* diff, size_t size, DiffChunk& chunk) {
    size_t at = 0;
    while (at < size) {
        size_t zeros = at;
        while (zeros < size && diff[zeros] == 0) {
            ++zeros;
        }
        size_t changed = zeros;
        while (changed < size && diff[changed] != 0) {
            ++changed;
        }
        PutVarint(zeros - at, chunk.streams[kRunsStream]);
        PutVarint(changed - zeros, chunk.streams[kRunsStream]);
        chunk.streams[kChangesStream].insert(chunk.streams[kChangesStream].end(), diff + zeros,
                                             diff + changed);
        at = changed;
    }
}

// One batch of one stream, compressed part by part.
struct PackedStream {
    std::vector<uint8_t> bytes;
    std::vector<uint64_t> partSizes;
    std::exception_ptr error;
};

void PackStream(DiffStream which, const std::vector<DiffChunk>& chunks, bool last,
                ZstdStreamEncoder& encoder, PackedStream& packed) {
    try {
        for (size_t i = 0; i < chunks.size(); ++i) {
            const std::vector<uint8_t>& part = chunks[i].streams[which];
            size_t before = packed.bytes.size();
            encoder.Compress(part.data(), part.size(), last && i + 1 == chunks.size(),
                             packed.bytes);
            packed.partSizes.push_back(packed.bytes.size() - before);
        }
    } catch (...) {
        packed.error = std::current_exception();
    }
}

}  // namespace

DiffChunker::DiffChunker(const ReferenceModel* model)
    : m_predictor(model ? *model : kNoModel), m_predict(model != nullptr) {}

void DiffChunker::Add(int64_t seek, const uint8_t* oldBytes, const uint8_t* newBytes,
                      uint64_t copyLen, const uint8_t* literals, uint64_t literalLen) {
    m_oldAt += static_cast<uint64_t>(seek);
    while (copyLen + literalLen > 0) {
        uint64_t room = kChunkNewBytes - m_open.newBytes;
        uint64_t copy = copyLen < room ? copyLen : room;
        uint64_t literal = literalLen < room - copy ? literalLen : room - copy;
        std::vector<uint8_t>& control = m_open.streams[kControlStream];
        PutVarint(ZigZag(seek), control);
        PutVarint(copy, control);
        PutVarint(literal, control);
        const uint8_t* base = oldBytes;
        if (m_predict) {
            // The decoder predicts over exactly this op: do the same here.
            m_adjusted.assign(base, base + copy);
            m_predictor.Predict(m_adjusted.data(), m_adjusted.size(), m_oldAt, m_newAt);
            base = m_adjusted.data();
        }
        for (size_t i = 0; i < copy; ++i) {
            m_diff.push_back(static_cast<uint8_t>(newBytes[i] - base[i]));
        }
        std::vector<uint8_t>& literalStream = m_open.streams[kLiteralStream];
        literalStream.insert(literalStream.end(), literals, literals + literal);
        m_oldAt += copy;
        m_newAt += copy + literal;
        m_open.newBytes += copy + literal;
        m_open.diffBytes += copy;
        seek = 0;
        oldBytes += copy;
        newBytes += copy + literal;
        literals += literal;
        copyLen -= copy;
        literalLen -= literal;
        if (m_open.newBytes == kChunkNewBytes || control.size() >= kChunkControlSoftLimit) {
            CloseChunk();
        }
    }
}

void DiffChunker::CloseChunk() {
    AddDifferences(m_diff.data(), m_diff.size(), m_open);
    m_diff.clear();
    m_done.push_back(std::move(m_open));
    m_open = DiffChunk();
}

std::vector<DiffChunk> DiffChunker::Take(bool end) {
    if (end && m_open.newBytes > 0) {
        CloseChunk();
    }
    std::vector<DiffChunk> chunks = std::move(m_done);
    m_done.clear();
    return chunks;
}

DiffStreamPacker::DiffStreamPacker(int level, unsigned threads, const uint64_t* streamSizes)
    : m_threads(threads) {
    for (int s = 0; s < kDiffStreamCount; ++s) {
        m_encoders[s].reset(new ZstdStreamEncoder(
            level, kDiffStreamWindowLog, streamSizes ? streamSizes[s] : kUnknownStreamSize));
    }
}

void DiffStreamPacker::Pack(const std::vector<DiffChunk>& chunks, bool last,
                            std::vector<uint8_t>& body) {
    PackedStream packed[kDiffStreamCount];
    if (m_threads > 1) {
        std::thread workers[kDiffStreamCount];
        for (int s = 0; s < kDiffStreamCount; ++s) {
            workers[s] = std::thread(PackStream, static_cast<DiffStream>(s), std::cref(chunks),
                                     last, std::ref(*m_encoders[s]), std::ref(packed[s]));
        }
        for (std::thread& worker : workers) {
            worker.join();
        }
    } else {
        for (int s = 0; s < kDiffStreamCount; ++s) {
            PackStream(static_cast<DiffStream>(s), chunks, last, *m_encoders[s], packed[s]);
            // An ended stream's compressor is done with: its tables go before the next
            // stream's are made, so one thread holds one compressor's memory at a time.
            if (last) {
                m_encoders[s].reset();
            }
        }
    }
    for (const PackedStream& stream : packed) {
        if (stream.error) {
            std::rethrow_exception(stream.error);
        }
    }

    size_t offsets[kDiffStreamCount] = {};
    for (size_t i = 0; i < chunks.size(); ++i) {
        const DiffChunk& chunk = chunks[i];
        PutVarint(chunk.newBytes, body);
        PutVarint(chunk.diffBytes, body);
        for (int s = 0; s < kDiffStreamCount; ++s) {
            PutVarint(chunk.streams[s].size(), body);
        }
        for (int s = 0; s < kDiffStreamCount; ++s) {
            PutVarint(packed[s].partSizes[i], body);
        }
        for (int s = 0; s < kDiffStreamCount; ++s) {
            const uint8_t* part = packed[s].bytes.data() + offsets[s];
            body.insert(body.end(), part, part + packed[s].partSizes[i]);
            offsets[s] += packed[s].partSizes[i];
        }
    }
}

std::vector<uint8_t> WriteDiffBody(const DiffScript& script, const uint8_t* oldData,
                                   const uint8_t* newData, int level, unsigned threads,
                                   const ReferenceModel* model) {
    DiffChunker chunker(model);
    const uint8_t* literals = script.literals.data();
    uint64_t oldAt = 0, newAt = 0;
    for (const DiffOp& op : script.ops) {
        oldAt += static_cast<uint64_t>(op.seek);
        chunker.Add(op.seek, oldData + oldAt, newData + newAt, op.copyLen, literals, op.literalLen);
        oldAt += op.copyLen;
        newAt += op.copyLen + op.literalLen;
        literals += op.literalLen;
    }
    const std::vector<DiffChunk> chunks = chunker.Take(true);
    uint64_t streamSizes[kDiffStreamCount] = {};
    for (const DiffChunk& chunk : chunks) {
        for (int s = 0; s < kDiffStreamCount; ++s) {
            streamSizes[s] += chunk.streams[s].size();
        }
    }

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
    if (!chunks.empty()) {
        DiffStreamPacker(level, threads, streamSizes).Pack(chunks, true, body);
    }
    return body;
}

}  // namespace tpe
