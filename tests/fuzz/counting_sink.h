// What a decoder wrote, counted and dropped: fuzz targets check sizes, never contents.
#pragma once

#include <cstddef>
#include <cstdint>

#include "delta_decoder.h"

class CountingSink : public tpe::DeltaSink {
public:
    bool Write(const void*, size_t size) override {
        written += size;
        return true;
    }
    uint64_t written = 0;
};
