#pragma once
// The file operations the engine and the builder need, behind one interface: POSIX and Win32
// implementations, and wrappers in tests that inject failures. Paths are '/'-separated; the
// Win32 implementation turns them into '\'. 64-bit sizes and offsets throughout.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tpe {

enum class NodeKind { Missing, File, Folder, Link, Other, Error };

struct NodeInfo {
    NodeKind kind = NodeKind::Missing;
    uint64_t size = 0;
    bool readOnly = false;
    // Files: the permission bits (0777). Windows knows only the read-only attribute, shown as
    // 0444 or 0644.
    uint16_t mode = 0;
};

class InputFile {
public:
    virtual ~InputFile() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`; false on an error or a read past the end.
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
};

class OutputFile {
public:
    virtual ~OutputFile() = default;  // closes without reporting; call Close to check
    virtual bool Write(const void* data, size_t size) = 0;
    // Makes what was written durable (it survives a power loss), before anything relies on it.
    virtual bool Flush() = 0;
    virtual bool Close() = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual std::unique_ptr<InputFile> OpenRead(const std::string& path) = 0;
    // Creates a new file; fails when something of that name exists.
    virtual std::unique_ptr<OutputFile> CreateNew(const std::string& path) = 0;
    // Renames; fails when `to` exists.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    // Renames the file `from` over `to` in one step: `to` names the old file or the new one,
    // never nothing, also when the process dies meanwhile. `from` must be flushed first.
    virtual bool RenameOver(const std::string& from, const std::string& to) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    virtual bool MakeFolder(const std::string& path) = 0;
    virtual bool RemoveFolder(const std::string& path) = 0;  // empty folders only
    virtual NodeInfo Stat(const std::string& path) = 0;      // does not follow links
    virtual bool SetReadOnly(const std::string& path, bool readOnly) = 0;
    // Sets a file's permission bits (0777); Windows keeps the owner's write bit alone, as the
    // read-only attribute.
    virtual bool SetMode(const std::string& path, uint16_t mode) = 0;
    // Symbolic links exist on POSIX systems only; elsewhere the two calls below fail.
    virtual bool LinksSupported() const = 0;
    // Creates a symbolic link at `path` holding `target` ('/'-separated, as stored).
    virtual bool MakeLink(const std::string& path, const std::string& target) = 0;
    virtual bool ReadLink(const std::string& path, std::string* target) = 0;
    virtual bool FreeSpace(const std::string& folder, uint64_t* bytes) = 0;
    // Names in `folder`, without "." and "..".
    virtual bool List(const std::string& folder, std::vector<std::string>* names) = 0;
    // The longest path the system opens, in bytes; 0 when it sets no limit of its own.
    virtual size_t PathLimit() const { return 0; }
};

FileSystem& NativeFileSystem();

// Whether an installed file's mode (NodeInfo::mode) is the one a patch records for it. Windows
// compares the owner's write bit alone, the only one it keeps.
bool ModeMatches(uint16_t installed, uint16_t recorded);

// Permission bits carried by patches: read, write and execute for owner, group and others.
constexpr uint16_t kModeBits = 0777;

// `folder` + '/' + `relative`, without doubling a separator that `folder` already ends with.
std::string JoinPath(const std::string& folder, const std::string& relative);
// The folder part of a '/'-separated path, empty when there is none.
std::string ParentPath(const std::string& path);

}  // namespace tpe
