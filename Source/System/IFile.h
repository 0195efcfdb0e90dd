// The file interface, its open-flag word and open request, and the interface of the sources a
// file sits on (disk file, memory block, archive entry).
#pragma once

#include "Utility/String.h"

#include <windows.h>

#include <cstdint>

class QLC_IFile;
class TSC_WadReader;

struct QLC_FileOpenRequest {
    QLC_String path;
    // Where an archive entry starts inside its reader's current chunk.
    uint32_t entry_offset = 0;
    // A block a memory source adopts as its contents (freed by the source), or null.
    void* memory = nullptr;
    // Size of the memory block, or of the archive entry.
    uint32_t size = 0;
    uint32_t flags = 0;
    // The archive an entry is read through (not owned), or null.
    TSC_WadReader* wad = nullptr;
};

class QLC_IFile {
public:
    enum Flags : uint32_t {
        // Access mode: the low three bits hold exactly one of these.
        READ = 0x1,
        WRITE = 0x2,
        READ_WRITE = 0x4,
        ACCESS_MASK = 0x7,
        // Sharing; none of these bits means SHARE_READ.
        SHARE_NONE = 0x8,
        SHARE_READ = 0x10,
        SHARE_WRITE = 0x20,
        SHARE_READ_WRITE = 0x40,
        SHARE_MASK = 0x78,
        NO_INHERIT = 0x80,
        CREATE = 0x100,
        KEEP_EXISTING = 0x200,
        OS_NO_BUFFERING = 0x1000,
        OS_WRITE_THROUGH = 0x2000,
        OS_RANDOM_ACCESS = 0x4000,
        OS_SEQUENTIAL_SCAN = 0x8000,
        THROW_ON_ERROR = 0x20000,
        // Source kind: exactly SOURCE_MEMORY or SOURCE_WAD choose those; anything else is disk.
        SOURCE_MEMORY = 0x40000,
        SOURCE_DISK = 0x80000,
        SOURCE_WAD = 0x100000,
        SOURCE_MASK = 0x1c0000,
        NO_CACHE = 0x400000,
    };

    // Seek origins.
    enum Origin { FROM_START = 0, FROM_CURRENT = 1, FROM_END = 2 };

    virtual uint32_t Read(void* buffer, uint32_t count) = 0;
    virtual void Write(const void* buffer, uint32_t count) = 0;
    virtual bool CanRead() const = 0;
    virtual bool CanWrite() const = 0;
    virtual ~QLC_IFile() = default;
    virtual bool IsValid() const = 0;
    virtual uint32_t GetFlags() const = 0;
    virtual bool IsOpen() const = 0;
    virtual bool Open(const QLC_String& path, uint32_t flags) = 0;
    virtual bool Open(const QLC_FileOpenRequest& request) = 0;
    virtual void Close() = 0;
    virtual uint32_t Tell() = 0;
    virtual uint32_t GetSize() = 0;
    virtual uint32_t Seek(int32_t offset, int origin) = 0;
    // Closes without writing out pending data.
    virtual void Abandon() = 0;
    virtual void Flush() = 0;
    // Copies the whole content into an open target file.
    virtual void WriteTo(QLC_IFile& target, int option) = 0;
    // Creates the file at path and copies the whole content into it, zlib-compressed if asked.
    virtual void WriteToFile(const QLC_String& path, bool compress) = 0;
};

class QLC_IFileSource {
public:
    virtual ~QLC_IFileSource() = default;
    virtual HANDLE GetHandle() = 0;
    virtual bool IsMemory() const { return false; }
    virtual bool IsOnDisk() const { return false; }
    // Reserved for a packed kind of source this library does not have.
    virtual bool IsPacked() const { return false; }
    virtual bool IsInArchive() const { return false; }
    virtual bool IsValid() const = 0;
    virtual bool IsOpen() const { return m_open; }
    virtual uint32_t GetFlags() const { return m_flags; }
    virtual bool Open(const QLC_FileOpenRequest& request) = 0;
    virtual void Close() = 0;
    virtual uint32_t Read(void* buffer, uint32_t count) = 0;
    virtual void Write(const void* buffer, uint32_t count) = 0;
    virtual uint32_t Tell() = 0;
    virtual uint32_t GetSize() = 0;
    virtual uint32_t Seek(int32_t offset, int origin) = 0;
    virtual void Abandon() = 0;
    virtual void Flush() = 0;
    virtual bool IsEof() { return Tell() >= GetSize(); }
    // Sources that cannot copy themselves warn and write nothing.
    virtual void WriteToFile(QLC_IFile& target, int option);
    virtual void WriteToFile(const QLC_String& path, int option);

protected:
    uint32_t m_flags = 0;
    bool m_open = false;
};

// A source with a name and a size that can be set (disk files and archive entries).
class QLC_INamedFileSource : public QLC_IFileSource {
public:
    virtual const QLC_String& GetName() const = 0;
    virtual void SetSize(uint32_t size) = 0;
};
