#pragma once
// Finds how to build the new file from the old one: a list of ops, each copying a run of old
// bytes with byte-wise differences, then adding literal bytes. Knows nothing of files or formats.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tpe {

// Moves the old position by `seek`, adds `copyLen` old bytes (each plus its difference byte),
// then `literalLen` literal bytes.
struct DiffOp {
    int64_t seek = 0;
    uint64_t copyLen = 0;
    uint64_t literalLen = 0;
};

// The ops, and the literal bytes they add in order. Difference bytes are not kept: whoever
// writes the script takes them from the two files.
struct DiffScript {
    std::vector<DiffOp> ops;
    std::vector<uint8_t> literals;
};

// `oldSize` must not exceed kMaxSuffixArrayInput.
DiffScript BuildDiffScript(const uint8_t* oldData, size_t oldSize, const uint8_t* newData,
                           size_t newSize);

}  // namespace tpe
