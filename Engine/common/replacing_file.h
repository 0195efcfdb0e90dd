#pragma once
// Writes a whole file or nothing: the bytes go to a partial file beside the target, which is
// flushed to disk and then renamed over the target in one step. A kill at any moment leaves the
// old file or the new one under the target's name, never neither and never a part.
#include <cstddef>
#include <memory>
#include <string>

#include "file_system.h"

namespace tpe {

// Until Commit succeeds the target is untouched; a writer destroyed without a successful Commit
// removes its partial file.
class ReplacingFile {
public:
    ReplacingFile(FileSystem& fs, std::string path);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool Open(std::string* error);
    // A failed write is remembered and reported by Commit.
    bool Write(const void* data, size_t size);
    // Closes and flushes the partial file and puts it in the target's place.
    bool Commit(std::string* error);

private:
    void Discard();

    FileSystem& m_fs;
    std::string m_path;
    std::string m_partial;
    std::unique_ptr<OutputFile> m_file;
    bool m_writeFailed = false;
};

}  // namespace tpe
