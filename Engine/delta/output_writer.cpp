#include "output_writer.h"

namespace tpe {

DeltaStatus OutputWriter::Write(const void* data, size_t size) {
    if (size > Remaining())
        return DeltaStatus::Corrupt;
    if (size == 0)
        return DeltaStatus::Ok;
    if (!sink_.Write(data, size))
        return DeltaStatus::WriteFailed;
    hash_.Update(data, size);
    written_ += size;
    if (progress_ && !progress_(written_))
        return DeltaStatus::Cancelled;
    return DeltaStatus::Ok;
}

}  // namespace tpe
