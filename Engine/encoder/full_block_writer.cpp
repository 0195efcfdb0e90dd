#include "full_block_writer.h"

#include <zstd.h>

#include "payload_format.h"

namespace tpe {

std::vector<uint8_t> CompressFullBlock(const uint8_t* data, uint64_t size, int level) {
    ZSTD_CCtx* context = ZSTD_createCCtx();
    if (context == nullptr) {
        return {};
    }
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level);
    ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, kFullBlockWindowLog);
    ZSTD_CCtx_setPledgedSrcSize(context, size);
    std::vector<uint8_t> out(ZSTD_compressBound(size_t(size)));
    size_t written = ZSTD_compress2(context, out.data(), out.size(), data, size_t(size));
    ZSTD_freeCCtx(context);
    out.resize(ZSTD_isError(written) ? 0 : written);
    return out;
}

}  // namespace tpe
