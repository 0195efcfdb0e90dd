// A fast 64-bit checksum over a byte stream, fed in pieces of any size. It guards the delta and
// the rebuilt file against damage; it is not a cryptographic hash.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tpe {

class DeltaHash {
public:
    void Update(const void* data, size_t size);
    uint64_t Final() const;

    static uint64_t Of(const void* data, size_t size);

private:
    void MixWord(uint64_t word);

    uint64_t state_ = 0x6a09e667f3bcc909ull;
    uint64_t total_ = 0;
    uint8_t pending_[8] = {};
    size_t pendingSize_ = 0;
};

}  // namespace tpe
