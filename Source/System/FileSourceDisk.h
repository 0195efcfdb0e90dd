// A Win32 disk file with a 16 KiB cache that serves reads and gathers writes. The source keeps a
// logical position; the system's file pointer moves only when data goes to or from the disk.
#pragma once

#include "System/IFile.h"

#include <cstdint>

class QLC_FileSourceDisk : public QLC_INamedFileSource {
public:
    static constexpr uint32_t kCacheSize = 16384;

    QLC_FileSourceDisk() = default;
    QLC_FileSourceDisk(const QLC_FileSourceDisk&) = delete;
    QLC_FileSourceDisk& operator=(const QLC_FileSourceDisk&) = delete;
    // Closes an open file; pending data that cannot be written is dropped, never thrown.
    ~QLC_FileSourceDisk() override;

    HANDLE GetHandle() override { return m_handle; }
    bool IsOnDisk() const override { return true; }
    bool IsValid() const override { return m_handle != INVALID_HANDLE_VALUE; }
    bool Open(const QLC_FileOpenRequest& request) override;
    void Close() override;
    uint32_t Read(void* buffer, uint32_t count) override;
    void Write(const void* buffer, uint32_t count) override;
    uint32_t Tell() override { return m_position; }
    uint32_t GetSize() override;
    // Origin 2 counts the offset back from the end.
    uint32_t Seek(int32_t offset, int origin) override;
    void Abandon() override;
    void Flush() override;
    const QLC_String& GetName() const override { return m_name; }
    void SetSize(uint32_t size) override;

protected:
    QLC_String m_name;

private:
    void WriteOutCache();
    void SystemSeek(uint32_t position);
    void SystemSeekToPosition();

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    uint32_t m_position = 0;
    uint32_t m_system_position = 0;
    uint32_t m_size = 0;
    bool m_size_known = false;
    uint32_t m_cache_start = 0;
    uint32_t m_cache_length = 0;
    uint32_t m_cache_capacity = 0;
    uint8_t* m_cache = nullptr;
    bool m_dirty = false;
};
