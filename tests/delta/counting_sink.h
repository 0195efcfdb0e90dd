// What a decoder wrote, counted and dropped: for checks of sizes on outputs too large to keep
// or fuzzed outputs whose contents mean nothing.
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
