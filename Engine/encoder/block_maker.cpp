#include "block_maker.h"

#include <algorithm>

#include "crc32.h"
#include "delta_decoder.h"
#include "delta_encoder.h"
#include "file_delta_sources.h"
#include "full_block_writer.h"
#include "windowed_encoder.h"

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

// Memory-backed ends for checking a delta right after making it.
struct MemoryOld : DeltaOldSource {
    explicit MemoryOld(const std::vector<uint8_t>& data) : bytes(data) {}
    uint64_t Size() const override { return bytes.size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        if (offset > bytes.size() || size > bytes.size() - offset) {
            return false;
        }
        std::copy_n(bytes.data() + offset, size, static_cast<uint8_t*>(buffer));
        return true;
    }
    const std::vector<uint8_t>& bytes;
};

struct MemoryPatch : DeltaPatchSource {
    explicit MemoryPatch(const std::vector<uint8_t>& data) : bytes(data) {}
    long long Read(void* buffer, size_t size) override {
        size_t n = std::min(size, bytes.size() - position);
        std::copy_n(bytes.data() + position, n, static_cast<uint8_t*>(buffer));
        position += n;
        return static_cast<long long>(n);
    }
    const std::vector<uint8_t>& bytes;
    size_t position = 0;
};

// Compares the output with the expected bytes as it comes, keeping nothing.
struct ComparingSink : DeltaSink {
    explicit ComparingSink(const std::vector<uint8_t>& data) : expected(data) {}
    bool Write(const void* data, size_t size) override {
        if (size > expected.size() - position ||
            !std::equal(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size,
                        expected.begin() + long(position))) {
            return false;
        }
        position += size;
        return true;
    }
    const std::vector<uint8_t>& expected;
    size_t position = 0;
};

// The same, against a file read as the output comes.
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

// A patch only ships deltas that were seen to rebuild their file.
bool DeltaRebuilds(const std::vector<uint8_t>& delta, const std::vector<uint8_t>& oldData,
                   const std::vector<uint8_t>& newData) {
    MemoryOld old(oldData);
    MemoryPatch patch(delta);
    ComparingSink sink(newData);
    return !delta.empty() && DecodeDelta(old, patch, sink, newData.size()) == DeltaStatus::Ok &&
           sink.position == newData.size();
}

}  // namespace

bool DiffFitsInMemory(uint64_t oldSize, uint64_t newSize, uint64_t budget) {
    // Suffix array, its work space and both files: about 6 bytes per old byte and one per new.
    const uint64_t limit = std::min<uint64_t>(budget, SIZE_MAX / 2);
    return oldSize <= limit / 6 && newSize <= limit - oldSize * 6;
}

bool BlockMaker::Make(const std::string& oldPath, uint64_t oldSize, const std::string& newPath,
                      uint64_t newSize, OldState& state, bool* storedWhole, std::string* error) {
    *storedWhole = false;
    if (DiffFitsInMemory(oldSize, newSize, m_options.memoryBudget)) {
        return MakeInMemory(oldPath, newPath, state, storedWhole, error);
    }
    m_newPath.clear();
    m_newData = std::vector<uint8_t>();  // the new file may be held from a smaller old one
    return MakeWindowed(oldPath, newPath, state, error);
}

bool BlockMaker::MakeInMemory(const std::string& oldPath, const std::string& newPath,
                              OldState& state, bool* storedWhole, std::string* error) {
    if (m_newPath != newPath) {
        m_newPath.clear();
        if (!ReadWhole(m_fs, newPath, &m_newData)) {
            *error = "cannot read " + newPath;
            return false;
        }
        m_newPath = newPath;
    }
    std::vector<uint8_t> oldData;
    if (!oldPath.empty() && !ReadWhole(m_fs, oldPath, &oldData)) {
        *error = "cannot read " + oldPath;
        return false;
    }
    DeltaEncodeOptions options;
    options.level = m_options.level;
    std::vector<uint8_t> block =
        EncodeDelta(oldData.data(), oldData.size(), m_newData.data(), m_newData.size(), options);
    BlockKind kind = BlockKind::Delta;
    if (!DeltaRebuilds(block, oldData, m_newData)) {
        block = CompressFullBlock(m_newData.data(), m_newData.size(), m_options.level);
        kind = BlockKind::Full;
        *storedWhole = true;
        if (block.empty()) {
            *error = "cannot compress " + newPath;
            return false;
        }
    }
    return m_writer.AddBlock(state, kind, block.data(), block.size(), error);
}

bool BlockMaker::MakeWindowed(const std::string& oldPath, const std::string& newPath,
                              OldState& state, std::string* error) {
    std::unique_ptr<InputFile> oldFile;
    if (!oldPath.empty() && !(oldFile = m_fs.OpenRead(oldPath))) {
        *error = "cannot read " + oldPath;
        return false;
    }
    std::unique_ptr<InputFile> newFile = m_fs.OpenRead(newPath);
    if (!newFile) {
        *error = "cannot read " + newPath;
        return false;
    }
    const std::string blockPath = m_writer.ScratchPath(".block.partial");
    std::unique_ptr<OutputFile> blockOut = m_fs.CreateNew(blockPath);
    if (!blockOut) {
        *error = "cannot create " + blockPath;
        return false;
    }
    OldFileSource oldSource(oldFile.get());
    OldFileSource newSource(newFile.get());
    FileBlockSink sink(*blockOut);
    DeltaEncodeOptions options;
    options.level = m_options.level;
    options.threads = m_options.threads;
    const WindowedEncodeResult result = EncodeDeltaWindowed(oldSource, newSource, sink, options);
    const bool closed = blockOut->Close();
    blockOut.reset();
    switch (result) {
        case WindowedEncodeResult::Ok:
            break;
        case WindowedEncodeResult::OldReadFailed:
            *error = "cannot read " + oldPath;
            return false;
        case WindowedEncodeResult::NewReadFailed:
            *error = "cannot read " + newPath;
            return false;
        case WindowedEncodeResult::WriteFailed:
            *error = "cannot write " + blockPath + " (is the disk full?)";
            return false;
    }
    std::unique_ptr<InputFile> block = m_fs.OpenRead(blockPath);
    if (!closed || !block) {
        *error = "cannot write " + blockPath + " (is the disk full?)";
        return false;
    }
    // Decoded straight back from disk, as the engine will.
    BlockSource patch(*block, 0, block->Size(), sink.crc);
    FileComparingSink check(*newFile);
    if (DecodeDelta(oldSource, patch, check, newFile->Size()) != DeltaStatus::Ok ||
        check.position != newFile->Size()) {
        *error = "the delta made for " + newPath + " does not rebuild it";
        return false;
    }
    bool added = m_writer.AddBlockFrom(state, BlockKind::Delta, *block, error);
    block.reset();
    m_fs.RemoveFile(blockPath);
    return added;
}

}  // namespace tpe
