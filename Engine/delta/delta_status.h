#pragma once
// Results of decoding a delta. 0 is success so a status can double as an exit code.

namespace tpe {

enum class DeltaStatus {
    Ok = 0,
    Corrupt,        // the delta is damaged, truncated, hostile or not made by this codec
    OldReadFailed,  // the old file could not be read
    WriteFailed,    // the sink refused the output
    Cancelled,      // the progress callback asked to stop
    OutOfMemory,
    OldMismatch,  // the old file is not the one the delta was made against
};

// A short English description, for logs and messages.
const char* DeltaStatusText(DeltaStatus status);

}  // namespace tpe
