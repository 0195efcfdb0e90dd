// The decoder's only way to the sink: refuses to write past the size the caller expects,
// checksums the output and reports progress.
#pragma once

#include <cstdint>
#include <functional>

#include "delta_decoder.h"
#include "delta_hash.h"

namespace tpe {

class OutputWriter {
public:
    OutputWriter(DeltaSink& sink, uint64_t limit, const std::function<bool(uint64_t)>& progress)
        : sink_(sink), limit_(limit), progress_(progress) {}

    // Callers write at most 1 MiB at a time so progress comes at least once per MiB.
    DeltaStatus Write(const void* data, size_t size);

    uint64_t Written() const { return written_; }
    uint64_t Remaining() const { return limit_ - written_; }
    uint64_t Hash() const { return hash_.Final(); }

private:
    DeltaSink& sink_;
    uint64_t limit_;
    const std::function<bool(uint64_t)>& progress_;
    uint64_t written_ = 0;
    DeltaHash hash_;
};

}  // namespace tpe
