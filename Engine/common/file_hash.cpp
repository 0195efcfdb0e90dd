#include "file_hash.h"

#include <algorithm>
#include <vector>

namespace tpe {

bool HashFile(InputFile& file, Digest* digest, const ReadProgress& progress) {
    Sha256 hash;
    std::vector<uint8_t> buffer(1 << 20);
    const uint64_t size = file.Size();
    for (uint64_t pos = 0; pos < size;) {
        size_t n = size_t(std::min<uint64_t>(buffer.size(), size - pos));
        if (!file.ReadAt(pos, buffer.data(), n)) {
            return false;
        }
        hash.Update(buffer.data(), n);
        pos += n;
        if (progress && pos < size && !progress(pos, size)) {
            return false;
        }
    }
    *digest = hash.Finish();
    return true;
}

}  // namespace tpe
