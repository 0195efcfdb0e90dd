// libFuzzer entry point: arbitrary bytes as an old file and a delta. The decoder must refuse or
// decode them without crashing, reading out of bounds, or writing past the expected size.
//
// Input layout: two bytes of old-file length (little-endian), the old file, then the delta. The
// expected size is taken from the delta's own header so that fuzzing reaches the bodies.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "delta_decoder.h"
#include "delta_format.h"

namespace {

class FuzzOld : public tpe::DeltaOldSource {
public:
    FuzzOld(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        if (offset > size_ || size > size_ - offset)
            return false;
        if (size > 0)
            std::memcpy(buffer, data_ + offset, size);
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
};

class FuzzPatch : public tpe::DeltaPatchSource {
public:
    FuzzPatch(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    long long Read(void* buffer, size_t size) override {
        size_t take = size < size_ - pos_ ? size : size_ - pos_;
        if (take > 0)
            std::memcpy(buffer, data_ + pos_, take);
        pos_ += take;
        return static_cast<long long>(take);
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

class CountingSink : public tpe::DeltaSink {
public:
    bool Write(const void*, size_t size) override {
        written += size;
        return true;
    }
    uint64_t written = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    size_t oldSize = data[0] | (size_t{data[1]} << 8);
    if (oldSize > size - 2)
        oldSize = size - 2;
    FuzzOld old(data + 2, oldSize);
    const uint8_t* delta = data + 2 + oldSize;
    const size_t deltaSize = size - 2 - oldSize;
    const uint64_t expected =
        deltaSize >= tpe::kDeltaHeaderSize ? tpe::LoadLittle64(delta + 16) : 0;
    // Bounds a run's time: a legitimate delta may well produce gigabytes of zeros.
    if (expected > (8u << 20))
        return 0;
    FuzzPatch patch(delta, deltaSize);
    CountingSink sink;
    tpe::DecodeDelta(old, patch, sink, expected);
    if (sink.written > expected)
        std::abort();
    return 0;
}
