#include "stage_file.h"

#include <algorithm>
#include <vector>

#include "delta_decoder.h"
#include "engine_texts.h"
#include "file_delta_sources.h"
#include "full_block_reader.h"
#include "path_safety.h"

namespace tpe {
namespace {

class HashingSink : public DeltaSink {
public:
    explicit HashingSink(OutputFile& out) : m_out(out) {}
    bool Write(const void* data, size_t size) override {
        m_hash.Update(data, size);
        m_size += size;
        return m_out.Write(data, size);
    }
    Contents Result() {
        Contents c;
        c.present = true;
        c.size = m_size;
        c.hash = m_hash.Finish();
        return c;
    }

private:
    OutputFile& m_out;
    Sha256 m_hash;
    uint64_t m_size = 0;
};

template <typename Progress>
DeltaStatus CopyFile(DeltaOldSource& from, DeltaSink& to, Progress& progress) {
    std::vector<uint8_t> buffer(size_t(1) << 20);
    for (uint64_t done = 0; done < from.Size();) {
        const size_t n = size_t(std::min<uint64_t>(buffer.size(), from.Size() - done));
        if (!from.ReadAt(done, buffer.data(), n)) {
            return DeltaStatus::OldReadFailed;
        }
        if (!to.Write(buffer.data(), n)) {
            return DeltaStatus::WriteFailed;
        }
        done += n;
        if (!progress(done)) {
            return DeltaStatus::Cancelled;
        }
    }
    return DeltaStatus::Ok;
}

}  // namespace

EngineResult StageFile(PassContext& c, Transaction& tx, const FileEntry& file,
                       const OldState& state, uint16_t startFraction, std::string* error) {
    const std::string name = BackslashPath(file.path);
    if (!tx.Staging(file.path, file.kind == EntryKind::Link)) {
        *error = JournalText();
        return EngineResult::IoFailure;
    }
    if (file.kind == EntryKind::Link) {
        if (!c.fs.MakeLink(tx.StagingPath(file.path), file.linkTarget)) {
            *error = "Cannot create the link " + name;
            return EngineResult::IoFailure;
        }
        return c.reporter.Fraction(kEngineWholeFile) ? EngineResult::Ok : EngineResult::Cancelled;
    }
    std::unique_ptr<OutputFile> out = c.fs.CreateNew(tx.StagingPath(file.path));
    if (!out) {
        *error = "Cannot create the new " + name;
        return EngineResult::IoFailure;
    }
    std::unique_ptr<InputFile> old;
    if (state.old.present) {
        old = c.fs.OpenRead(JoinPath(c.root, file.path));
        if (!old) {
            *error = UnreadableText(name);
            return EngineResult::IoFailure;
        }
    }
    OldFileSource oldSource(old.get());
    BlockSource block(c.payloadFile, c.payload.dataOffset + state.blockOffset, state.blockSize,
                      state.blockCrc);
    HashingSink sink(*out);
    // One message per change of the fraction, and always one for the whole file.
    uint64_t lastFraction = ~uint64_t(0);
    auto progress = [&](uint64_t done) {
        const uint64_t size = file.target.size;
        uint64_t fraction = size == 0 || done >= size
                                ? kEngineWholeFile
                                : startFraction + done * (kEngineWholeFile - startFraction) / size;
        if (fraction == lastFraction) {
            return true;
        }
        lastFraction = fraction;
        return c.reporter.Fraction(uint16_t(fraction));
    };
    DeltaStatus status;
    switch (state.block) {
        case BlockKind::Full:
            status = DecodeFullBlock(block, sink, file.target.size, progress);
            break;
        case BlockKind::Delta:
            status = DecodeDelta(oldSource, block, sink, file.target.size, progress);
            break;
        default:  // the contents are already in place; only the mode changes
            status = CopyFile(oldSource, sink, progress);
            break;
    }
    if (status == DeltaStatus::Ok && lastFraction != kEngineWholeFile &&
        !progress(file.target.size)) {
        status = DeltaStatus::Cancelled;
    }
    // On disk before the commit: the swap may discard the originals.
    bool closed = (status != DeltaStatus::Ok || out->Flush()) && out->Close();
    switch (status) {
        case DeltaStatus::Ok:
            break;
        case DeltaStatus::Cancelled:
            return EngineResult::Cancelled;
        case DeltaStatus::OutOfMemory:
            *error = "Out of memory while patching " + name;
            return EngineResult::OutOfMemory;
        case DeltaStatus::WriteFailed:
            *error = "Cannot write the new " + name;
            return EngineResult::IoFailure;
        case DeltaStatus::OldReadFailed:
            *error = UnreadableText(name);
            return EngineResult::IoFailure;
        default:
            *error = "Invalid patch file: the data for " + name + " is damaged";
            return EngineResult::PayloadDamaged;
    }
    if (!closed) {
        *error = "Cannot write the new " + name;
        return EngineResult::IoFailure;
    }
    if (!(sink.Result() == file.target)) {
        *error = "The new " + name + " failed verification";
        return EngineResult::PayloadDamaged;
    }
    // Set on the staged file, so that the swap and a recovery move it in complete.
    if (file.hasMode && !c.fs.SetMode(tx.StagingPath(file.path), file.mode)) {
        *error = "Cannot set the permissions of the new " + name;
        return EngineResult::IoFailure;
    }
    return EngineResult::Ok;
}

}  // namespace tpe
