#pragma once
// A fast 64-bit checksum over a byte stream, fed in pieces of any size. It guards the delta and
// the rebuilt file against damage; it is not a cryptographic hash.

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

    uint64_t m_state = 0x6a09e667f3bcc909ull;
    uint64_t m_total = 0;
    uint8_t m_pending[8] = {};
    size_t m_pendingSize = 0;
};

}  // namespace tpe
