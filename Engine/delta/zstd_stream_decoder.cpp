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

void ZstdStreamDecoder::StartPart(uint64_t compressedSize) {
    unread_ = compressedSize;
    inPos_ = inSize_ = 0;
}

DeltaStatus ZstdStreamDecoder::Step(PatchReader& reader, uint8_t* out, size_t room,
                                    size_t& produced, bool& finished) {
    produced = 0;
    finished = false;
    if (inPos_ == inSize_ && unread_ > 0) {
        size_t take = unread_ < inputSize_ ? static_cast<size_t>(unread_) : inputSize_;
        if (!reader.ReadExact(input_.get(), take))
            return DeltaStatus::Corrupt;
        unread_ -= take;
        inPos_ = 0;
        inSize_ = take;
    }
    // The frame ended: anything after it is not ours to decode. (Calling zstd again would
    // start a new frame.)
    if (frameDone_) {
        finished = true;
        return inPos_ < inSize_ ? DeltaStatus::Corrupt : DeltaStatus::Ok;
    }
    ZSTD_inBuffer in = {input_.get(), inSize_, inPos_};
    ZSTD_outBuffer output = {out, room, 0};
    size_t result = ZSTD_decompressStream(context_, &output, &in);
    if (ZSTD_isError(result)) {
        return ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation ? DeltaStatus::OutOfMemory
                                                                         : DeltaStatus::Corrupt;
    }
    inPos_ = in.pos;
    frameDone_ = result == 0;
    produced = output.pos;
    // With input used up and room left in the output, zstd has flushed all it can.
    finished = inPos_ == inSize_ && unread_ == 0 && output.pos < output.size;
    return DeltaStatus::Ok;
}

DeltaStatus ZstdStreamDecoder::Decode(PatchReader& reader, uint64_t compressedSize,
                                      const Emit& emit) {
    // Each part decodes completely (the encoder flushes at its end), so an empty part has
    // nothing to give; zstd also fails calls that make no progress once they add up.
    if (compressedSize == 0)
        return DeltaStatus::Ok;
    StartPart(compressedSize);
    for (;;) {
        size_t produced;
        bool finished;
        DeltaStatus status = Step(reader, output_.get(), outputSize_, produced, finished);
        if (status == DeltaStatus::Ok && produced > 0)
            status = emit(output_.get(), produced);
        if (status != DeltaStatus::Ok || finished)
            return status;
    }
}

DeltaStatus ZstdStreamDecoder::DecodeExact(PatchReader& reader, uint64_t compressedSize,
                                           size_t expectedSize, std::vector<uint8_t>& out) {
    out.resize(expectedSize);
    if (compressedSize == 0)
        return expectedSize == 0 ? DeltaStatus::Ok : DeltaStatus::Corrupt;
    StartPart(compressedSize);
    size_t filled = 0;
    for (;;) {
        // Straight into place; once the part is full the staging buffer catches any excess.
        const bool full = filled == expectedSize;
        size_t produced;
        bool finished;
        DeltaStatus status =
            full ? Step(reader, output_.get(), outputSize_, produced, finished)
                 : Step(reader, out.data() + filled, expectedSize - filled, produced, finished);
        if (status != DeltaStatus::Ok)
            return status;
        if (full && produced > 0)
            return DeltaStatus::Corrupt;  // more than the part declares
        filled += produced;
        if (finished)
            return filled == expectedSize ? DeltaStatus::Ok : DeltaStatus::Corrupt;
    }
}

}  // namespace tpe
