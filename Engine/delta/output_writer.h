#pragma once
// The decoder's only way to the sink: refuses to write past the size the caller expects,
// checksums the output and reports progress.

#include <cstdint>
#include <functional>

#include "delta_decoder.h"
#include "delta_hash.h"

namespace tpe {

class OutputWriter {
public:
    OutputWriter(DeltaSink& sink, uint64_t limit, const std::function<bool(uint64_t)>& progress)
        : m_sink(sink), m_limit(limit), m_progress(progress) {}

    // Callers write at most 1 MiB at a time so progress comes at least once per MiB.
    DeltaStatus Write(const void* data, size_t size);

    uint64_t Written() const { return m_written; }
    uint64_t Remaining() const { return m_limit - m_written; }
    uint64_t Hash() const { return m_hash.Final(); }

private:
    DeltaSink& m_sink;
    uint64_t m_limit;
    const std::function<bool(uint64_t)>& m_progress;
    uint64_t m_written = 0;
    DeltaHash m_hash;
};

}  // namespace tpe
