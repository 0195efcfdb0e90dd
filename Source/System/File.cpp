#define QLD_SOURCE_FILE "Source\\System\\File"

#include "System/File.h"

#include "System/CompressedCopy.h"
#include "System/FileException.h"
#include "System/FileSourceDisk.h"
#include "System/FileSourceMemory.h"
#include "System/FileSourceWad.h"

namespace {

QLC_IFileSource* CreateSource(uint32_t flags) {
    switch (flags & QLC_IFile::SOURCE_MASK) {
        case QLC_IFile::SOURCE_MEMORY:
            return new QLC_FileSourceMemory(QLC_FileSourceMemory::kFactoryGrowth);
        case QLC_IFile::SOURCE_WAD:
            return new TSC_FileSourceWad();
        default:
            return new QLC_FileSourceDisk();
    }
}

}  // namespace

QLC_File::QLC_File(const QLC_String& path, uint32_t flags) {
    Open(path, flags | THROW_ON_ERROR);
}

QLC_File::~QLC_File() {
    if (m_source == nullptr) {
        return;
    }
    if (m_source->IsOpen()) {
        try {
            m_source->Close();
        } catch (const QLC_Exception&) {
            // A destructor must not throw: what could not be written is lost.
            m_source->Abandon();
        }
    }
    DeleteSource();
}

QLC_IFileSource& QLC_File::Source() const {
    if (m_source == nullptr) {
        QLC_FileException::Throw(QLC_CAUSE_INVALID_HANDLE, -1, m_name);
    }
    return *m_source;
}

void QLC_File::DeleteSource() {
    delete m_source;
    m_source = nullptr;
}

uint32_t QLC_File::Read(void* buffer, uint32_t count) {
    return Source().Read(buffer, count);
}

void QLC_File::Write(const void* buffer, uint32_t count) {
    Source().Write(buffer, count);
}

bool QLC_File::CanRead() const {
    return IsValid() && (GetFlags() & ACCESS_MASK) != WRITE;
}

bool QLC_File::CanWrite() const {
    return IsValid() && (GetFlags() & ACCESS_MASK) != READ;
}

bool QLC_File::IsValid() const {
    return m_source != nullptr && m_source->IsValid();
}

uint32_t QLC_File::GetFlags() const {
    return m_source != nullptr ? m_source->GetFlags() : 0;
}

bool QLC_File::IsOpen() const {
    return m_source != nullptr && m_source->IsOpen();
}

bool QLC_File::Open(const QLC_String& path, uint32_t flags) {
    QLC_FileOpenRequest request;
    request.path = path;
    request.flags = flags;
    return Open(request);
}

bool QLC_File::Open(const QLC_FileOpenRequest& request) {
    // A source serves one open: a file opened again lets go of the previous one first.
    if (m_source != nullptr) {
        Close();
    }
    m_source = CreateSource(request.flags);
    m_name = request.path;
    bool opened = false;
    try {
        opened = m_source->Open(request);
    } catch (...) {
        DeleteSource();
        throw;
    }
    if (!opened) {
        DeleteSource();
    }
    return opened;
}

void QLC_File::Close() {
    if (m_source == nullptr) {
        return;
    }
    try {
        m_source->Close();
    } catch (...) {
        m_source->Abandon();
        DeleteSource();
        throw;
    }
    DeleteSource();
}

uint32_t QLC_File::Tell() {
    return Source().Tell();
}

uint32_t QLC_File::GetSize() {
    return Source().GetSize();
}

uint32_t QLC_File::Seek(int32_t offset, int origin) {
    return Source().Seek(offset, origin);
}

void QLC_File::Abandon() {
    if (m_source == nullptr) {
        return;
    }
    m_source->Abandon();
    DeleteSource();
}

void QLC_File::Flush() {
    if (m_source != nullptr) {
        m_source->Flush();
    }
}

void QLC_File::WriteTo(QLC_IFile& target, int option) {
    Source().WriteToFile(target, option);
}

void QLC_File::WriteToFile(const QLC_String& path, bool compress) {
    QLC_IFileSource& source = Source();
    QLC_File target(path, kCreateForCopy);
    const uint32_t position = source.Tell();
    try {
        source.Seek(0, FROM_START);
        if (compress) {
            QLC_CompressedCopy(*this, target);
        } else {
            source.WriteToFile(target, 0);
        }
        target.Close();
    } catch (...) {
        // No half-written copy is left behind.
        target.Abandon();
        DeleteFileA(path.c_str());
        source.Seek(static_cast<int32_t>(position), FROM_START);
        throw;
    }
    source.Seek(static_cast<int32_t>(position), FROM_START);
}

bool QLC_FileExists(const QLC_String& path) {
    QLC_File file;
    const bool opened =
        file.Open(path, QLC_IFile::READ | QLC_IFile::SHARE_READ | QLC_IFile::SOURCE_DISK);
    file.Close();
    return opened;
}
