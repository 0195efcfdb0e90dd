#include "output_writer.h"

namespace tpe {

DeltaStatus OutputWriter::Write(const void* data, size_t size) {
    if (size > Remaining()) {
        return DeltaStatus::Corrupt;
    }
    if (size == 0) {
        return DeltaStatus::Ok;
    }
    if (!m_sink.Write(data, size)) {
        return DeltaStatus::WriteFailed;
    }
    m_hash.Update(data, size);
    m_written += size;
    if (m_progress && !m_progress(m_written)) {
        return DeltaStatus::Cancelled;
    }
    return DeltaStatus::Ok;
}

}  // namespace tpe
