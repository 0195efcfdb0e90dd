#pragma once
// Stand-in for the delta codec until Engine/delta/ lands: same interface, stores the new contents
// compressed with zstd, ignoring the old file.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace tpe {

struct DeltaOldSource {
    virtual ~DeltaOldSource() = default;
    virtual uint64_t Size() const = 0;
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
};
struct DeltaSink {
    virtual ~DeltaSink() = default;
    virtual bool Write(const void* data, size_t size) = 0;
};
struct DeltaPatchSource {
    virtual ~DeltaPatchSource() = default;
    virtual long long Read(void* buffer, size_t size) = 0;
};

enum class DeltaStatus {
    Ok = 0,
    Corrupt,
    OldReadFailed,
    WriteFailed,
    TooLarge,
    Cancelled,
    OutOfMemory
};
const char* DeltaStatusText(DeltaStatus);

DeltaStatus DecodeDelta(DeltaOldSource& oldFile, DeltaPatchSource& patch, DeltaSink& out,
                        uint64_t expectedNewSize,
                        const std::function<bool(uint64_t)>& progress = {});

}  // namespace tpe
