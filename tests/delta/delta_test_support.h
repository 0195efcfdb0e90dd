// Memory-backed sources and sinks for the delta codec, and generators of test data.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "delta_decoder.h"
#include "delta_encoder.h"

namespace tpe::test {

using Bytes = std::vector<uint8_t>;

class MemoryOld : public DeltaOldSource {
public:
    explicit MemoryOld(const Bytes& data) : data_(data) {}
    uint64_t Size() const override { return data_.size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        if (failReads || offset > data_.size() || size > data_.size() - offset)
            return false;
        std::memcpy(buffer, data_.data() + offset, size);
        largestRead = size > largestRead ? size : largestRead;
        return true;
    }
    bool failReads = false;
    size_t largestRead = 0;

private:
    const Bytes& data_;
};

class MemoryPatch : public DeltaPatchSource {
public:
    explicit MemoryPatch(const Bytes& data, size_t piece = 1 << 16) : data_(data), piece_(piece) {}
    long long Read(void* buffer, size_t size) override {
        if (pos_ == failAt)
            return -1;
        size_t take = size < piece_ ? size : piece_;
        if (take > data_.size() - pos_)
            take = data_.size() - pos_;
        std::memcpy(buffer, data_.data() + pos_, take);
        pos_ += take;
        return static_cast<long long>(take);
    }
    size_t failAt = SIZE_MAX;

private:
    const Bytes& data_;
    size_t piece_;
    size_t pos_ = 0;
};

class MemorySink : public DeltaSink {
public:
    bool Write(const void* data, size_t size) override {
        if (data_.size() + size > failAfter)
            return false;
        const uint8_t* p = static_cast<const uint8_t*>(data);
        data_.insert(data_.end(), p, p + size);
        return true;
    }
    const Bytes& Data() const { return data_; }
    size_t failAfter = SIZE_MAX;

private:
    Bytes data_;
};

inline DeltaStatus Decode(const Bytes& oldData, const Bytes& delta, uint64_t expectedSize,
                          Bytes* output = nullptr) {
    MemoryOld old(oldData);
    MemoryPatch patch(delta);
    MemorySink sink;
    DeltaStatus status = DecodeDelta(old, patch, sink, expectedSize);
    if (output)
        *output = sink.Data();
    return status;
}

inline Bytes Encode(const Bytes& oldData, const Bytes& newData, int level = 3,
                    unsigned threads = 1) {
    DeltaEncodeOptions options;
    options.level = level;
    options.threads = threads;
    return EncodeDelta(oldData.data(), oldData.size(), newData.data(), newData.size(), options);
}

// Deterministic pseudo-random bytes.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed * 0x9e3779b97f4a7c15ull + 1) {}
    uint64_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    size_t Below(size_t limit) { return static_cast<size_t>(Next() % limit); }
    Bytes Fill(size_t size) {
        Bytes out(size);
        for (auto& b : out) b = static_cast<uint8_t>(Next() >> 24);
        return out;
    }

private:
    uint64_t state_;
};

// Plain text with a small vocabulary, so it compresses like a document.
inline Bytes Text(size_t size, uint64_t seed) {
    static const char* words[] = {"tessaly ", "update ",  "the ",    "game ",   "patch ",
                                  "file ",    "version ", "player ", "level\n", "of "};
    Random random(seed);
    Bytes out;
    while (out.size() < size) {
        const char* word = words[random.Below(10)];
        out.insert(out.end(), word, word + std::strlen(word));
    }
    out.resize(size);
    return out;
}

}  // namespace tpe::test
