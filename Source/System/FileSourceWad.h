// One entry of an archive, read through the archive's reader. Entries are read-only.
#pragma once

#include "System/FileSourceDisk.h"

class TSC_WadReader;

class TSC_FileSourceWad : public QLC_FileSourceDisk {
public:
    TSC_FileSourceWad() = default;
    // Lets go of the reader if the entry was not closed.
    ~TSC_FileSourceWad() override;

    HANDLE GetHandle() override;
    bool IsOnDisk() const override { return true; }
    bool IsInArchive() const override { return true; }
    bool IsValid() const override { return m_wad != nullptr; }
    // Takes the reader (and one of its references), the entry's offset and size.
    bool Open(const QLC_FileOpenRequest& request) override;
    void Close() override;
    // Reads at most up to the end of the entry.
    uint32_t Read(void* buffer, uint32_t count) override;
    // Warns and writes nothing.
    void Write(const void* buffer, uint32_t count) override;
    uint32_t Tell() override { return m_position; }
    uint32_t GetSize() override { return m_entry_size; }
    // Origin 2 counts the offset back from the end of the entry.
    uint32_t Seek(int32_t offset, int origin) override;
    void Abandon() override;
    void Flush() override {}
    bool IsEof() override { return m_position >= m_entry_size; }

private:
    void ReleaseReader();

    TSC_WadReader* m_wad = nullptr;
    uint32_t m_entry_offset = 0;
    uint32_t m_entry_size = 0;
    uint32_t m_position = 0;
};
