#include "delta_check.h"

#include <cstring>

#include "delta_decoder.h"
#include "memory_delta_sources.h"

namespace tpe {
namespace {

// Compares the output with the expected bytes as it comes.
struct ComparingSink : DeltaSink {
    explicit ComparingSink(const std::vector<uint8_t>& data) : expected(data) {}
    bool Write(const void* data, size_t size) override {
        if (size > expected.size() - position ||
            std::memcmp(data, expected.data() + position, size) != 0) {
            return false;
        }
        position += size;
        return true;
    }
    const std::vector<uint8_t>& expected;
    size_t position = 0;
};

}  // namespace

bool DeltaRebuilds(const std::vector<uint8_t>& delta, const std::vector<uint8_t>& oldData,
                   const std::vector<uint8_t>& newData) {
    MemoryOldSource old(oldData.data(), oldData.size());
    MemoryPatchSource patch(delta.data(), delta.size());
    ComparingSink sink(newData);
    return !delta.empty() && DecodeDelta(old, patch, sink, newData.size()) == DeltaStatus::Ok &&
           sink.position == newData.size();
}

}  // namespace tpe
