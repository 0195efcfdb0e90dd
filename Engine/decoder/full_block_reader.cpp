#include "full_block_reader.h"

#include <zstd.h>

#include <memory>
#include <vector>

#include "payload_format.h"

namespace tpe {

DeltaStatus DecodeFullBlock(DeltaPatchSource& block, DeltaSink& out, uint64_t expectedSize,
                            const std::function<bool(uint64_t)>& progress) {
    std::unique_ptr<ZSTD_DStream, size_t (*)(ZSTD_DStream*)> stream(ZSTD_createDStream(),
                                                                    ZSTD_freeDStream);
    if (!stream) {
        return DeltaStatus::OutOfMemory;
    }
    // A frame asking for a larger window than the writer uses is refused, not allocated.
    ZSTD_DCtx_setParameter(stream.get(), ZSTD_d_windowLogMax, kFullBlockWindowLog);
    std::vector<char> in(ZSTD_DStreamInSize()), buffer(ZSTD_DStreamOutSize());
    uint64_t written = 0, reported = 0;
    size_t frameLeft = 1;
    while (true) {
        long long got = block.Read(in.data(), in.size());
        if (got < 0) {
            return DeltaStatus::Corrupt;
        }
        if (got == 0) {
            break;
        }
        ZSTD_inBuffer input = {in.data(), size_t(got), 0};
        while (input.pos < input.size) {
            ZSTD_outBuffer output = {buffer.data(), buffer.size(), 0};
            frameLeft = ZSTD_decompressStream(stream.get(), &output, &input);
            if (ZSTD_isError(frameLeft) || output.pos > expectedSize - written ||
                (frameLeft == 0 && input.pos < input.size)) {
                return DeltaStatus::Corrupt;
            }
            if (output.pos > 0 && !out.Write(buffer.data(), output.pos)) {
                return DeltaStatus::WriteFailed;
            }
            written += output.pos;
            if (progress && written - reported >= (1u << 20)) {
                reported = written;
                if (!progress(written)) {
                    return DeltaStatus::Cancelled;
                }
            }
        }
    }
    // Drain what the decoder still holds.
    while (frameLeft != 0) {
        ZSTD_inBuffer input = {in.data(), 0, 0};
        ZSTD_outBuffer output = {buffer.data(), buffer.size(), 0};
        frameLeft = ZSTD_decompressStream(stream.get(), &output, &input);
        if (ZSTD_isError(frameLeft) || output.pos == 0 || output.pos > expectedSize - written) {
            return DeltaStatus::Corrupt;
        }
        if (!out.Write(buffer.data(), output.pos)) {
            return DeltaStatus::WriteFailed;
        }
        written += output.pos;
    }
    if (written != expectedSize) {
        return DeltaStatus::Corrupt;
    }
    return progress && !progress(written) ? DeltaStatus::Cancelled : DeltaStatus::Ok;
}

}  // namespace tpe
