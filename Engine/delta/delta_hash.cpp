#include "delta_hash.h"

#include <cstring>

#include "little_endian.h"

namespace tpe {
namespace {

constexpr uint64_t kPrimeA = 0x9e3779b185ebca87ull;
constexpr uint64_t kPrimeB = 0xc2b2ae3d27d4eb4full;

inline uint64_t RotateLeft(uint64_t value, int bits) {
    return (value << bits) | (value >> (64 - bits));
}

inline uint64_t Mix(uint64_t state, uint64_t word) {
    return RotateLeft(state ^ (word * kPrimeB), 29) * kPrimeA;
}

}  // namespace

void DeltaHash::MixWord(uint64_t word) {
    m_state = Mix(m_state, word);
}

void DeltaHash::Update(const void* data, size_t size) {
    if (size == 0) {
        return;  // data may be null then
    }
    const uint8_t* p = static_cast<const uint8_t*>(data);
    m_total += size;
    if (m_pendingSize > 0) {
        size_t take = 8 - m_pendingSize < size ? 8 - m_pendingSize : size;
        std::memcpy(m_pending + m_pendingSize, p, take);
        m_pendingSize += take;
        p += take;
        size -= take;
        if (m_pendingSize < 8) {
            return;
        }
        MixWord(GetLe64(m_pending));
        m_pendingSize = 0;
    }
    // In a local: written through the member, the state would be stored and reloaded for every
    // word, since the input bytes might alias it.
    uint64_t state = m_state;
    for (; size >= 8; p += 8, size -= 8) {
        state = Mix(state, GetLe64(p));
    }
    m_state = state;
    std::memcpy(m_pending, p, size);
    m_pendingSize = size;
}

uint64_t DeltaHash::Final() const {
    uint64_t h = m_state;
    const uint64_t tail = GetLe(m_pending, static_cast<int>(m_pendingSize));
    h = RotateLeft(h ^ ((tail + m_pendingSize) * kPrimeB), 29) * kPrimeA;
    h ^= m_total * kPrimeB;
    // Final avalanche so that every input bit reaches every output bit.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
}

uint64_t DeltaHash::Of(const void* data, size_t size) {
    DeltaHash hash;
    hash.Update(data, size);
    return hash.Final();
}

}  // namespace tpe
