#pragma once
// Reads the load layout of x86 and x86-64 executables (ELF and PE) from their headers.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "reference_model.h"

namespace tpe {

struct ExecutableLayout {
    bool is64 = false;
    std::vector<CodeSegment> segments;
};

// False when the bytes are not an x86 or x86-64 ELF or PE file with at least one code segment
// (damaged headers included).
bool ReadExecutableLayout(const uint8_t* data, size_t size, ExecutableLayout& layout);
// The same from the first `headSize` bytes of a file of `fileSize` bytes: headers beyond the
// head count as damaged.
bool ReadExecutableLayout(const uint8_t* head, size_t headSize, uint64_t fileSize,
                          ExecutableLayout& layout);

}  // namespace tpe
