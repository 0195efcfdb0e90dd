// A file held in a growable memory block.
#pragma once

#include "System/IFile.h"

#include <cstdint>

class QLC_FileSourceMemory : public QLC_IFileSource {
public:
    // The growth step of memory sources that files create from their flags.
    static constexpr uint32_t kFactoryGrowth = 1024;
    // The block a source opened without one starts with.
    static constexpr uint32_t kInitialCapacity = 16384;

    explicit QLC_FileSourceMemory(uint32_t growth);
    QLC_FileSourceMemory(const QLC_FileSourceMemory&) = delete;
    QLC_FileSourceMemory& operator=(const QLC_FileSourceMemory&) = delete;
    ~QLC_FileSourceMemory() override;

    // Memory has no handle: asserts and answers null.
    HANDLE GetHandle() override;
    bool IsMemory() const override { return true; }
    bool IsValid() const override { return m_data != nullptr; }
    // A block in the request (allocated with operator new) is adopted and freed by the source.
    bool Open(const QLC_FileOpenRequest& request) override;
    void Close() override;
    uint32_t Read(void* buffer, uint32_t count) override;
    void Write(const void* buffer, uint32_t count) override;
    uint32_t Tell() override { return m_position; }
    uint32_t GetSize() override { return m_size; }
    // Origin 2 adds the offset to the size; a position before the start throws "Bad Seek", one
    // beyond the end is allowed.
    uint32_t Seek(int32_t offset, int origin) override;
    void Abandon() override { Close(); }
    void Flush() override {}
    void WriteToFile(QLC_IFile& target, int option) override;
    void WriteToFile(const QLC_String& path, int option) override;

    virtual void* Allocate(uint32_t bytes);
    virtual void Free(void* block);
    // Grows the capacity by whole growth steps to at least bytes; returns the data.
    virtual uint8_t* Reserve(uint32_t bytes);
    virtual void SetSize(uint32_t size);

    uint32_t GetCapacity() const { return m_capacity; }
    const uint8_t* GetData() const { return m_data; }

private:
    uint32_t m_growth;
    uint32_t m_position = 0;
    uint32_t m_capacity = 0;
    uint32_t m_size = 0;
    uint8_t* m_data = nullptr;
    bool m_owns_data = true;
    QLC_String m_name;
};
