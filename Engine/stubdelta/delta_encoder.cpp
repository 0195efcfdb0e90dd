#include "delta_encoder.h"

#include <zstd.h>

namespace tpe {

std::vector<uint8_t> EncodeDelta(const uint8_t*, uint64_t, const uint8_t* newData, uint64_t newSize,
                                 const DeltaEncodeOptions& options) {
    ZSTD_CCtx* ctx = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(ctx, ZSTD_c_compressionLevel, options.level);
    ZSTD_CCtx_setParameter(ctx, ZSTD_c_windowLog, 27);
    std::vector<uint8_t> out(ZSTD_compressBound(size_t(newSize)));
    size_t size = ZSTD_compress2(ctx, out.data(), out.size(), newData, size_t(newSize));
    ZSTD_freeCCtx(ctx);
    out.resize(ZSTD_isError(size) ? 0 : size);
    return out;
}

}  // namespace tpe
