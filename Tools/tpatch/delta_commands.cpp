// tpatch diff and patch: one old file, one new file and the delta between them, without an
// installation around them (the form other diff tools take, and the quickest way to try the
// codec on a pair of files).
#include <cstdint>
#include <cstdlib>
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

const char* const kDiffHelp =
    "usage: tpatch diff [--level N] [--threads N] OLD NEW DELTA\n"
    "\n"
    "Writes DELTA, which rebuilds NEW from OLD with 'tpatch patch'. The delta is checked\n"
    "against NEW before it is written.\n"
    "\n"
    "  --level N    compression level, 1 to 22 (default 19)\n"
    "  --threads N  threads to use (default 1); the delta is the same. Two compress the diffs\n"
    "               of executables side by side: somewhat faster, for the memory of a\n"
    "               second compressor\n";

const char* const kPatchHelp =
    "usage: tpatch patch OLD DELTA NEW\n"
    "\n"
    "Rebuilds NEW from OLD and a delta written by 'tpatch diff'. NEW is written in full or not\n"
    "at all; it may name OLD, which it then replaces.\n";

namespace {

constexpr size_t kPatchReadPiece = 1 << 20;

bool ParseCount(const std::string& text, long low, long high, long* value) {
    char* end = nullptr;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    *value = parsed;
    return true;
}

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

int DiffCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // One thread by default: a second one only shortens the compression of the diffs, about a
    // quarter of the time, and doubles the compressor's memory, which for mid-sized files
    // outgrows the matcher's peak.
    tpe::DeltaEncodeOptions options;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        long value = 0;
        if (args[i] == "--level" || args[i] == "--threads") {
            const bool level = args[i] == "--level";
            if (i + 1 >= args.size() || !ParseCount(args[i + 1], 1, level ? 22 : 64, &value)) {
                err << "tpatch diff: " << args[i] << " must be 1 to " << (level ? 22 : 64) << "\n";
                return kExitUsage;
            }
            ++i;
            if (level) {
                options.level = int(value);
            } else {
                options.threads = unsigned(value);
            }
        } else if (args[i].rfind("-", 0) == 0 && args[i].size() > 1) {
            err << "tpatch diff: unknown option " << args[i] << "\n\n" << kDiffHelp;
            return kExitUsage;
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 3) {
        err << kDiffHelp;
        return kExitUsage;
    }
    const std::string &oldPath = files[0], &newPath = files[1], &deltaPath = files[2];
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

int PatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const std::string& a : args) {
        if (a.rfind("-", 0) == 0 && a.size() > 1) {
            err << "tpatch patch: unknown option " << a << "\n\n" << kPatchHelp;
            return kExitUsage;
        }
    }
    if (args.size() != 3) {
        err << kPatchHelp;
        return kExitUsage;
    }
    const std::string &oldPath = args[0], &deltaPath = args[1], &newPath = args[2];
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
    ReplacingFile output(newPath);
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
