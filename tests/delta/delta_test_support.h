// Memory-backed sources and sinks for the delta codec, and generators of test data.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "delta_decoder.h"
#include "delta_encoder.h"
#include "little_endian.h"
#include "memory_delta_sources.h"
#include "segments_encoder.h"

namespace tpe::test {

using Bytes = std::vector<uint8_t>;

// The product's memory sources, with failures, short reads and read counts on demand.
class MemoryOld : public MemoryOldSource {
public:
    explicit MemoryOld(const Bytes& data) : MemoryOldSource(data.data(), data.size()) {}
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        if (failReads || !MemoryOldSource::ReadAt(offset, buffer, size))
            return false;
        largestRead = size > largestRead ? size : largestRead;
        return true;
    }
    bool failReads = false;
    size_t largestRead = 0;
};

class MemoryPatch : public MemoryPatchSource {
public:
    explicit MemoryPatch(const Bytes& data, size_t piece = 1 << 16)
        : MemoryPatchSource(data.data(), data.size()), piece_(piece) {}
    long long Read(void* buffer, size_t size) override {
        if (pos_ == failAt)
            return -1;
        long long got = MemoryPatchSource::Read(buffer, size < piece_ ? size : piece_);
        pos_ += size_t(got);
        return got;
    }
    size_t failAt = SIZE_MAX;

private:
    size_t piece_;
    size_t pos_ = 0;
};

class MemorySink : public DeltaSink {
public:
    bool Write(const void* bytes, size_t size) override {
        if (data.size() + size > failAfter)
            return false;
        const uint8_t* p = static_cast<const uint8_t*>(bytes);
        data.insert(data.end(), p, p + size);
        return true;
    }
    Bytes data;
    size_t failAfter = SIZE_MAX;
};

inline DeltaStatus Decode(const Bytes& oldData, const Bytes& delta, uint64_t expectedSize,
                          Bytes* output = nullptr) {
    MemoryOld old(oldData);
    MemoryPatch patch(delta);
    MemorySink sink;
    DeltaStatus status = DecodeDelta(old, patch, sink, expectedSize);
    if (output)
        *output = sink.data;
    return status;
}

inline Bytes Encode(const Bytes& oldData, const Bytes& newData, unsigned threads = 1) {
    DeltaEncodeOptions options;
    options.level = 3;
    options.threads = threads;
    return EncodeDelta(oldData.data(), oldData.size(), newData.data(), newData.size(), options);
}

// Checks that `delta` rebuilds the new file exactly from the old one, and returns it.
inline Bytes Rebuilds(const Bytes& oldData, const Bytes& newData, const Bytes& delta) {
    Bytes rebuilt;
    EXPECT_EQ(Decode(oldData, delta, newData.size(), &rebuilt), DeltaStatus::Ok);
    EXPECT_TRUE(rebuilt == newData) << "rebuilt " << rebuilt.size() << " of " << newData.size();
    return delta;
}

inline Bytes RoundTrip(const Bytes& oldData, const Bytes& newData) {
    return Rebuilds(oldData, newData, Encode(oldData, newData));
}

// The Segments delta between the two, checked.
inline Bytes EncodeSegments(const Bytes& oldData, const Bytes& newData) {
    MemoryOld old(oldData), now(newData);
    MemorySink sink;
    DeltaEncodeOptions options;
    options.level = 3;
    EXPECT_EQ(EncodeDeltaSegments(old, now, sink, options), SegmentsEncodeResult::Ok);
    return Rebuilds(oldData, newData, sink.data);
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

// Machine code stand-in: random bytes with frequent instructions naming other places in the
// code: `call rel32` (E8), or in `absolute` mode `mov eax, imm32` (B8) holding the address
// `base + offset`. The version with `insertSize` bytes inserted at `insertAt` keeps every
// instruction pointing at the same (moved) place.
inline Bytes SyntheticCode(size_t size, size_t insertAt, size_t insertSize, uint64_t seed,
                           bool absolute = false, uint32_t base = 0) {
    Random random(seed);
    Bytes code = random.Fill(size);
    std::vector<size_t> functions;
    for (size_t at = 0; at < size; at += 200 + random.Below(400)) functions.push_back(at);
    Bytes out;
    auto shifted = [&](size_t at) { return at >= insertAt ? at + insertSize : at; };
    for (size_t at = 0; at < size;) {
        if (at == insertAt)
            out.insert(out.end(), insertSize, 0x90);
        if (random.Below(8) == 0 && at + 5 <= size) {
            size_t target = shifted(functions[random.Below(functions.size())]);
            uint32_t value = absolute ? static_cast<uint32_t>(base + target)
                                      : static_cast<uint32_t>(target - (shifted(at) + 5));
            out.push_back(absolute ? 0xb8 : 0xe8);
            for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
            at += 5;
        } else {
            out.push_back(code[at++]);
        }
    }
    return out;
}

inline void Put(Bytes& out, size_t at, uint64_t value, int bytes) {
    PutLe(out.data() + at, value, bytes);
}

// An x86-64 ELF file whose one executable segment, loaded at 0x400000, is the whole file.
constexpr size_t kElfHeaderSize = 64 + 56;
inline Bytes WrapElf64(const Bytes& code) {
    Bytes out = {0x7f, 'E', 'L', 'F', 2, 1, 1};  // 64-bit, little-endian, version 1
    out.resize(kElfHeaderSize);
    Put(out, 16, 3, 2);   // shared object
    Put(out, 18, 62, 2);  // x86-64
    Put(out, 32, 64, 8);  // program headers
    Put(out, 52, 64, 2);
    Put(out, 54, 56, 2);
    Put(out, 56, 1, 2);
    Put(out, 64, 1, 4);  // PT_LOAD
    Put(out, 68, 5, 4);  // read, execute
    Put(out, 64 + 16, 0x400000, 8);
    Put(out, 64 + 32, kElfHeaderSize + code.size(), 8);
    out.insert(out.end(), code.begin(), code.end());
    return out;
}

// A 32-bit x86 PE file with one code section at 0x401000, raw data at 0x200.
constexpr uint32_t kPeCodeAddress = 0x401000;
inline Bytes WrapPe32(const Bytes& code) {
    Bytes out = {'M', 'Z'};
    out.resize(0x200);
    Put(out, 0x3c, 0x40, 4);
    std::memcpy(out.data() + 0x40, "PE\0\0", 4);
    Put(out, 0x44, 0x14c, 2);  // i386
    Put(out, 0x46, 1, 2);      // one section
    Put(out, 0x54, 96, 2);     // optional header size
    Put(out, 0x58, 0x10b, 2);  // PE32
    Put(out, 0x58 + 28, 0x400000, 4);
    const size_t section = 0x58 + 96;
    Put(out, section + 8, code.size(), 4);
    Put(out, section + 12, 0x1000, 4);
    Put(out, section + 16, code.size(), 4);
    Put(out, section + 20, 0x200, 4);
    Put(out, section + 36, 0x60000020, 4);
    out.insert(out.end(), code.begin(), code.end());
    return out;
}

inline uint8_t EncodingOf(const Bytes& delta) {
    return delta.size() > 5 ? delta[5] : 0xff;
}

}  // namespace tpe::test
