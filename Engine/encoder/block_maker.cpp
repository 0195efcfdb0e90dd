#include "block_maker.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "crc32.h"
#include "delta_check.h"
#include "delta_decoder.h"
#include "delta_encoder.h"
#include "file_delta_sources.h"
#include "full_block_writer.h"
#include "segments_encoder.h"

namespace tpe {
namespace {

bool ReadWhole(FileSystem& fs, const std::string& path, std::vector<uint8_t>* bytes) {
    std::unique_ptr<InputFile> file = fs.OpenRead(path);
    if (!file || file->Size() > SIZE_MAX / 2) {
        return false;
    }
    bytes->resize(size_t(file->Size()));
    return bytes->empty() || file->ReadAt(0, bytes->data(), bytes->size());
}

// Compares the output with a file read as the output comes, keeping nothing.
struct FileComparingSink : DeltaSink {
    explicit FileComparingSink(InputFile& file) : expected(file) {}
    bool Write(const void* data, size_t size) override {
        if (size > expected.Size() - position) {
            return false;
        }
        buffer.resize(size);
        if (!expected.ReadAt(position, buffer.data(), size) ||
            !std::equal(buffer.begin(), buffer.end(), static_cast<const uint8_t*>(data))) {
            return false;
        }
        position += size;
        return true;
    }
    InputFile& expected;
    std::vector<uint8_t> buffer;
    uint64_t position = 0;
};

// Writes a block to a scratch file, keeping its CRC.
struct FileBlockSink : DeltaSink {
    explicit FileBlockSink(OutputFile& file) : out(file) {}
    bool Write(const void* data, size_t size) override {
        crc = Crc32(data, size, crc);
        return out.Write(data, size);
    }
    OutputFile& out;
    uint32_t crc = 0;
};

// Tells the options' progress callback, one caller at a time.
class ProgressReport {
public:
    explicit ProgressReport(const BlockOptions& options) : m_options(options) {}
    void Partly(const std::string& path, uint64_t done) {
        if (m_options.onProgress) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_options.onProgress(path, m_finished + done);
        }
    }
    void Finished(const std::string& path, uint64_t size) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished += size;
        if (m_options.onProgress) {
            m_options.onProgress(path, m_finished);
        }
    }

private:
    const BlockOptions& m_options;
    std::mutex m_mutex;
    uint64_t m_finished = 0;
};

// The new file of a segmented diff, telling how far into it the encoder has read.
class WatchedSource : public DeltaOldSource {
public:
    WatchedSource(DeltaOldSource& inner, ProgressReport& report, const std::string& path)
        : m_inner(inner), m_report(report), m_path(path) {}
    uint64_t Size() const override { return m_inner.Size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        uint64_t end = offset + size, seen = m_high.load();
        while (end > seen && !m_high.compare_exchange_weak(seen, end)) {
        }
        if (end > seen) {
            m_report.Partly(m_path, end);
        }
        return m_inner.ReadAt(offset, buffer, size);
    }

private:
    DeltaOldSource& m_inner;
    ProgressReport& m_report;
    const std::string& m_path;
    std::atomic<uint64_t> m_high{0};
};

}  // namespace

bool DiffFitsInMemory(uint64_t oldSize, uint64_t newSize, uint64_t budget) {
    // Suffix array, its work space and both files: about 6 bytes per old byte and one per new.
    // A 32-bit process has 2 GiB of address space at best.
    const uint64_t limit = std::min<uint64_t>(budget, SIZE_MAX / 4);
    return oldSize <= limit / 6 && newSize <= limit - oldSize * 6;
}

