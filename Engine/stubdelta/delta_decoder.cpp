#include "delta_decoder.h"

#include <zstd.h>

#include <vector>

namespace tpe {

const char* DeltaStatusText(DeltaStatus status) {
    switch (status) {
        case DeltaStatus::Ok:
            return "ok";
        case DeltaStatus::Corrupt:
            return "corrupt delta";
        case DeltaStatus::OldReadFailed:
            return "old file unreadable";
        case DeltaStatus::WriteFailed:
            return "write failed";
        case DeltaStatus::TooLarge:
            return "delta too large";
        case DeltaStatus::Cancelled:
            return "cancelled";
        case DeltaStatus::OutOfMemory:
            return "out of memory";
    }
    return "unknown";
}

DeltaStatus DecodeDelta(DeltaOldSource&, DeltaPatchSource& patch, DeltaSink& out,
                        uint64_t expectedNewSize, const std::function<bool(uint64_t)>& progress) {
    ZSTD_DStream* stream = ZSTD_createDStream();
    if (stream == nullptr) {
        return DeltaStatus::OutOfMemory;
    }
    ZSTD_DCtx_setParameter(stream, ZSTD_d_windowLogMax, 27);
    std::vector<char> in(ZSTD_DStreamInSize()), buffer(ZSTD_DStreamOutSize());
    uint64_t written = 0, reported = 0;
    DeltaStatus status = DeltaStatus::Ok;
    size_t last = 1;
    bool ended = false;
    while (status == DeltaStatus::Ok && !ended) {
        long long got = patch.Read(in.data(), in.size());
        if (got < 0) {
            status = DeltaStatus::Corrupt;
            break;
        }
        if (got == 0) {
            ended = true;
            break;
        }
        ZSTD_inBuffer input = {in.data(), size_t(got), 0};
        do {
            ZSTD_outBuffer output = {buffer.data(), buffer.size(), 0};
            last = ZSTD_decompressStream(stream, &output, &input);
            if (ZSTD_isError(last)) {
                status = DeltaStatus::Corrupt;
                break;
            }
            if (output.pos > expectedNewSize - written) {
                status = DeltaStatus::Corrupt;
                break;
            }
            if (output.pos > 0 && !out.Write(buffer.data(), output.pos)) {
                status = DeltaStatus::WriteFailed;
                break;
            }
            written += output.pos;
            if (progress && written - reported >= (1u << 20)) {
                reported = written;
                if (!progress(written)) {
                    status = DeltaStatus::Cancelled;
                }
            }
            if (input.pos == input.size && output.pos < output.size) {
                break;
            }
        } while (status == DeltaStatus::Ok);
    }
    ZSTD_freeDStream(stream);
    if (status == DeltaStatus::Ok && (last != 0 || written != expectedNewSize)) {
        status = DeltaStatus::Corrupt;
    }
    if (status == DeltaStatus::Ok && progress && !progress(written)) {
        status = DeltaStatus::Cancelled;
    }
    return status;
}

}  // namespace tpe
