#include "delta_status.h"

namespace tpe {

const char* DeltaStatusText(DeltaStatus status) {
    switch (status) {
        case DeltaStatus::Ok:
            return "success";
        case DeltaStatus::Corrupt:
            return "the delta is damaged or invalid";
        case DeltaStatus::OldReadFailed:
            return "the original file could not be read";
        case DeltaStatus::WriteFailed:
            return "the new file could not be written";
        case DeltaStatus::Cancelled:
            return "cancelled";
        case DeltaStatus::OutOfMemory:
            return "out of memory";
        case DeltaStatus::OldMismatch:
            return "the original file differs from the one the delta was made for";
    }
    return "unknown delta status";
}

}  // namespace tpe
