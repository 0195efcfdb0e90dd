#pragma once
// SHA-256, used to name file contents in the payload and to check every file the engine writes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tpe {

using Digest = std::array<uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    void Update(const void* data, size_t size);
    Digest Finish();

    // Tests compare the portable code with the processor's SHA instructions.
    static void AllowHardware(bool allow);
    static bool HardwareAvailable();

private:
    void Blocks(const uint8_t* data, size_t count);
    uint32_t m_state[8];
    uint8_t m_buffer[64];
    size_t m_buffered = 0;
    uint64_t m_length = 0;
};

Digest Sha256Of(const void* data, size_t size);
std::string DigestHex(const Digest& digest);

}  // namespace tpe
