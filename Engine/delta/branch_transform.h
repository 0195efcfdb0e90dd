#pragma once
// Makes x86 and x86-64 code diff well after it moved. A relative call or branch to a target that
// did not move still changes when the instruction itself moves; its absolute target does not.
// The transform rewrites the 32-bit operand of every call (E8), jump (E9), conditional jump
// (0F 80-8F) and, in 64-bit code, common RIP-relative operands, from relative to "relative plus
// the operand's own end offset" (modulo 2^32), so moved code diffs against its old self byte
// for byte. Both sides of a delta transform the old file the same way; the decoder undoes the
// transform on what it rebuilt.
//
// The transform is a bijection decided by opcode bytes alone, so it is exact for any bytes:
// data mistaken for code costs compression, never correctness. It works page by page (pages of
// kBranchPage bytes at multiples of kBranchPage in the file): any page can be transformed on its
// own, as a decoder reading the old file in pieces needs. An instruction that crosses a page
// edge is left as it is.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "byte_range.h"

namespace tpe {

constexpr uint64_t kBranchPage = 4096;

struct BranchCode {
    bool is64 = false;              // also RIP-relative operands
    std::vector<ByteRange> ranges;  // the bytes that hold code: sorted, not overlapping
};

// Transform `size` bytes that lie at `fileOffset` in their file. `fileOffset` must be a multiple
// of kBranchPage, and `size` one too unless the bytes end the file: then the result is the same
// as that of transforming the whole file.
void EncodeBranches(const BranchCode& code, uint64_t fileOffset, uint8_t* data, size_t size);
// Undoes EncodeBranches on the same bytes.
void DecodeBranches(const BranchCode& code, uint64_t fileOffset, uint8_t* data, size_t size);

}  // namespace tpe
