#pragma once
// Writes a whole output file or nothing: bytes go to a temporary file beside it, which replaces
// the target only once complete.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "file_system.h"

namespace tpatch {

// An output file written piece by piece. Until Commit succeeds the target is untouched; a
// ReplacingFile destroyed without a successful Commit removes what it wrote.
class ReplacingFile {
public:
    explicit ReplacingFile(std::string path);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool Open(std::string* error);
    bool Write(const void* data, size_t size);
    // Closes the temporary file and puts it in the target's place.
    bool Commit(std::string* error);

private:
    tpe::FileSystem& fs_;
    std::string path_;
    std::string partial_;
    std::unique_ptr<tpe::OutputFile> file_;
    bool writeFailed_ = false;
};

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

}  // namespace tpatch
