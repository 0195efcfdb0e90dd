#include "delta_format.h"

#include <cstring>

#include "refuse.h"

namespace tpe {

void WriteDeltaHeader(const DeltaHeader& header, uint8_t out[kDeltaHeaderSize]) {
    std::memcpy(out, kDeltaMagic, 4);
    out[4] = kDeltaVersion;
    out[5] = static_cast<uint8_t>(header.encoding);
    out[6] = 0;
    out[7] = 0;
    StoreLittle64(header.oldSize, out + 8);
    StoreLittle64(header.newSize, out + 16);
    StoreLittle64(header.newHash, out + 24);
}

bool ReadDeltaHeader(const uint8_t in[kDeltaHeaderSize], DeltaHeader& header) {
    REFUSE_IF(std::memcmp(in, kDeltaMagic, 4) != 0 || in[4] != kDeltaVersion, false);
    REFUSE_IF(in[5] > static_cast<uint8_t>(kLastDeltaEncoding), false);
    REFUSE_IF(in[6] != 0 || in[7] != 0, false);
    header.encoding = static_cast<DeltaEncoding>(in[5]);
    header.oldSize = LoadLittle64(in + 8);
    header.newSize = LoadLittle64(in + 16);
    header.newHash = LoadLittle64(in + 24);
    return true;
}

}  // namespace tpe
