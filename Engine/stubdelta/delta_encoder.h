#pragma once
#include <cstdint>
#include <vector>

#include "delta_decoder.h"

namespace tpe {

struct DeltaEncodeOptions {
    int level = 19;
    unsigned threads = 1;
};

std::vector<uint8_t> EncodeDelta(const uint8_t* oldData, uint64_t oldSize, const uint8_t* newData,
                                 uint64_t newSize, const DeltaEncodeOptions& = {});

}  // namespace tpe
