#define QLD_SOURCE_FILE "Source\\System\\CompressedCopy"

#include "System/CompressedCopy.h"

#include "System/File.h"
#include "System/FileException.h"

#include <atomic>

namespace {

constexpr int kLevel = 6;
std::atomic<int> g_active_streams{0};

}  // namespace

int QLC_CompressionStream::ActiveCount() {
    return g_active_streams.load();
}

QLC_CompressionStream::~QLC_CompressionStream() {
    // A copy cut short by an exception is abandoned, not finished: its target is discarded.
    if (m_started) {
        deflateEnd(&m_stream);
        --g_active_streams;
    }
}

void QLC_CompressionStream::WriteOutput() {
    const unsigned produced = kBufferSize - m_stream.avail_out;
    if (produced > 0) {
        m_target->Write(m_output, produced);
    }
    m_stream.next_out = m_output;
    m_stream.avail_out = kBufferSize;
}

int QLC_CompressionStream::Compress(QLC_File& source, QLC_File& target) {
    m_source = &source;
    m_target = &target;
    m_stream = z_stream{};
    m_result = deflateInit(&m_stream, kLevel);
    if (m_result != Z_OK) {
        return m_result;
    }
    m_started = true;
    ++g_active_streams;
    m_stream.next_out = m_output;
    m_stream.avail_out = kBufferSize;

    do {
        if (m_stream.avail_in == 0) {
            const uint32_t read = m_source->Read(m_input, kBufferSize);
            if (read == 0) {
                break;
            }
            m_stream.next_in = m_input;
            m_stream.avail_in = read;
        }
        m_result = deflate(&m_stream, Z_NO_FLUSH);
        WriteOutput();
    } while (m_result == Z_OK);

    for (;;) {
        m_result = deflate(&m_stream, Z_FINISH);
        if (m_stream.avail_out == kBufferSize) {
            break;
        }
        WriteOutput();
        if (m_result != Z_OK) {
            break;
        }
    }

    deflateEnd(&m_stream);
    m_started = false;
    --g_active_streams;
    m_source = nullptr;
    m_target = nullptr;
    return m_result;
}

void QLC_CompressedCopy(QLC_File& source, QLC_File& target) {
    QLC_CompressionStream stream;
    if (stream.Compress(source, target) != Z_STREAM_END) {
        QLC_FileException::Throw(QLC_CAUSE_GENERIC_WRITE_ERROR, -1, target.GetName());
    }
}
