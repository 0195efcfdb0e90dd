#pragma once
// zstd compression as the delta writes it: our window limits, no zstd checksum (the delta
// carries its own), and streams that can be flushed part by part.

#include <cstddef>
#include <cstdint>
#include <vector>

struct ZSTD_CCtx_s;

namespace tpe {

// Smallest window log that covers `size` bytes, within zstd's minimum and `maxLog`.
int WindowLogFor(uint64_t size, int maxLog);

constexpr uint64_t kUnknownStreamSize = UINT64_MAX;

class ZstdStreamEncoder {
public:
    // `totalSize` is the exact number of bytes the whole stream will be given, or
    // kUnknownStreamSize when the stream is fed as it is made (the window is then maxWindowLog).
    ZstdStreamEncoder(int level, int maxWindowLog, uint64_t totalSize);
    ~ZstdStreamEncoder();
    ZstdStreamEncoder(const ZstdStreamEncoder&) = delete;
    ZstdStreamEncoder& operator=(const ZstdStreamEncoder&) = delete;

    // Compresses the next part and appends it to `out`, flushed so that it decodes without
    // the parts after it; `last` ends the frame. Throws std::bad_alloc or std::runtime_error.
    void Compress(const uint8_t* data, size_t size, bool last, std::vector<uint8_t>& out);

private:
    ZSTD_CCtx_s* m_context;
};

}  // namespace tpe
