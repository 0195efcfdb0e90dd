#include "output_file.h"

#include <cstdio>

#include "file_system.h"

namespace tpatch {

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string* error) {
    tpe::FileSystem& fs = tpe::NativeFileSystem();
    const std::string partial = path + ".partial";
    fs.RemoveFile(partial);
    std::unique_ptr<tpe::OutputFile> out = fs.CreateNew(partial);
    if (!out) {
        *error = "cannot create " + partial;
        return false;
    }
    bool written = out->Write(bytes.data(), bytes.size());
    if (!out->Close() || !written) {
        fs.RemoveFile(partial);
        *error = "cannot write " + path;
        return false;
    }
    if (fs.Stat(path).kind == tpe::NodeKind::File) {
        fs.RemoveFile(path);
    }
    if (!fs.Rename(partial, path)) {
        fs.RemoveFile(partial);
        *error = "cannot create " + path;
        return false;
    }
    return true;
}

}  // namespace tpatch
