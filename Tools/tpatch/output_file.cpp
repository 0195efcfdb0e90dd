#include "output_file.h"

namespace tpatch {

ReplacingFile::ReplacingFile(std::string path)
    : fs_(tpe::NativeFileSystem()), path_(std::move(path)), partial_(path_ + ".partial") {}

ReplacingFile::~ReplacingFile() {
    if (file_) {
        file_.reset();  // closed first: Windows removes no open file
        fs_.RemoveFile(partial_);
    }
}

bool ReplacingFile::Open(std::string* error) {
    // A partial file is only ever left by a run that was killed: it is ours to replace.
    fs_.RemoveFile(partial_);
    file_ = fs_.CreateNew(partial_);
    if (!file_) {
        *error = "cannot create " + partial_;
        return false;
    }
    return true;
}

bool ReplacingFile::Write(const void* data, size_t size) {
    writeFailed_ = writeFailed_ || !file_ || !file_->Write(data, size);
    return !writeFailed_;
}

bool ReplacingFile::Commit(std::string* error) {
    if (!file_) {
        *error = "cannot write " + path_;
        return false;
    }
    bool closed = file_->Close();
    file_.reset();
    if (!closed || writeFailed_) {
        fs_.RemoveFile(partial_);
        *error = "cannot write " + path_;
        return false;
    }
    if (fs_.Stat(path_).kind == tpe::NodeKind::File) {
        fs_.RemoveFile(path_);
    }
    if (!fs_.Rename(partial_, path_)) {
        fs_.RemoveFile(partial_);
        *error = "cannot create " + path_;
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string* error) {
    ReplacingFile out(path);
    if (!out.Open(error)) {
        return false;
    }
    out.Write(bytes.data(), bytes.size());
    return out.Commit(error);
}

}  // namespace tpatch
