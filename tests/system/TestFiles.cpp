#include "TestFiles.h"

long long DiskSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string Pattern(size_t n, unsigned seed) {
    std::string bytes(n, '\0');
    unsigned state = seed * 2654435761u + 12345u;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    return bytes;
}

std::string ReadUpTo(QLC_IFile& file, uint32_t count) {
    std::string bytes(count, '\0');
    bytes.resize(file.Read(&bytes[0], count));
    return bytes;
}
