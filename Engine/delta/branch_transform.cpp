#include "branch_transform.h"

#include <algorithm>

#include "little_endian.h"

namespace tpe {
namespace {

// Opcodes after a REX prefix whose ModRM byte 05 means a RIP-relative operand and which take no
// immediate: mov, lea, cmp, add, sub, xor, test, movsxd.
bool RipOpcode(uint8_t op) {
    switch (op) {
        case 0x03:
        case 0x2b:
        case 0x33:
        case 0x39:
        case 0x3b:
        case 0x63:
        case 0x85:
        case 0x89:
        case 0x8b:
        case 0x8d:
            return true;
        default:
            return false;
    }
}

// The offset of the 32-bit operand of an instruction starting at `i`, or 0 for none. Reads
// only bytes i and i+1, and i+2 when byte i+1 is no call or jump opcode: no operand that a
// later instruction in the same scan rewrites can ever change this decision, so the decoder,
// which sees rewritten bytes ahead of it, decides exactly as the encoder did.
size_t OperandAt(const uint8_t* data, size_t i, size_t end, bool is64) {
    const uint8_t op = data[i];
    if ((op == 0xe8 || op == 0xe9) && i + 5 <= end) {
        return i + 1;
    }
    if (i + 6 > end) {
        return 0;
    }
    if (op == 0x0f && (data[i + 1] & 0xf0) == 0x80) {
        return i + 2;
    }
    if (!is64) {
        return 0;
    }
    if (op == 0xff && (data[i + 1] == 0x15 || data[i + 1] == 0x25)) {
        return i + 2;  // call or jmp through a RIP-relative pointer
    }
    if ((op & 0xf0) == 0x40 && i + 7 <= end && RipOpcode(data[i + 1]) &&
        (data[i + 2] & 0xc7) == 0x05) {
        return i + 3;
    }
    return 0;
}

// Bytes that may start an instruction OperandAt rewrites: most bytes are skipped at the cost of
// one table look-up, which keeps the transform a small part of applying a large executable.
struct StartTable {
    bool starts[256] = {};
    StartTable() {
        starts[0xe8] = starts[0xe9] = starts[0x0f] = starts[0xff] = true;
        for (int rex = 0x40; rex <= 0x4f; ++rex) {
            starts[rex] = true;
        }
    }
};
const StartTable kStarts;

template <bool kEncode>
void TransformSpan(bool is64, uint64_t spanOffset, uint8_t* data, size_t size) {
    for (size_t i = 0; i < size;) {
        if (!kStarts.starts[data[i]]) {
            ++i;
            continue;
        }
        const size_t operand = OperandAt(data, i, size, is64);
        if (operand == 0) {
            ++i;
            continue;
        }
        const uint32_t end = static_cast<uint32_t>(spanOffset + operand + 4);
        const uint32_t value = GetLe32(data + operand);
        PutLe32(data + operand, kEncode ? value + end : value - end);
        i = operand + 4;
    }
}

template <bool kEncode>
void Transform(const BranchCode& code, uint64_t fileOffset, uint8_t* data, size_t size) {
    const uint64_t end = fileOffset + size;
    for (const ByteRange& range : code.ranges) {
        if (range.end <= fileOffset || range.start >= end) {
            continue;
        }
        const uint64_t first = std::max(range.start, fileOffset);
        const uint64_t last = std::min(range.end, end);
        // One span per page: spans never cross a page edge.
        for (uint64_t at = first; at < last;) {
            const uint64_t pageEnd = (at / kBranchPage + 1) * kBranchPage;
            const uint64_t spanEnd = std::min(pageEnd, last);
            TransformSpan<kEncode>(code.is64, at, data + (at - fileOffset),
                                   static_cast<size_t>(spanEnd - at));
            at = spanEnd;
        }
    }
}

}  // namespace

void EncodeBranches(const BranchCode& code, uint64_t fileOffset, uint8_t* data, size_t size) {
    Transform<true>(code, fileOffset, data, size);
}

void DecodeBranches(const BranchCode& code, uint64_t fileOffset, uint8_t* data, size_t size) {
    Transform<false>(code, fileOffset, data, size);
}

}  // namespace tpe
