// Sequential, buffered reads of a delta that checksum every byte consumed, so the trailer can
// be checked against all that came before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "delta_decoder.h"
#include "delta_hash.h"

namespace tpe {

class PatchReader {
public:
    explicit PatchReader(DeltaPatchSource& source);

    // False when the delta ends early or the source fails (see Failed()).
    bool ReadExact(void* buffer, size_t size);
    bool ReadVarint(uint64_t& value);
    // Up to `size` bytes, at least one unless the delta ended or failed; the count read.
    size_t ReadSome(void* buffer, size_t size);
    // True when no byte is left; false also when the source fails.
    bool AtEnd();

    bool Failed() const { return m_failed; }
    // Checksum of every byte consumed so far.
    uint64_t ConsumedHash() const { return m_hash.Final(); }

private:
    bool Fill();

    DeltaPatchSource& m_source;
    std::vector<uint8_t> m_buffer;
    size_t m_pos = 0;
    size_t m_end = 0;
    bool m_ended = false;
    bool m_failed = false;
    DeltaHash m_hash;
};

}  // namespace tpe
