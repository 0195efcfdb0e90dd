#include "delta_format.h"

#include <cstring>

#include "little_endian.h"
#include "refuse.h"

namespace tpe {

void WriteDeltaHeader(const DeltaHeader& header, uint8_t out[kDeltaHeaderSize]) {
    using L = DeltaHeaderLayout;
    std::memcpy(out + L::kMagic, kDeltaMagic, sizeof(kDeltaMagic));
    out[L::kVersion] = kDeltaVersion;
    out[L::kEncoding] = static_cast<uint8_t>(header.encoding);
    out[L::kReserved] = 0;
    out[L::kReserved + 1] = 0;
    PutLe64(out + L::kOldSize, header.oldSize);
    PutLe64(out + L::kNewSize, header.newSize);
    PutLe64(out + L::kNewHash, header.newHash);
}

bool ReadDeltaHeader(const uint8_t in[kDeltaHeaderSize], DeltaHeader& header) {
    using L = DeltaHeaderLayout;
    REFUSE_IF(std::memcmp(in + L::kMagic, kDeltaMagic, sizeof(kDeltaMagic)) != 0 ||
                  in[L::kVersion] != kDeltaVersion,
              false);
    REFUSE_IF(in[L::kEncoding] > static_cast<uint8_t>(kLastDeltaEncoding), false);
    REFUSE_IF(in[L::kReserved] != 0 || in[L::kReserved + 1] != 0, false);
    header.encoding = static_cast<DeltaEncoding>(in[L::kEncoding]);
    header.oldSize = GetLe64(in + L::kOldSize);
    header.newSize = GetLe64(in + L::kNewSize);
    header.newHash = GetLe64(in + L::kNewHash);
    return true;
}

}  // namespace tpe
