#include "output_file.h"

namespace tpatch {

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string* error) {
    ReplacingFile out(tpe::NativeFileSystem(), path);
    if (!out.Open(error)) {
        return false;
    }
    out.Write(bytes.data(), bytes.size());
    return out.Commit(error);
}

}  // namespace tpatch
