// tpatch diff and patch: one old file, one new file and the delta between them, without an
// installation around them (the form other diff tools take, and the quickest way to try the
// codec on a pair of files).
#include <cstdint>
#include <iostream>
#include <new>

#include "cli.h"
#include "delta_check.h"
#include "delta_decoder.h"
#include "delta_encoder.h"
#include "delta_format.h"
#include "file_delta_sources.h"
#include "file_system.h"
#include "input_file.h"
#include "output_file.h"

namespace tpatch {

namespace {

constexpr size_t kPatchReadPiece = 1 << 20;

// The delta read from start to end (the old file is read at random through OldFileSource).
class DeltaFile : public tpe::DeltaPatchSource {
public:
    explicit DeltaFile(tpe::InputFile& file) : m_file(file) {}
    long long Read(void* buffer, size_t size) override {
        const uint64_t left = m_file.Size() - m_done;
        if (size > kPatchReadPiece) {
            size = kPatchReadPiece;
        }
        if (size > left) {
            size = static_cast<size_t>(left);
        }
        if (size > 0 && !m_file.ReadAt(m_done, buffer, size)) {
            return -1;
        }
        m_done += size;
        return static_cast<long long>(size);
    }

private:
    tpe::InputFile& m_file;
    uint64_t m_done = 0;
};

class ReplacingSink : public tpe::DeltaSink {
public:
    explicit ReplacingSink(ReplacingFile& file) : m_file(file) {}
    bool Write(const void* data, size_t size) override { return m_file.Write(data, size); }

private:
    ReplacingFile& m_file;
};

std::string FolderOf(const std::string& path) {
    std::string folder = tpe::ParentPath(path);
    return folder.empty() ? "." : folder;
}

std::string DecodeProblem(tpe::DeltaStatus status, const std::string& oldPath,
                          const std::string& deltaPath, const std::string& newPath) {
    switch (status) {
        case tpe::DeltaStatus::OldMismatch:
            return oldPath + " is not the file " + deltaPath + " was made from";
        case tpe::DeltaStatus::OldReadFailed:
            return "cannot read " + oldPath;
        case tpe::DeltaStatus::WriteFailed:
            return "cannot write " + newPath;
        case tpe::DeltaStatus::OutOfMemory:
            return "not enough memory";
        default:
            return deltaPath + " is damaged";
    }
}

}  // namespace

int DiffCommand(const DiffArguments& args, std::ostream& out, std::ostream& err) {
    tpe::DeltaEncodeOptions options;
    options.level = args.level;
    options.threads = args.threads;
    const std::string &oldPath = args.oldPath, &newPath = args.newPath, &deltaPath = args.deltaPath;
    std::string error;
    try {
        std::vector<uint8_t> oldData, newData;
        if (!ReadWholeFile(oldPath, &oldData, &error) ||
            !ReadWholeFile(newPath, &newData, &error)) {
            err << "tpatch diff: " << error << "\n";
            return kExitFailure;
        }
        std::vector<uint8_t> delta = tpe::EncodeDelta(oldData.data(), oldData.size(),
                                                      newData.data(), newData.size(), options);
        if (!tpe::DeltaRebuilds(delta, oldData, newData)) {
            err << "tpatch diff: the delta made for " << newPath
                << " does not rebuild it; nothing written\n";
            return kExitFailure;
        }
        if (!WriteWholeFile(deltaPath, delta, &error)) {
            err << "tpatch diff: " << error << "\n";
            return kExitFailure;
        }
        out << "wrote " << deltaPath << ": " << delta.size() << " bytes for " << newData.size()
            << " new bytes\n";
    } catch (const std::bad_alloc&) {
        err << "tpatch diff: not enough memory for " << oldPath << " and " << newPath << "\n";
        return kExitFailure;
    } catch (const std::exception& e) {
        err << "tpatch diff: " << e.what() << "\n";
        return kExitFailure;
    }
    return 0;
}

int PatchCommand(const PatchArguments& args, std::ostream& out, std::ostream& err) {
    const std::string &oldPath = args.oldPath, &deltaPath = args.deltaPath, &newPath = args.newPath;
    tpe::FileSystem& fs = tpe::NativeFileSystem();
    for (const std::string* path : {&oldPath, &deltaPath}) {
        if (fs.Stat(*path).kind != tpe::NodeKind::File) {
            err << "tpatch patch: " << *path << " is not a file\n";
            return kExitFailure;
        }
    }
    std::unique_ptr<tpe::InputFile> oldFile = fs.OpenRead(oldPath);
    std::unique_ptr<tpe::InputFile> deltaFile = fs.OpenRead(deltaPath);
    if (!oldFile || !deltaFile) {
        err << "tpatch patch: cannot open " << (oldFile ? deltaPath : oldPath) << "\n";
        return kExitFailure;
    }

    // The header names the new file's size: the bound the decoder holds the output to.
    uint8_t headerBytes[tpe::kDeltaHeaderSize];
    tpe::DeltaHeader header;
    if (deltaFile->Size() < sizeof headerBytes ||
        !deltaFile->ReadAt(0, headerBytes, sizeof headerBytes) ||
        !tpe::ReadDeltaHeader(headerBytes, header)) {
        err << "tpatch patch: " << deltaPath << " is not a delta made by tpatch diff\n";
        return kExitFailure;
    }
    if (tpe::ReadsOldFile(header.encoding) && header.oldSize != oldFile->Size()) {
        err << "tpatch patch: " << oldPath << " is not the file " << deltaPath << " was made from ("
            << oldFile->Size() << " bytes, not " << header.oldSize << ")\n";
        return kExitFailure;
    }
    uint64_t room = 0;
    if (fs.FreeSpace(FolderOf(newPath), &room) && room < header.newSize) {
        err << "tpatch patch: not enough room for " << newPath << ": " << header.newSize
            << " bytes needed, " << room << " free\n";
        return kExitFailure;
    }

    std::string error;
    ReplacingFile output(fs, newPath);
    if (!output.Open(&error)) {
        err << "tpatch patch: " << error << "\n";
        return kExitFailure;
    }
    tpe::OldFileSource old(oldFile.get());
    DeltaFile delta(*deltaFile);
    ReplacingSink sink(output);
    tpe::DeltaStatus status = tpe::DecodeDelta(old, delta, sink, header.newSize);
    if (status != tpe::DeltaStatus::Ok) {
        err << "tpatch patch: " << DecodeProblem(status, oldPath, deltaPath, newPath)
            << "; nothing written\n";
        return kExitFailure;
    }
    // NEW may be OLD: the old file is closed before it is replaced.
    oldFile.reset();
    deltaFile.reset();
    if (!output.Commit(&error)) {
        err << "tpatch patch: " << error << "\n";
        return kExitFailure;
    }
    out << "wrote " << newPath << ": " << header.newSize << " bytes\n";
    return 0;
}

}  // namespace tpatch
