#pragma once
// Stable references for x86 and x86-64 code. When code moves between versions, every relative
// call, branch and RIP-relative operand (and, in 32-bit code, every absolute address) that
// crosses the move changes, although it still names the same target. Encoder and decoder both
// predict, for each such field in copied old code, the value it takes once its target and
// itself have moved as the copy ops say; the delta then only carries the difference from that
// prediction, which is zero wherever the prediction holds.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tpe {

// Where a file's bytes are loaded: [fileOffset, +size) at address.
struct CodeSegment {
    uint64_t fileOffset = 0;
    uint64_t size = 0;
    uint64_t address = 0;
    bool code = false;
};

// Old bytes [oldStart, +length) became new bytes [newStart, +length).
struct Equivalence {
    uint64_t oldStart = 0;
    uint64_t newStart = 0;
    uint64_t length = 0;
};

struct ReferenceModel {
    bool is64 = true;  // x86-64 code (RIP-relative operands) or 32-bit x86 (absolute ones)
    std::vector<CodeSegment> oldSegments;
    std::vector<CodeSegment> newSegments;
    std::vector<Equivalence> equivalences;  // sorted by oldStart, not overlapping in the old file
};

constexpr size_t kMaxCodeSegments = 256;
constexpr size_t kMaxEquivalences = 1u << 18;
constexpr uint64_t kMaxReferenceModelBytes = 8u << 20;

void WriteReferenceModel(const ReferenceModel& model, std::vector<uint8_t>& out);
// False unless the bytes are a model within the limits above, with every range inside files of
// the given sizes.
bool ReadReferenceModel(const uint8_t* data, size_t size, uint64_t oldSize, uint64_t newSize,
                        ReferenceModel& model);

class ReferencePredictor {
public:
    explicit ReferencePredictor(const ReferenceModel& model);

    // `bytes` holds old bytes [oldStart, +size) that a copy op writes at new offset newStart;
    // rewrites every reference field in them to its predicted new value.
    void Predict(uint8_t* bytes, size_t size, uint64_t oldStart, uint64_t newStart) const;

private:
    bool PredictField(uint8_t* field, const CodeSegment& fieldSegment, uint64_t oldOffset,
                      uint64_t newOffset, bool relative, int immediateSize) const;

    // The equivalence holding an old offset, if any.
    const Equivalence* EquivalenceAt(uint64_t oldOffset) const;

    const ReferenceModel& m_model;
    // Old offsets in buckets of 2^m_bucketShift bytes: m_bucketStart[k] counts the equivalences
    // starting before bucket k, so a lookup searches one bucket's few instead of all of them.
    int m_bucketShift = 0;
    std::vector<uint32_t> m_bucketStart;
};

}  // namespace tpe