namespace {

// A block made in memory, waiting to be added in its turn.
struct MadeBlock {
    std::vector<uint8_t> bytes;
    BlockKind kind = BlockKind::Delta;
    std::string error;  // empty when made
};

bool InMemory(const BlockJob& job, uint64_t budget) {
    return job.newSize == 0 || DiffFitsInMemory(job.oldSize, job.newSize, budget);
}

// Memory a job needs while it is diffed in memory.
uint64_t InMemoryCost(const BlockJob& job) {
    return job.newSize == 0 ? 0 : job.oldSize * 6 + job.newSize;
}

MadeBlock MakeInMemory(FileSystem& fs, BlockJob& job, int level, unsigned threads) {
    MadeBlock made;
    std::vector<uint8_t> oldData, newData;
    if (!ReadWhole(fs, job.newPath, &newData)) {
        made.error = "cannot read " + job.newPath;
        return made;
    }
    if (newData.size() != job.newSize) {
        made.error = job.newPath + " changed while the patch was being built";
        return made;
    }
    // An emptied file needs nothing of its old contents, however large they are.
    if (!job.oldPath.empty() && job.newSize > 0 && !ReadWhole(fs, job.oldPath, &oldData)) {
        made.error = "cannot read " + job.oldPath;
        return made;
    }
    DeltaEncodeOptions options;
    options.level = level;
    options.threads = threads;
    const uint64_t oldSize = job.newSize > 0 ? oldData.size() : job.oldSize;
    made.bytes = EncodeDelta(oldData.data(), oldSize, newData.data(), newData.size(), options);
    // A patch only ships deltas that were seen to rebuild their file.
    if (!DeltaRebuilds(made.bytes, oldData, newData)) {
        made.bytes = CompressFullBlock(newData.data(), newData.size(), level);
        made.kind = BlockKind::Full;
        job.storedWhole = true;
        if (made.bytes.empty()) {
            made.error = "cannot compress " + job.newPath;
        }
    }
    return made;
}

// Runs MakeInMemory on jobs [first, last) with `threads` workers; results in job order.
std::vector<MadeBlock> MakeBatch(FileSystem& fs, std::vector<BlockJob>& jobs, size_t first,
                                 size_t last, const BlockOptions& options, ProgressReport& report) {
    std::vector<MadeBlock> made(last - first);
    std::atomic<size_t> next(first);
    auto work = [&] {
        for (size_t i; (i = next++) < last;) {
            try {
                // A file alone in its batch gets every thread (the codec then encodes its
                // segments side by side); in a batch, files go side by side instead.
                made[i - first] = MakeInMemory(fs, jobs[i], options.level,
                                               last - first == 1 ? options.threads : 1);
                report.Finished(jobs[i].newPath, jobs[i].newSize);
            } catch (const std::bad_alloc&) {
                made[i - first].error = "out of memory while diffing " + jobs[i].newPath +
                                        " (a smaller --memory budget diffs it segment by segment)";
            } catch (const std::exception& e) {
                made[i - first].error = "cannot diff " + jobs[i].newPath + ": " + e.what();
            }
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < options.threads && t < last - first; ++t) {
        helpers.emplace_back(work);
    }
    work();
    for (std::thread& helper : helpers) {
        helper.join();
    }
    return made;
}

bool MakeSegmented(FileSystem& fs, PayloadWriter& writer, const BlockOptions& options,
                   BlockJob& job, ProgressReport& report, std::string* error) {
    std::unique_ptr<InputFile> oldFile;
    if (!job.oldPath.empty() && !(oldFile = fs.OpenRead(job.oldPath))) {
        *error = "cannot read " + job.oldPath;
        return false;
    }
    std::unique_ptr<InputFile> newFile = fs.OpenRead(job.newPath);
    if (!newFile) {
        *error = "cannot read " + job.newPath;
        return false;
    }
    const std::string blockPath = writer.ScratchPath(".block.partial");
    std::unique_ptr<OutputFile> blockOut = fs.CreateNew(blockPath);
    if (!blockOut) {
        *error = "cannot create " + blockPath;
        return false;
    }
    OldFileSource oldSource(oldFile.get());
    OldFileSource newFileSource(newFile.get());
    WatchedSource newSource(newFileSource, report, job.newPath);
    FileBlockSink sink(*blockOut);
    DeltaEncodeOptions encodeOptions;
    encodeOptions.level = options.level;
    encodeOptions.threads = options.threads;
    SegmentsEncodeResult result;
    try {
        result = EncodeDeltaSegments(oldSource, newSource, sink, encodeOptions);
    } catch (const std::bad_alloc&) {
        *error = "out of memory while diffing " + job.newPath;
        return false;
    } catch (const std::exception& e) {
        *error = "cannot diff " + job.newPath + ": " + e.what();
        return false;
    }
    const bool closed = blockOut->Close();
    blockOut.reset();
    switch (result) {
        case SegmentsEncodeResult::Ok:
            break;
        case SegmentsEncodeResult::OldReadFailed:
            *error = "cannot read " + job.oldPath;
            return false;
        case SegmentsEncodeResult::NewReadFailed:
            *error = "cannot read " + job.newPath;
            return false;
        case SegmentsEncodeResult::WriteFailed:
            *error = "cannot write " + blockPath + " (is the disk full?)";
            return false;
    }
    std::unique_ptr<InputFile> block = fs.OpenRead(blockPath);
    if (!closed || !block) {
        *error = "cannot write " + blockPath + " (is the disk full?)";
        return false;
    }
    // Decoded straight back from disk, as the engine will.
    BlockSource patch(*block, 0, block->Size(), sink.crc);
    FileComparingSink check(*newFile);
    if (DecodeDelta(oldSource, patch, check, newFile->Size()) != DeltaStatus::Ok ||
        check.position != newFile->Size()) {
        *error = "the delta made for " + job.newPath + " does not rebuild it";
        return false;
    }
    bool added = writer.AddBlockFrom(*job.state, BlockKind::Delta, *block, error);
    block.reset();
    fs.RemoveFile(blockPath);
    report.Finished(job.newPath, job.newSize);
    return added;
}

}  // namespace

bool MakeBlocks(FileSystem& fs, PayloadWriter& writer, const BlockOptions& options,
                std::vector<BlockJob>& jobs, std::string* error) {
    // Small batches keep few finished blocks waiting while a large file is still being diffed.
    constexpr size_t kMaxBatch = 64;
    ProgressReport report(options);
    for (size_t first = 0; first < jobs.size();) {
        if (!InMemory(jobs[first], options.memoryBudget)) {
            if (options.onSegmentedFile) {
                options.onSegmentedFile(jobs[first].newPath, jobs[first].newSize);
            }
            if (!MakeSegmented(fs, writer, options, jobs[first], report, error)) {
                return false;
            }
            ++first;
            continue;
        }
        // The batch's files together fit the budget, so any of them may be diffed at once.
        size_t last = first;
        uint64_t cost = 0;
        while (last < jobs.size() && last - first < kMaxBatch &&
               InMemory(jobs[last], options.memoryBudget) &&
               (last == first || cost + InMemoryCost(jobs[last]) <= options.memoryBudget)) {
            cost += InMemoryCost(jobs[last++]);
        }
        std::vector<MadeBlock> made = MakeBatch(fs, jobs, first, last, options, report);
        for (size_t i = first; i < last; ++i) {
            MadeBlock& block = made[i - first];
            if (!block.error.empty()) {
                *error = block.error;
                return false;
            }
            if (!writer.AddBlock(*jobs[i].state, block.kind, block.bytes.data(), block.bytes.size(),
                                 error)) {
                return false;
            }
            block.bytes = std::vector<uint8_t>();
        }
        first = last;
    }
    return true;
}

}  // namespace tpe
