#include "zstd_compress.h"

#include <zstd.h>

#include <new>
#include <stdexcept>

namespace tpe {
namespace {

void Check(size_t result) {
    if (ZSTD_isError(result)) {
        throw std::runtime_error(ZSTD_getErrorName(result));
    }
}

}  // namespace

int WindowLogFor(uint64_t size, int maxLog) {
    int log = 10;  // zstd's smallest window
    while (log < maxLog && (uint64_t{1} << log) < size) {
        ++log;
    }
    return log;
}

ZstdStreamEncoder::ZstdStreamEncoder(int level, int maxWindowLog, uint64_t totalSize)
    : m_context(ZSTD_createCCtx()) {
    if (!m_context) {
        throw std::bad_alloc();
    }
    int windowLog = WindowLogFor(totalSize, maxWindowLog);
    Check(ZSTD_CCtx_setParameter(m_context, ZSTD_c_compressionLevel, level));
    Check(ZSTD_CCtx_setParameter(m_context, ZSTD_c_windowLog, windowLog));
    Check(ZSTD_CCtx_setParameter(m_context, ZSTD_c_checksumFlag, 0));
    // Long-distance matching pays only when the window is large.
    if (windowLog >= 24) {
        Check(ZSTD_CCtx_setParameter(m_context, ZSTD_c_enableLongDistanceMatching, 1));
    }
    if (totalSize != kUnknownStreamSize) {
        Check(ZSTD_CCtx_setPledgedSrcSize(m_context, totalSize));
    }
}

ZstdStreamEncoder::~ZstdStreamEncoder() {
    ZSTD_freeCCtx(m_context);
}

void ZstdStreamEncoder::Compress(const uint8_t* data, size_t size, bool last,
                                 std::vector<uint8_t>& out) {
    ZSTD_inBuffer in = {data, size, 0};
    const ZSTD_EndDirective mode = last ? ZSTD_e_end : ZSTD_e_flush;
    for (;;) {
        size_t start = out.size();
        size_t room = ZSTD_CStreamOutSize();
        out.resize(start + room);
        ZSTD_outBuffer dst = {out.data() + start, room, 0};
        size_t pending = ZSTD_compressStream2(m_context, &dst, &in, mode);
        out.resize(start + dst.pos);
        Check(pending);
        if (pending == 0 && in.pos == in.size) {
            return;
        }
    }
}

}  // namespace tpe
