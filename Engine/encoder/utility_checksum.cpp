#include "utility_checksum.h"

#include <vector>

namespace tpe {
namespace {

// 7^n modulo 2^32, for the zero bytes past the end.
uint32_t PowerOfSeven(uint64_t n) {
    uint32_t result = 1, base = 7;
    for (; n > 0; n >>= 1) {
        if (n & 1) {
            result *= base;
        }
        base *= base;
    }
    return result;
}

}  // namespace

uint32_t UtilityChecksum(const uint8_t* data, uint64_t size, int64_t length) {
    uint64_t n = (length == 0 || length == -1) ? size : uint64_t(length);
    uint32_t h = 0;
    uint64_t real = n < size ? n : size;
    for (uint64_t i = 0; i < real; ++i) {
        h = h * 7 + data[i];
    }
    return h * PowerOfSeven(n - real);
}

bool UtilityFileChecksum(FileSystem& fs, const std::string& path, int64_t length, uint32_t* sum) {
    std::unique_ptr<InputFile> file = fs.OpenRead(path);
    if (!file) {
        return false;
    }
    uint64_t size = file->Size();
    uint64_t want = (length == 0 || length == -1) ? size : uint64_t(length);
    uint64_t read = want < size ? want : size;
    std::vector<uint8_t> bytes(static_cast<size_t>(read));
    if (read > 0 && !file->ReadAt(0, bytes.data(), bytes.size())) {
        return false;
    }
    *sum = UtilityChecksum(bytes.data(), read, int64_t(want));
    return true;
}

}  // namespace tpe
