#include "delta_check.h"

#include <algorithm>
#include <cstring>

#include "delta_decoder.h"

namespace tpe {
namespace {

struct MemoryOld : DeltaOldSource {
    explicit MemoryOld(const std::vector<uint8_t>& data) : bytes(data) {}
    uint64_t Size() const override { return bytes.size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        if (offset > bytes.size() || size > bytes.size() - offset) {
            return false;
        }
        std::copy_n(bytes.data() + offset, size, static_cast<uint8_t*>(buffer));
        return true;
    }
    const std::vector<uint8_t>& bytes;
};

struct MemoryPatch : DeltaPatchSource {
    explicit MemoryPatch(const std::vector<uint8_t>& data) : bytes(data) {}
    long long Read(void* buffer, size_t size) override {
        size_t n = std::min(size, bytes.size() - position);
        std::copy_n(bytes.data() + position, n, static_cast<uint8_t*>(buffer));
        position += n;
        return static_cast<long long>(n);
    }
    const std::vector<uint8_t>& bytes;
    size_t position = 0;
};

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
    MemoryOld old(oldData);
    MemoryPatch patch(delta);
    ComparingSink sink(newData);
    return !delta.empty() && DecodeDelta(old, patch, sink, newData.size()) == DeltaStatus::Ok &&
           sink.position == newData.size();
}

}  // namespace tpe
