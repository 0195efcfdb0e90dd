#include "zstd_stream_decoder.h"

#include <zstd.h>
#include <zstd_errors.h>

#include "refuse.h"

namespace tpe {

ZstdStreamDecoder::ZstdStreamDecoder(int windowLogMax) : m_windowLogMax(windowLogMax) {}

ZstdStreamDecoder::~ZstdStreamDecoder() {
    ZSTD_freeDCtx(m_context);
}

DeltaStatus ZstdStreamDecoder::Init() {
    m_context = ZSTD_createDCtx();
    if (!m_context) {
        return DeltaStatus::OutOfMemory;
    }
    if (ZSTD_isError(ZSTD_DCtx_setParameter(m_context, ZSTD_d_windowLogMax, m_windowLogMax))) {
        return DeltaStatus::OutOfMemory;
    }
    m_inputSize = ZSTD_DStreamInSize();
    m_outputSize = ZSTD_DStreamOutSize();
    m_input.reset(new uint8_t[m_inputSize]);
    m_output.reset(new uint8_t[m_outputSize]);
    return DeltaStatus::Ok;
}

void ZstdStreamDecoder::StartPart(uint64_t compressedSize) {
    m_unread = compressedSize;
    m_inPos = m_inSize = 0;
}

DeltaStatus ZstdStreamDecoder::Step(PatchReader& reader, uint8_t* out, size_t room,
                                    size_t& produced, bool& finished) {
    produced = 0;
    finished = false;
    if (m_inPos == m_inSize && m_unread > 0) {
        size_t take = m_unread < m_inputSize ? static_cast<size_t>(m_unread) : m_inputSize;
        REFUSE_IF(!reader.ReadExact(m_input.get(), take), DeltaStatus::Corrupt);
        m_unread -= take;
        m_inPos = 0;
        m_inSize = take;
    }
    // The frame ended: anything after it is not ours to decode. (Calling zstd again would
    // start a new frame.)
    if (m_frameDone) {
        finished = true;
        return m_inPos < m_inSize ? DeltaStatus::Corrupt : DeltaStatus::Ok;
    }
    ZSTD_inBuffer in = {m_input.get(), m_inSize, m_inPos};
    ZSTD_outBuffer output = {out, room, 0};
    size_t result = ZSTD_decompressStream(m_context, &output, &in);
    if (ZSTD_isError(result)) {
        return ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation ? DeltaStatus::OutOfMemory
                                                                         : DeltaStatus::Corrupt;
    }
    m_inPos = in.pos;
    m_frameDone = result == 0;
    produced = output.pos;
    // With input used up and room left in the output, zstd has flushed all it can.
    finished = m_inPos == m_inSize && m_unread == 0 && output.pos < output.size;
    return DeltaStatus::Ok;
}

DeltaStatus ZstdStreamDecoder::Decode(PatchReader& reader, uint64_t compressedSize,
                                      const Emit& emit) {
    // Each part decodes completely (the encoder flushes at its end), so an empty part has
    // nothing to give; zstd also fails calls that make no progress once they add up.
    if (compressedSize == 0) {
        return DeltaStatus::Ok;
    }
    StartPart(compressedSize);
    for (;;) {
        size_t produced;
        bool finished;
        DeltaStatus status = Step(reader, m_output.get(), m_outputSize, produced, finished);
        if (status == DeltaStatus::Ok && produced > 0) {
            status = emit(m_output.get(), produced);
        }
        if (status != DeltaStatus::Ok || finished) {
            return status;
        }
    }
}

DeltaStatus ZstdStreamDecoder::DecodeExact(PatchReader& reader, uint64_t compressedSize,
                                           size_t expectedSize, std::vector<uint8_t>& out) {
    out.resize(expectedSize);
    if (compressedSize == 0) {
        return expectedSize == 0 ? DeltaStatus::Ok : DeltaStatus::Corrupt;
    }
    StartPart(compressedSize);
    size_t filled = 0;
    for (;;) {
        // Straight into place; once the part is full the staging buffer catches any excess.
        const bool full = filled == expectedSize;
        size_t produced;
        bool finished;
        DeltaStatus status =
            full ? Step(reader, m_output.get(), m_outputSize, produced, finished)
                 : Step(reader, out.data() + filled, expectedSize - filled, produced, finished);
        if (status != DeltaStatus::Ok) {
            return status;
        }
        REFUSE_IF(full && produced > 0, DeltaStatus::Corrupt);  // more than the part declares
        filled += produced;
        if (finished) {
            return filled == expectedSize ? DeltaStatus::Ok : DeltaStatus::Corrupt;
        }
    }
}

}  // namespace tpe
