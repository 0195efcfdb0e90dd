#include "patchinfo/FileChecksum.h"

#include "System/File.h"

namespace {

// h * 7^count: the effect of `count` zero bytes, without reading them one by one. A hostile
// length of two billion must not keep the utility busy for minutes.
uint32_t AppendZeros(uint32_t h, uint32_t count) {
    uint32_t factor = 7;
    while (count) {
        if (count & 1) {
            h *= factor;
        }
        factor *= factor;
        count >>= 1;
    }
    return h;
}

}  // namespace

uint32_t ChecksumOfOpenFile(QLC_IFile& file, int32_t length) {
    file.Seek(0, QLC_IFile::FROM_START);
    uint32_t wanted = length > 0 ? static_cast<uint32_t>(length) : file.GetSize();
    uint32_t h = 0;
    uint32_t done = 0;
    unsigned char buffer[16384];
    while (done < wanted) {
        uint32_t chunk = wanted - done < sizeof buffer ? wanted - done : sizeof buffer;
        uint32_t got = file.Read(buffer, chunk);
        if (got == 0) {
            break;
        }
        for (uint32_t i = 0; i < got; ++i) {
            h = h * 7 + buffer[i];
        }
        done += got;
    }
    return AppendZeros(h, wanted - done);
}

uint32_t FileChecksum(const QLC_String& path, int32_t length) {
    QLC_File file;
    if (!file.Open(path, QLC_IFile::READ | QLC_IFile::SHARE_READ)) {
        return 0;
    }
    uint32_t sum = ChecksumOfOpenFile(file, length);
    file.Close();
    return sum;
}

uint32_t DecimalFieldValue(const QLC_String& text) {
    const char* p = text.c_str();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
    }
    uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint32_t>(*p - '0');
    }
    return negative ? 0u - value : value;
}
