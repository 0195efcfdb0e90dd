#pragma once
// Suffix array construction by induced sorting (SA-IS): linear time. Beyond the array itself it
// needs one bit per input byte, plus, when it recurses, a bucket table of at most one int per
// three input bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tpe {

// Largest input the 32-bit suffix array can index.
constexpr uint64_t kMaxSuffixArrayInput = 0x7fffffffu - 1;

// The start offsets of all suffixes of `text`, in lexicographic order (a suffix that is a prefix
// of another sorts first). `size` must not exceed kMaxSuffixArrayInput.
std::vector<int32_t> BuildSuffixArray(const uint8_t* text, size_t size);

}  // namespace tpe
