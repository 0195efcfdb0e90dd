#pragma once
// Lays diff ops out as the Diff encoding's body: chunks of at most kChunkNewBytes of new
// output, each with its part of the control, difference and literal streams.

#include <cstdint>
#include <memory>
#include <vector>

#include "diff_matcher.h"
#include "reference_model.h"
#include "zstd_compress.h"

namespace tpe {

enum DiffStream { kControlStream, kRunsStream, kChangesStream, kLiteralStream, kDiffStreamCount };

// One chunk's raw streams.
struct DiffChunk {
    std::vector<uint8_t> streams[kDiffStreamCount];
    uint64_t newBytes = 0;
    uint64_t diffBytes = 0;
};

// Cuts ops into chunks as they come; an op split in two continues where its first half ended.
class DiffChunker {
public:
    // With `model`, differences are taken against old bytes whose references were rewritten as
    // the model predicts (see reference_model.h).
    explicit DiffChunker(const ReferenceModel* model = nullptr);

    // Moves the old position by `seek`, then adds `copyLen` bytes of `newBytes` as differences
    // from `oldBytes` (the old file's bytes at the new position), then `literalLen` literals.
    void Add(int64_t seek, const uint8_t* oldBytes, const uint8_t* newBytes, uint64_t copyLen,
             const uint8_t* literals, uint64_t literalLen);
    // The chunks completed so far; `end` also closes the open one.
    std::vector<DiffChunk> Take(bool end);

private:
    void CloseChunk();

    const ReferencePredictor m_predictor;
    const bool m_predict;
    std::vector<DiffChunk> m_done;
    DiffChunk m_open;
    std::vector<uint8_t> m_diff, m_adjusted;
    uint64_t m_oldAt = 0, m_newAt = 0;
};

// Compresses chunks into the body: each stream is one zstd frame through all chunks, flushed at
// every chunk end. Chunks may be given in batches as they are made.
class DiffStreamPacker {
public:
    // `streamSizes`: the exact raw size of each stream, or null when not known in advance.
    DiffStreamPacker(int level, unsigned threads, const uint64_t* streamSizes = nullptr);

    // Appends the chunks' headers and parts to `body`; `last` ends the frames, so the last
    // batch must hold at least one chunk, and nothing may be packed after it.
    void Pack(const std::vector<DiffChunk>& chunks, bool last, std::vector<uint8_t>& body);

private:
    std::unique_ptr<ZstdStreamEncoder> m_encoders[kDiffStreamCount];
    unsigned m_threads;
};

// The script's ops turn `oldData` into `newData`. With `model`, the body starts with the model.
// `threads` > 1 compresses the streams at once; the bytes are the same either way.
std::vector<uint8_t> WriteDiffBody(const DiffScript& script, const uint8_t* oldData,
                                   const uint8_t* newData, int level, unsigned threads,
                                   const ReferenceModel* model = nullptr);

}  // namespace tpe
