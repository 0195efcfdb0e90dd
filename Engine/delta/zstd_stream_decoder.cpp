#include "zstd_stream_decoder.h"

#include <zstd.h>
#include <zstd_errors.h>

namespace tpe {

ZstdStreamDecoder::ZstdStreamDecoder(int windowLogMax) : windowLogMax_(windowLogMax) {}

ZstdStreamDecoder::~ZstdStreamDecoder() {
    ZSTD_freeDCtx(context_);
}

DeltaStatus ZstdStreamDecoder::Init() {
    context_ = ZSTD_createDCtx();
    if (!context_)
        return DeltaStatus::OutOfMemory;
    if (ZSTD_isError(ZSTD_DCtx_setParameter(context_, ZSTD_d_windowLogMax, windowLogMax_)))
        return DeltaStatus::OutOfMemory;
    inputSize_ = ZSTD_DStreamInSize();
    outputSize_ = ZSTD_DStreamOutSize();
    input_.reset(new uint8_t[inputSize_]);
    output_.reset(new uint8_t[outputSize_]);
    return DeltaStatus::Ok;
}

DeltaStatus ZstdStreamDecoder::Decode(PatchReader& reader, uint64_t compressedSize,
                                      const Emit& emit) {
    // Each part decodes completely (the encoder flushes at its end), so an empty part has
    // nothing to give; zstd also fails calls that make no progress once they add up.
    if (compressedSize == 0)
        return DeltaStatus::Ok;
    uint64_t unread = compressedSize;
    ZSTD_inBuffer in = {input_.get(), 0, 0};
    for (;;) {
        if (in.pos == in.size && unread > 0) {
            size_t take = unread < inputSize_ ? static_cast<size_t>(unread) : inputSize_;
            if (!reader.ReadExact(input_.get(), take))
                return DeltaStatus::Corrupt;
            unread -= take;
            in = {input_.get(), take, 0};
        }
        // The frame ended: anything after it is not ours to decode. (Calling zstd again
        // would start a new frame.)
        if (frameDone_)
            return in.pos < in.size ? DeltaStatus::Corrupt : DeltaStatus::Ok;
        ZSTD_outBuffer out = {output_.get(), outputSize_, 0};
        size_t result = ZSTD_decompressStream(context_, &out, &in);
        if (ZSTD_isError(result)) {
            return ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation
                       ? DeltaStatus::OutOfMemory
                       : DeltaStatus::Corrupt;
        }
        frameDone_ = result == 0;
        if (out.pos > 0) {
            DeltaStatus status = emit(output_.get(), out.pos);
            if (status != DeltaStatus::Ok)
                return status;
        }
        // With input used up and room left in the output, zstd has flushed all it can.
        if (in.pos == in.size && unread == 0 && out.pos < out.size)
            return DeltaStatus::Ok;
    }
}

DeltaStatus ZstdStreamDecoder::DecodeExact(PatchReader& reader, uint64_t compressedSize,
                                           size_t expectedSize, std::vector<uint8_t>& out) {
    // Decoded straight into place; the staging buffer only catches output beyond the part.
    out.resize(expectedSize);
    if (compressedSize == 0)
        return expectedSize == 0 ? DeltaStatus::Ok : DeltaStatus::Corrupt;
    uint64_t unread = compressedSize;
    ZSTD_inBuffer in = {input_.get(), 0, 0};
    ZSTD_outBuffer dest = {out.data(), expectedSize, 0};
    for (;;) {
        if (in.pos == in.size && unread > 0) {
            size_t take = unread < inputSize_ ? static_cast<size_t>(unread) : inputSize_;
            if (!reader.ReadExact(input_.get(), take))
                return DeltaStatus::Corrupt;
            unread -= take;
            in = {input_.get(), take, 0};
        }
        if (frameDone_)
            return in.pos < in.size || dest.pos != expectedSize ? DeltaStatus::Corrupt
                                                                : DeltaStatus::Ok;
        ZSTD_outBuffer spill = {output_.get(), outputSize_, 0};
        ZSTD_outBuffer& target = dest.pos < dest.size ? dest : spill;
        size_t result = ZSTD_decompressStream(context_, &target, &in);
        if (ZSTD_isError(result)) {
            return ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation
                       ? DeltaStatus::OutOfMemory
                       : DeltaStatus::Corrupt;
        }
        frameDone_ = result == 0;
        if (spill.pos > 0)
            return DeltaStatus::Corrupt;  // more than the part holds
        if (in.pos == in.size && unread == 0 && target.pos < target.size)
            return dest.pos == expectedSize ? DeltaStatus::Ok : DeltaStatus::Corrupt;
    }
}

}  // namespace tpe
