#include "reference_model.h"

#include <algorithm>

#include "little_endian.h"
#include "varint.h"

namespace tpe {
namespace {

void WriteSegments(const std::vector<CodeSegment>& segments, std::vector<uint8_t>& out) {
    PutVarint(segments.size(), out);
    for (const CodeSegment& segment : segments) {
        PutVarint(segment.fileOffset, out);
        PutVarint(segment.size, out);
        PutVarint(segment.address, out);
        PutVarint(segment.code ? 1 : 0, out);
    }
}

bool ReadSegments(const uint8_t*& pos, const uint8_t* end, uint64_t fileSize,
                  std::vector<CodeSegment>& segments) {
    uint64_t count;
    if (!GetVarint(pos, end, count) || count > kMaxCodeSegments) {
        return false;
    }
    segments.resize(static_cast<size_t>(count));
    for (CodeSegment& segment : segments) {
        uint64_t code;
        if (!GetVarint(pos, end, segment.fileOffset) || !GetVarint(pos, end, segment.size) ||
            !GetVarint(pos, end, segment.address) || !GetVarint(pos, end, code) || code > 1) {
            return false;
        }
        if (segment.fileOffset > fileSize || segment.size > fileSize - segment.fileOffset ||
            segment.size > UINT64_MAX - segment.address) {
            return false;
        }
        segment.code = code == 1;
    }
    return true;
}

const CodeSegment* SegmentAtOffset(const std::vector<CodeSegment>& segments, uint64_t offset) {
    for (const CodeSegment& segment : segments) {
        if (offset >= segment.fileOffset && offset - segment.fileOffset < segment.size) {
            return &segment;
        }
    }
    return nullptr;
}

const CodeSegment* SegmentAtAddress(const std::vector<CodeSegment>& segments, uint64_t address) {
    for (const CodeSegment& segment : segments) {
        if (address >= segment.address && address - segment.address < segment.size) {
            return &segment;
        }
    }
    return nullptr;
}

// Instructions whose ModRM byte may name a 32-bit displacement, and the size of the immediate
// that follows it (RIP-relative addressing counts from the end of the instruction).
int ImmediateAfterDisplacement(uint8_t opcode, bool twoByte) {
    if (twoByte) {
        if ((opcode >= 0x40 && opcode <= 0x4f) || (opcode >= 0x10 && opcode <= 0x17) ||
            (opcode >= 0x28 && opcode <= 0x2f) || (opcode >= 0x51 && opcode <= 0x5f)) {
            return 0;
        }
        switch (opcode) {
            case 0x6e:
            case 0x6f:
            case 0x7e:
            case 0x7f:
            case 0xaf:
            case 0xb6:
            case 0xb7:
            case 0xbe:
            case 0xbf:
            case 0xd6:
            case 0xef:
            case 0xfe:
            case 0xd4:
                return 0;
            default:
                return -1;
        }
    }
    switch (opcode) {
        case 0x01:
        case 0x03:
        case 0x09:
        case 0x0b:
        case 0x21:
        case 0x23:
        case 0x29:
        case 0x2b:
        case 0x31:
        case 0x33:
        case 0x39:
        case 0x3b:
        case 0x63:
        case 0x84:
        case 0x85:
        case 0x87:
        case 0x88:
        case 0x89:
        case 0x8a:
        case 0x8b:
        case 0x8d:
        case 0xff:
        case 0xd9:
        case 0xdd:
            return 0;
        case 0x80:
        case 0x83:
        case 0xc6:
        case 0xc0:
        case 0xc1:
        case 0x6b:
            return 1;
        case 0x81:
        case 0xc7:
        case 0x69:
            return 4;
        default:
            return -1;
    }
}

}  // namespace

void WriteReferenceModel(const ReferenceModel& model, std::vector<uint8_t>& out) {
    PutVarint(model.is64 ? 1 : 0, out);
    WriteSegments(model.oldSegments, out);
    WriteSegments(model.newSegments, out);
    // Gaps and shifts from the previous entry: mostly small and repeating.
    PutVarint(model.equivalences.size(), out);
    uint64_t previousEnd = 0;
    int64_t previousShift = 0;
    for (const Equivalence& e : model.equivalences) {
        int64_t shift = static_cast<int64_t>(e.newStart - e.oldStart);
        PutVarint(e.oldStart - previousEnd, out);
        PutVarint(ZigZag(shift - previousShift), out);
        PutVarint(e.length, out);
        previousEnd = e.oldStart + e.length;
        previousShift = shift;
    }
}

bool ReadReferenceModel(const uint8_t* data, size_t size, uint64_t oldSize, uint64_t newSize,
                        ReferenceModel& model) {
    const uint8_t* pos = data;
    const uint8_t* end = data + size;
    uint64_t flags, count;
    if (!GetVarint(pos, end, flags) || flags > 1) {
        return false;
    }
    model.is64 = flags == 1;
    if (!ReadSegments(pos, end, oldSize, model.oldSegments) ||
        !ReadSegments(pos, end, newSize, model.newSegments)) {
        return false;
    }
    if (!GetVarint(pos, end, count) || count > kMaxEquivalences) {
        return false;
    }
    model.equivalences.resize(static_cast<size_t>(count));
    uint64_t previousEnd = 0;
    int64_t previousShift = 0;
    for (Equivalence& e : model.equivalences) {
        uint64_t gap, shiftCode;
        if (!GetVarint(pos, end, gap) || !GetVarint(pos, end, shiftCode) ||
            !GetVarint(pos, end, e.length)) {
            return false;
        }
        if (gap > oldSize - previousEnd || e.length == 0 ||
            e.length > oldSize - previousEnd - gap) {
            return false;
        }
        e.oldStart = previousEnd + gap;
        // Wrapping arithmetic, then a range check on the result.
        previousShift = static_cast<int64_t>(static_cast<uint64_t>(previousShift) +
                                             static_cast<uint64_t>(UnZigZag(shiftCode)));
        e.newStart = e.oldStart + static_cast<uint64_t>(previousShift);
        if (e.newStart > newSize || e.length > newSize - e.newStart) {
            return false;
        }
        previousEnd = e.oldStart + e.length;
    }
    return pos == end;
}

namespace {

// The next offset after `offset` where some segment starts or ends; between two such offsets
// the first segment containing an offset stays the same.
uint64_t NextBoundary(const std::vector<CodeSegment>& segments, uint64_t offset) {
    uint64_t next = UINT64_MAX;
    for (const CodeSegment& segment : segments) {
        const uint64_t end = segment.fileOffset + segment.size;
        if (segment.fileOffset > offset && segment.fileOffset < next) {
            next = segment.fileOffset;
        }
        if (end > offset && end < next) {
            next = end;
        }
    }
    return next;
}

}  // namespace

ReferencePredictor::ReferencePredictor(const ReferenceModel& model) : m_model(model) {
    const std::vector<Equivalence>& all = m_model.equivalences;
    if (all.empty()) {
        return;
    }
    // About one equivalence per bucket.
    const uint64_t end = all.back().oldStart + all.back().length;
    while ((end >> m_bucketShift) > all.size()) {
        ++m_bucketShift;
    }
    const size_t buckets = static_cast<size_t>(end >> m_bucketShift) + 1;
    m_bucketStart.resize(buckets + 1);
    size_t before = 0;
    for (size_t k = 0; k <= buckets; ++k) {
        while (before < all.size() && all[before].oldStart < (uint64_t{k} << m_bucketShift)) {
            ++before;
        }
        m_bucketStart[k] = static_cast<uint32_t>(before);
    }
}

const Equivalence* ReferencePredictor::EquivalenceAt(uint64_t oldOffset) const {
    if (m_bucketStart.empty()) {
        return nullptr;
    }
    // Those starting at or before the offset are all below the end of its bucket, and all
    // below the bucket's start begin before it: the last of them is in this bucket's range.
    const size_t lastBucket = m_bucketStart.size() - 2;
    const uint64_t k = oldOffset >> m_bucketShift;
    const size_t bucket = k < lastBucket ? static_cast<size_t>(k) : lastBucket;
    const auto begin = m_model.equivalences.begin();
    auto after = std::upper_bound(
        begin + m_bucketStart[bucket], begin + m_bucketStart[bucket + 1], oldOffset,
        [](uint64_t offset, const Equivalence& e) { return offset < e.oldStart; });
    if (after == begin) {
        return nullptr;
    }
    const Equivalence& e = *(after - 1);
    return oldOffset - e.oldStart < e.length ? &e : nullptr;
}

void ReferencePredictor::Predict(uint8_t* bytes, size_t size, uint64_t oldStart,
                                 uint64_t newStart) const {
    // Bytes that can end an opcode followed by a 32-bit reference field.
    static const struct CandidateTable {
        bool any[256] = {};
        CandidateTable() {
            for (int b : {0xe8, 0xe9, 0xa1, 0xa3, 0x68}) {
                any[b] = true;
            }
            for (int b = 0x80; b <= 0x8f; ++b) {
                any[b] = true;
            }
            for (int b = 0xb8; b <= 0xbf; ++b) {
                any[b] = true;
            }
            for (int b = 0x05; b <= 0x3d; b += 8) {
                any[b] = true;
            }
        }
    } candidates;

    size_t at = 1;
    while (at + 4 <= size) {
        // Only fields in old code are predicted: skip straight over anything else.
        const uint64_t offset = oldStart + at;
        const CodeSegment* segment = SegmentAtOffset(m_model.oldSegments, offset);
        const uint64_t boundary = NextBoundary(m_model.oldSegments, offset);
        const size_t runEnd =
            boundary - oldStart < size ? static_cast<size_t>(boundary - oldStart) : size;
        if (!segment || !segment->code) {
            at = runEnd > at ? runEnd : at + 1;
            continue;
        }
        for (; at < runEnd && at + 4 <= size;) {
            const uint8_t before = bytes[at - 1];
            if (!candidates.any[before]) {
                ++at;
                continue;
            }
            bool relative = true;
            int immediate = -1;
            if (before == 0xe8 || before == 0xe9) {  // call, jmp rel32
                immediate = 0;
            } else if (at >= 2 && bytes[at - 2] == 0x0f && (before & 0xf0) == 0x80) {  // jcc
                immediate = 0;
            } else if (at >= 2 && (before & 0xc7) == 0x05) {  // ModRM: 32-bit displacement only
                immediate =
                    ImmediateAfterDisplacement(bytes[at - 2], at >= 3 && bytes[at - 3] == 0x0f);
                relative = m_model.is64;
            } else if (!m_model.is64 && (before == 0xa1 || before == 0xa3 || before == 0x68 ||
                                         (before >= 0xb8 && before <= 0xbf))) {
                immediate = 0;  // moffs32, push imm32, mov reg, imm32: absolute in 32-bit code
                relative = false;
            }
            if (immediate >= 0 && PredictField(bytes + at, *segment, oldStart + at, newStart + at,
                                               relative, immediate)) {
                at += 4;
            } else {
                ++at;
            }
        }
    }
}

bool ReferencePredictor::PredictField(uint8_t* field, const CodeSegment& fieldSegment,
                                      uint64_t oldOffset, uint64_t newOffset, bool relative,
                                      int immediateSize) const {
    const uint64_t fieldAddress = fieldSegment.address + (oldOffset - fieldSegment.fileOffset);
    const uint32_t raw = GetLe32(field);
    const uint64_t end = static_cast<uint64_t>(4 + immediateSize);
    const uint64_t target =
        relative ? fieldAddress + end +
                       static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(raw)))
                 : raw;
    const CodeSegment* targetSegment = SegmentAtAddress(m_model.oldSegments, target);
    if (!targetSegment) {
        return false;
    }
    const uint64_t targetOffset = targetSegment->fileOffset + (target - targetSegment->address);

    const Equivalence* e = EquivalenceAt(targetOffset);
    if (!e) {
        return false;
    }
    const uint64_t newTargetOffset = e->newStart + (targetOffset - e->oldStart);

    const CodeSegment* newTarget = SegmentAtOffset(m_model.newSegments, newTargetOffset);
    if (!newTarget) {
        return false;
    }
    const uint64_t newTargetAddress =
        newTarget->address + (newTargetOffset - newTarget->fileOffset);
    uint64_t value;
    if (relative) {
        const CodeSegment* newField = SegmentAtOffset(m_model.newSegments, newOffset);
        if (!newField) {
            return false;
        }
        const uint64_t newFieldAddress = newField->address + (newOffset - newField->fileOffset);
        value = newTargetAddress - (newFieldAddress + end);
        const int64_t signedValue = static_cast<int64_t>(value);
        if (signedValue < INT32_MIN || signedValue > INT32_MAX) {
            return false;
        }
    } else {
        value = newTargetAddress;
        if (value > UINT32_MAX) {
            return false;
        }
    }
    PutLe32(field, static_cast<uint32_t>(value));
    return true;
}

}  // namespace tpe
