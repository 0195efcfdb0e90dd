// The file object: one open-flag word chooses the source it sits on (disk file, memory block or
// archive entry) and how that source is opened.
#pragma once

#include "System/IFile.h"

class QLC_File : public QLC_IFile {
public:
    // The flags the library's copies create their target with: WRITE, SHARE_NONE, CREATE and
    // THROW_ON_ERROR.
    static constexpr uint32_t kCreateForCopy = WRITE | SHARE_NONE | CREATE | THROW_ON_ERROR;

    QLC_File() = default;
    // Opens at once; a failure throws QLC_FileException.
    QLC_File(const QLC_String& path, uint32_t flags);
    QLC_File(const QLC_File&) = delete;
    QLC_File& operator=(const QLC_File&) = delete;
    // Closes an open source; data that cannot be written out then is lost, never thrown.
    ~QLC_File() override;

    uint32_t Read(void* buffer, uint32_t count) override;
    void Write(const void* buffer, uint32_t count) override;
    bool CanRead() const override;
    bool CanWrite() const override;
    bool IsValid() const override;
    uint32_t GetFlags() const override;
    bool IsOpen() const override;
    bool Open(const QLC_String& path, uint32_t flags) override;
    bool Open(const QLC_FileOpenRequest& request) override;
    void Close() override;
    uint32_t Tell() override;
    uint32_t GetSize() override;
    uint32_t Seek(int32_t offset, int origin) override;
    void Abandon() override;
    void Flush() override;
    void WriteTo(QLC_IFile& target, int option) override;
    void WriteToFile(const QLC_String& path, bool compress) override;
    virtual bool IsCompressed() const { return false; }

    // The path of the last open.
    const QLC_String& GetName() const { return m_name; }
    // The source the file sits on, null while closed.
    QLC_IFileSource* GetSource() const { return m_source; }

private:
    // Throws when the file is closed: an operation on it is a caller's mistake, never a crash.
    QLC_IFileSource& Source() const;
    void DeleteSource();

    QLC_IFileSource* m_source = nullptr;
    QLC_String m_name;
};

// Whether the file can be opened for reading.
bool QLC_FileExists(const QLC_String& path);
