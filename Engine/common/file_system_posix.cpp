// POSIX file operations (Linux builds).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "file_system.h"

namespace tpe {
namespace {

class PosixInput : public InputFile {
public:
    PosixInput(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    ~PosixInput() override { close(m_fd); }
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        char* p = static_cast<char*>(buffer);
        while (size > 0) {
            ssize_t got = pread(m_fd, p, size, off_t(offset));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return false;
            }
            p += got;
            offset += uint64_t(got);
            size -= size_t(got);
        }
        return true;
    }

private:
    int m_fd;
    uint64_t m_size;
};

class PosixOutput : public OutputFile {
public:
    explicit PosixOutput(int fd) : m_fd(fd) {}
    ~PosixOutput() override {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    bool Write(const void* data, size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            ssize_t put = write(m_fd, p, size);
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                return false;
            }
            p += put;
            size -= size_t(put);
        }
        return true;
    }
    bool Flush() override { return fsync(m_fd) == 0; }
    bool Close() override {
        int fd = m_fd;
        m_fd = -1;
        return close(fd) == 0;
    }

private:
    int m_fd;
};

class PosixFileSystem : public FileSystem {
public:
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return nullptr;
        }
        struct stat st;
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            close(fd);
            return nullptr;
        }
        return std::make_unique<PosixInput>(fd, uint64_t(st.st_size));
    }
    std::unique_ptr<OutputFile> CreateNew(const std::string& path) override {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            return nullptr;
        }
        return std::make_unique<PosixOutput>(fd);
    }
    bool Rename(const std::string& from, const std::string& to) override {
        struct stat st;
        if (lstat(to.c_str(), &st) == 0) {
            return false;
        }
        return rename(from.c_str(), to.c_str()) == 0;
    }
    bool RenameOver(const std::string& from, const std::string& to) override {
        return rename(from.c_str(), to.c_str()) == 0;
    }
    bool RemoveFile(const std::string& path) override { return unlink(path.c_str()) == 0; }
    bool MakeFolder(const std::string& path) override { return mkdir(path.c_str(), 0755) == 0; }
    bool RemoveFolder(const std::string& path) override { return rmdir(path.c_str()) == 0; }
    NodeInfo Stat(const std::string& path) override {
        NodeInfo info;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) {
            info.kind = (errno == ENOENT || errno == ENOTDIR) ? NodeKind::Missing : NodeKind::Error;
            return info;
        }
        if (S_ISLNK(st.st_mode)) {
            info.kind = NodeKind::Link;
        } else if (S_ISREG(st.st_mode)) {
            info.kind = NodeKind::File;
            info.size = uint64_t(st.st_size);
            info.readOnly = (st.st_mode & S_IWUSR) == 0;
            info.mode = uint16_t(st.st_mode & kModeBits);
        } else if (S_ISDIR(st.st_mode)) {
            info.kind = NodeKind::Folder;
        } else {
            info.kind = NodeKind::Other;
        }
        return info;
    }
    bool SetReadOnly(const std::string& path, bool readOnly) override {
        struct stat st;
        if (stat(path.c_str(), &st) != 0) {
            return false;
        }
        mode_t mode = st.st_mode & 07777;
        mode = readOnly ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
        return chmod(path.c_str(), mode) == 0;
    }
    bool SetMode(const std::string& path, uint16_t mode) override {
        return chmod(path.c_str(), mode_t(mode & kModeBits)) == 0;
    }
    bool LinksSupported() const override { return true; }
    bool MakeLink(const std::string& path, const std::string& target) override {
        return symlink(target.c_str(), path.c_str()) == 0;
    }
    bool ReadLink(const std::string& path, std::string* target) override {
        char buffer[4096];
        ssize_t got = readlink(path.c_str(), buffer, sizeof(buffer));
        if (got < 0 || size_t(got) >= sizeof(buffer)) {
            return false;
        }
        target->assign(buffer, size_t(got));
        return true;
    }
    bool FreeSpace(const std::string& folder, uint64_t* bytes) override {
        struct statvfs vfs;
        if (statvfs(folder.c_str(), &vfs) != 0) {
            return false;
        }
        *bytes = uint64_t(vfs.f_bavail) * vfs.f_frsize;
        return true;
    }
    bool List(const std::string& folder, std::vector<std::string>* names) override {
        DIR* dir = opendir(folder.c_str());
        if (dir == nullptr) {
            return false;
        }
        while (struct dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") {
                names->push_back(name);
            }
        }
        closedir(dir);
        return true;
    }
};

}  // namespace

FileSystem& NativeFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

bool ModeMatches(uint16_t installed, uint16_t recorded) {
    return (installed & kModeBits) == (recorded & kModeBits);
}

}  // namespace tpe
