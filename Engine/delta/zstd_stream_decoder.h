// One zstd stream inside a delta, decoded in parts of declared compressed size with a bounded
// window, so a hostile frame can neither allocate without limit nor overrun its part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "delta_status.h"
#include "patch_reader.h"

struct ZSTD_DCtx_s;

namespace tpe {

class ZstdStreamDecoder {
public:
    explicit ZstdStreamDecoder(int windowLogMax);
    ~ZstdStreamDecoder();
    ZstdStreamDecoder(const ZstdStreamDecoder&) = delete;
    ZstdStreamDecoder& operator=(const ZstdStreamDecoder&) = delete;

    // OutOfMemory when the context could not be made.
    DeltaStatus Init();

    // Feeds the next `compressedSize` delta bytes to the stream and hands every decoded piece to
    // `emit`; stops at the first status emit returns other than Ok.
    using Emit = std::function<DeltaStatus(const uint8_t*, size_t)>;
    DeltaStatus Decode(PatchReader& reader, uint64_t compressedSize, const Emit& emit);

    // Decodes the next part into `out`, which must end up holding exactly `expectedSize` bytes.
    DeltaStatus DecodeExact(PatchReader& reader, uint64_t compressedSize, size_t expectedSize,
                            std::vector<uint8_t>& out);

    // True once the frame ended; the stream must end exactly with its last part.
    bool FrameDone() const { return m_frameDone; }

private:
    void StartPart(uint64_t compressedSize);
    // One call of zstd on the current part, refilling its input first when used up; writes
    // `produced` bytes at `out` (room for `room`). `finished` once the part is used up and zstd
    // has flushed all it can, or the frame has ended.
    DeltaStatus Step(PatchReader& reader, uint8_t* out, size_t room, size_t& produced,
                     bool& finished);

    int m_windowLogMax;
    ZSTD_DCtx_s* m_context = nullptr;
    // Not zero-filled: zstd writes before it reads.
    std::unique_ptr<uint8_t[]> m_input;
    std::unique_ptr<uint8_t[]> m_output;
    size_t m_inputSize = 0;
    size_t m_outputSize = 0;
    bool m_frameDone = false;
    uint64_t m_unread = 0;  // of the current part, not yet read from the delta
    size_t m_inPos = 0;
    size_t m_inSize = 0;
};

}  // namespace tpe
