#include "input_file.h"

namespace tpatch {

bool ReadAll(tpe::InputFile& file, std::vector<uint8_t>* bytes) {
    if (file.Size() > bytes->max_size()) {
        return false;
    }
    bytes->resize(static_cast<size_t>(file.Size()));
    return bytes->empty() || file.ReadAt(0, bytes->data(), bytes->size());
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    tpe::FileSystem& fs = tpe::NativeFileSystem();
    if (fs.Stat(path).kind != tpe::NodeKind::File) {
        *error = path + " is not a file";
        return false;
    }
    std::unique_ptr<tpe::InputFile> file = fs.OpenRead(path);
    if (!file) {
        *error = "cannot open " + path;
        return false;
    }
    if (!ReadAll(*file, bytes)) {
        *error = file->Size() > bytes->max_size() ? path + " is too large to hold in memory"
                                                  : "cannot read " + path;
        return false;
    }
    return true;
}

}  // namespace tpatch
