#include "windowed_encoder.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

#include "delta_format.h"
#include "delta_hash.h"
#include "diff_matcher.h"
#include "diff_writer.h"
#include "old_range_finder.h"

namespace tpe {
namespace {

// A run of the chosen old bytes: `size` bytes at `local` in the window's old buffer are the old
// file's bytes at `absolute`.
struct Piece {
    size_t local;
    uint64_t absolute;
    size_t size;
};

// One new window, the old ranges its data was found in, and the ops that rebuild it.
struct Window {
    uint64_t newStart = 0;
    size_t newSize = 0;
    std::vector<uint8_t> newBytes;
    std::vector<uint8_t> oldBytes;
    std::vector<Piece> pieces;
    DiffScript script;
    WindowedEncodeResult result = WindowedEncodeResult::Ok;
    std::exception_ptr error;
};

class WindowedEncoder {
public:
    WindowedEncoder(DeltaOldSource& oldFile, DeltaOldSource& newFile, DeltaSink& out,
                    const DeltaEncodeOptions& options)
        : old_(oldFile),
          new_(newFile),
          out_(out),
          options_(options),
          oldSize_(oldFile.Size()),
          newSize_(newFile.Size()),
          windowBytes_(std::max<uint64_t>(options.windowBytes, kChunkNewBytes)),
          finder_(oldSize_),
          chunker_(),
          packer_(options.level, options.threads) {}

    WindowedEncodeResult Run();

private:
    void Match(Window& window) const;
    bool Emit(const Window& window, bool last);
    bool Write(const std::vector<uint8_t>& bytes);

    DeltaOldSource& old_;
    DeltaOldSource& new_;
    DeltaSink& out_;
    const DeltaEncodeOptions options_;
    const uint64_t oldSize_, newSize_, windowBytes_;
    OldRangeFinder finder_;
    DiffChunker chunker_;
    DiffStreamPacker packer_;
    DeltaHash written_;
    uint64_t oldCursor_ = 0;
};

void WindowedEncoder::Match(Window& window) const {
    try {
        window.newBytes.resize(window.newSize);
        if (!new_.ReadAt(window.newStart, window.newBytes.data(), window.newSize)) {
            window.result = WindowedEncodeResult::NewReadFailed;
            return;
        }
        size_t total = 0;
        const std::vector<OldRange> ranges = finder_.Choose(
            window.newBytes.data(), window.newSize, window.newStart, 2 * uint64_t{window.newSize});
        for (const OldRange& range : ranges) {
            window.pieces.push_back(
                {total, range.start, static_cast<size_t>(range.end - range.start)});
            total += window.pieces.back().size;
        }
        window.oldBytes.resize(total);
        for (const Piece& piece : window.pieces) {
            if (!old_.ReadAt(piece.absolute, window.oldBytes.data() + piece.local, piece.size)) {
                window.result = WindowedEncodeResult::OldReadFailed;
                return;
            }
        }
        if (total == 0) {
            window.script.ops.push_back({0, 0, window.newSize});
            window.script.literals = window.newBytes;
        } else {
            window.script = BuildDiffScript(window.oldBytes.data(), total, window.newBytes.data(),
                                            window.newSize);
        }
    } catch (...) {
        window.error = std::current_exception();
    }
}

bool WindowedEncoder::Write(const std::vector<uint8_t>& bytes) {
    written_.Update(bytes.data(), bytes.size());
    return out_.Write(bytes.data(), bytes.size());
}

// Turns the window's ops, which address its old buffer, into ops on the whole old file: a copy
// that runs across two pieces becomes two ops.
bool WindowedEncoder::Emit(const Window& window, bool last) {
    const uint8_t* newBytes = window.newBytes.data();
    const uint8_t* literals = window.script.literals.data();
    size_t local = 0;
    size_t piece = 0;
    for (const DiffOp& op : window.script.ops) {
        if (op.copyLen == 0) {
            chunker_.Add(0, nullptr, newBytes, 0, literals, op.literalLen);
        } else {
            local = static_cast<size_t>(static_cast<int64_t>(local) + op.seek);
            size_t left = static_cast<size_t>(op.copyLen);
            while (piece > 0 && window.pieces[piece].local > local) --piece;
            while (local >= window.pieces[piece].local + window.pieces[piece].size) ++piece;
            while (left > 0) {
                const Piece& in = window.pieces[piece];
                size_t take = std::min(left, in.local + in.size - local);
                uint64_t absolute = in.absolute + (local - in.local);
                left -= take;
                chunker_.Add(static_cast<int64_t>(absolute - oldCursor_),
                             window.oldBytes.data() + local, newBytes, take, literals,
                             left == 0 ? op.literalLen : 0);
                oldCursor_ = absolute + take;
                local += take;
                newBytes += take;
                if (left > 0)
                    ++piece;
            }
        }
        newBytes += op.literalLen;
        literals += op.literalLen;
    }
    std::vector<uint8_t> body;
    packer_.Pack(chunker_.Take(last), last, body);
    return Write(body);
}

WindowedEncodeResult WindowedEncoder::Run() {
    DeltaHeader header;
    header.encoding = DeltaEncoding::Diff;
    header.oldSize = oldSize_;
    header.newSize = newSize_;
    DeltaHash newHash;
    if (!ReadInBlocks(new_, 0, newSize_,
                      [&](const uint8_t* data, size_t size) { newHash.Update(data, size); }))
        return WindowedEncodeResult::NewReadFailed;
    header.newHash = newHash.Final();
    if (!finder_.Index(old_))
        return WindowedEncodeResult::OldReadFailed;
    std::vector<uint8_t> start(kDeltaHeaderSize);
    WriteDeltaHeader(header, start.data());
    if (!Write(start))
        return WindowedEncodeResult::WriteFailed;

    // Windows are matched side by side, a batch at a time, and written in order: the output is
    // the same for any number of threads.
    const unsigned threads = std::max(1u, options_.threads);
    for (uint64_t next = 0; next < newSize_;) {
        std::vector<Window> batch(threads);
        size_t count = 0;
        for (; count < threads && next < newSize_; ++count) {
            batch[count].newStart = next;
            batch[count].newSize = static_cast<size_t>(std::min(windowBytes_, newSize_ - next));
            next += batch[count].newSize;
        }
        std::vector<std::thread> helpers;
        for (size_t i = 1; i < count; ++i)
            helpers.emplace_back([this, &batch, i] { Match(batch[i]); });
        Match(batch[0]);
        for (std::thread& helper : helpers) helper.join();
        for (size_t i = 0; i < count; ++i) {
            if (batch[i].error)
                std::rethrow_exception(batch[i].error);
            if (batch[i].result != WindowedEncodeResult::Ok)
                return batch[i].result;
            if (!Emit(batch[i], i + 1 == count && next == newSize_))
                return WindowedEncodeResult::WriteFailed;
            batch[i] = Window();  // free its memory before the next batch is read
        }
    }
    uint8_t trailer[kDeltaTrailerSize];
    StoreLittle64(written_.Final(), trailer);
    if (!out_.Write(trailer, sizeof trailer))
        return WindowedEncodeResult::WriteFailed;
    return WindowedEncodeResult::Ok;
}

}  // namespace

WindowedEncodeResult EncodeDeltaWindowed(DeltaOldSource& oldFile, DeltaOldSource& newFile,
                                         DeltaSink& out, const DeltaEncodeOptions& options) {
    return WindowedEncoder(oldFile, newFile, out, options).Run();
}

}  // namespace tpe
