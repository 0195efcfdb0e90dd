#include "TestFiles.h"

void WriteDiskFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    e2e::WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

std::vector<unsigned char> ReadDiskFile(const std::string& path) {
    const std::string contents = e2e::ReadFile(path);
    return std::vector<unsigned char>(contents.begin(), contents.end());
}

long long DiskSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<unsigned char> Pattern(size_t n, unsigned seed) {
    std::vector<unsigned char> bytes(n);
    unsigned state = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < n; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<unsigned char>(state >> 16);
    }
    return bytes;
}

std::vector<unsigned char> Slice(const std::vector<unsigned char>& bytes, size_t from,
                                 size_t count) {
    return std::vector<unsigned char>(bytes.begin() + from, bytes.begin() + from + count);
}

std::vector<unsigned char> ReadUpTo(QLC_IFile& file, uint32_t count) {
    std::vector<unsigned char> bytes(count);
    bytes.resize(file.Read(bytes.data(), count));
    return bytes;
}
