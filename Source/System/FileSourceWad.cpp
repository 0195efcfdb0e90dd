#define QLD_SOURCE_FILE "Source\\System\\FileSourceWad"

#include "System/FileSourceWad.h"

#include "System/Assert.h"
#include "System/WadReader.h"

#include <algorithm>

TSC_FileSourceWad::~TSC_FileSourceWad() {
    ReleaseReader();
}

void TSC_FileSourceWad::ReleaseReader() {
    if (m_wad != nullptr) {
        m_wad->Release();
        m_wad = nullptr;
    }
}

HANDLE TSC_FileSourceWad::GetHandle() {
    return m_wad != nullptr ? m_wad->GetSource()->GetHandle() : nullptr;
}

bool TSC_FileSourceWad::Open(const QLC_FileOpenRequest& request) {
    m_flags = request.flags;
    m_wad = request.wad;
    m_entry_offset = request.entry_offset;
    m_entry_size = request.size;
    m_name = request.path;
    m_position = 0;
    m_open = true;
    return true;
}

void TSC_FileSourceWad::Close() {
    ReleaseReader();
    m_open = false;
    m_name = QLC_String();
}

void TSC_FileSourceWad::Abandon() {
    ReleaseReader();
    m_name = QLC_String();
}

uint32_t TSC_FileSourceWad::Read(void* _buffer, uint32_t count) {
    QLD_ASSERT(m_wad);
    if (m_wad == nullptr || count == 0 || m_position >= m_entry_size) {
        return 0;
    }
    QLD_ASSERT(_buffer != NULL);
    if (_buffer == nullptr) {
        return 0;
    }
    // An entry ends where the next one begins.
    count = std::min(count, m_entry_size - m_position);
    const TSC_WadChunk* chunk = m_wad->CurrentChunk();
    if (chunk == nullptr || chunk->position != m_entry_offset + m_position) {
        m_wad->Seek(m_entry_offset + m_position);
    }
    const uint32_t read = m_wad->Read(_buffer, count);
    m_position += read;
    return read;
}

void TSC_FileSourceWad::Write(const void*, uint32_t) {
    if (g_system_services != nullptr) {
        g_system_services->Warning(QLD_SOURCE_FILE, __LINE__, "TSC_FileSourceWad::Write",
                                   "Wad file source cannot write.");
    }
}

uint32_t TSC_FileSourceWad::Seek(int32_t offset, int origin) {
    switch (origin) {
        case QLC_IFile::FROM_START:
            m_position = static_cast<uint32_t>(offset);
            break;
        case QLC_IFile::FROM_CURRENT:
            m_position += static_cast<uint32_t>(offset);
            break;
        case QLC_IFile::FROM_END:
            m_position = m_entry_size - static_cast<uint32_t>(offset);
            break;
        default:
            break;
    }
    if (m_wad != nullptr) {
        m_wad->Seek(m_entry_offset + m_position);
    }
    return m_position;
}
