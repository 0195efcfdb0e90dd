#include "replacing_file.h"

namespace tpe {

ReplacingFile::ReplacingFile(FileSystem& fs, std::string path)
    : m_fs(fs), m_path(std::move(path)), m_partial(m_path + ".partial") {}

ReplacingFile::~ReplacingFile() {
    if (m_file) {
        Discard();
    }
}

void ReplacingFile::Discard() {
    m_file.reset();  // closed first: Windows removes no open file
    m_fs.RemoveFile(m_partial);
}

bool ReplacingFile::Open(std::string* error) {
    // A partial file is only ever left by a run that was killed: it is ours to replace.
    m_fs.RemoveFile(m_partial);
    m_file = m_fs.CreateNew(m_partial);
    m_writeFailed = false;
    if (!m_file) {
        *error = "cannot create " + m_partial;
        return false;
    }
    return true;
}

bool ReplacingFile::Write(const void* data, size_t size) {
    m_writeFailed = m_writeFailed || !m_file || !m_file->Write(data, size);
    return !m_writeFailed;
}

bool ReplacingFile::Commit(std::string* error) {
    if (!m_file) {
        *error = "cannot create " + m_partial;
        return false;
    }
    if (m_writeFailed || !m_file->Flush() || !m_file->Close()) {
        Discard();
        *error = "cannot write " + m_partial + " (is the disk full?)";
        return false;
    }
    m_file.reset();
    if (!m_fs.RenameOver(m_partial, m_path)) {
        m_fs.RemoveFile(m_partial);
        *error = "cannot create " + m_path;
        return false;
    }
    return true;
}

}  // namespace tpe
