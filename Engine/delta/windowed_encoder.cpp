#include "windowed_encoder.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

#include "content_anchors.h"
#include "delta_format.h"
#include "delta_hash.h"
#include "diff_matcher.h"
#include "diff_writer.h"

namespace tpe {
namespace {

constexpr size_t kReadBlock = size_t{8} << 20;
// Anchors whose old-minus-new offsets differ by less than this belong to one moved piece.
constexpr int64_t kSameMoveTolerance = int64_t{64} << 10;

// Reads [start, start + size) of `file` in blocks, handing each to `use`.
template <typename Use>
bool ReadInBlocks(DeltaOldSource& file, uint64_t start, uint64_t size, Use use) {
    std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(size, kReadBlock)));
    for (uint64_t done = 0; done < size;) {
        size_t take = static_cast<size_t>(std::min<uint64_t>(size - done, block.size()));
        if (!file.ReadAt(start + done, block.data(), take))
            return false;
        use(block.data(), take);
        done += take;
    }
    return true;
}

struct OldRange {
    uint64_t start;
    uint64_t end;
};

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
          spacing_(AnchorSpacingFor(oldSize_)),
          chunker_(),
          packer_(options.level, options.threads) {}

    WindowedEncodeResult Run();

private:
    bool IndexOldFile();
    std::vector<OldRange> ChooseOldRanges(const Window& window) const;
    void Match(Window& window) const;
    bool Emit(const Window& window, bool last);
    bool Write(const std::vector<uint8_t>& bytes);

    DeltaOldSource& old_;
    DeltaOldSource& new_;
    DeltaSink& out_;
    const DeltaEncodeOptions options_;
    const uint64_t oldSize_, newSize_, windowBytes_, spacing_;
    AnchorIndex index_;
    DiffChunker chunker_;
    DiffStreamPacker packer_;
    DeltaHash written_;
    uint64_t oldCursor_ = 0;
};

bool WindowedEncoder::IndexOldFile() {
    std::vector<AnchorScanner::Anchor> anchors;
    AnchorScanner scanner(spacing_);
    if (!ReadInBlocks(old_, 0, oldSize_,
                      [&](const uint8_t* data, size_t size) { scanner.Scan(data, size, anchors); }))
        return false;
    index_.Build(std::move(anchors));
    return true;
}

// The old ranges holding most of the window's anchors, at most twice the window's size in all,
// sorted and without overlaps.
std::vector<OldRange> WindowedEncoder::ChooseOldRanges(const Window& window) const {
    struct Match {
        int64_t shift;  // old position minus new position
        uint64_t oldPosition;
    };
    std::vector<AnchorScanner::Anchor> anchors;
    AnchorScanner(spacing_).Scan(window.newBytes.data(), window.newSize, anchors);
    std::vector<Match> matches;
    std::vector<uint64_t> positions;
    for (const AnchorScanner::Anchor& anchor : anchors) {
        positions.clear();
        index_.Find(anchor.key, positions);
        for (uint64_t position : positions)
            matches.push_back({static_cast<int64_t>(position - anchor.position), position});
    }
    std::sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) {
        return a.shift != b.shift ? a.shift < b.shift : a.oldPosition < b.oldPosition;
    });

    // Group matches of one move; each group's old extent, padded so the piece's edges beyond
    // its first and last anchor are covered too, is a candidate range.
    struct Group {
        OldRange range;
        size_t votes;
    };
    std::vector<Group> groups;
    const uint64_t pad = 8 * spacing_ + 64;
    for (size_t i = 0; i < matches.size();) {
        uint64_t low = matches[i].oldPosition, high = low;
        size_t j = i + 1;
        for (; j < matches.size() && matches[j].shift - matches[j - 1].shift < kSameMoveTolerance;
             ++j) {
            low = std::min(low, matches[j].oldPosition);
            high = std::max(high, matches[j].oldPosition);
        }
        OldRange range = {low > pad ? low - pad : 0, std::min(high + pad, oldSize_)};
        groups.push_back({range, j - i});
        i = j;
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const Group& a, const Group& b) { return a.votes > b.votes; });
    std::vector<OldRange> chosen;
    const uint64_t budget = 2 * static_cast<uint64_t>(window.newSize);
    uint64_t used = 0;
    for (const Group& group : groups) {
        uint64_t size = group.range.end - group.range.start;
        if (size <= budget - used) {
            chosen.push_back(group.range);
            used += size;
        }
    }
    if (chosen.empty() && oldSize_ > 0) {
        // Nothing recognised (data without anchors, such as long runs of zeros): try the old
        // bytes at the same offset.
        uint64_t start = std::min(window.newStart, oldSize_ - 1);
        chosen.push_back({start, start + std::min<uint64_t>(window.newSize, oldSize_ - start)});
    }
    std::sort(chosen.begin(), chosen.end(),
              [](const OldRange& a, const OldRange& b) { return a.start < b.start; });
    std::vector<OldRange> merged;
    for (const OldRange& range : chosen) {
        if (!merged.empty() && range.start <= merged.back().end)
            merged.back().end = std::max(merged.back().end, range.end);
        else
            merged.push_back(range);
    }
    return merged;
}

void WindowedEncoder::Match(Window& window) const {
    try {
        window.newBytes.resize(window.newSize);
        if (!new_.ReadAt(window.newStart, window.newBytes.data(), window.newSize)) {
            window.result = WindowedEncodeResult::NewReadFailed;
            return;
        }
        size_t total = 0;
        const std::vector<OldRange> ranges = ChooseOldRanges(window);
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
    if (!IndexOldFile())
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
