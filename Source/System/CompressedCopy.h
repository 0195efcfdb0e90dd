// Whole-file copies compressed with zlib's deflate: the target receives one zlib stream (header,
// deflate data at level 6, Adler-32 trailer) that any zlib inflates back to the source's bytes.
#pragma once

#include <zlib.h>

class QLC_File;

class QLC_CompressionStream {
public:
    static constexpr unsigned kBufferSize = 4096;

    QLC_CompressionStream() = default;
    QLC_CompressionStream(const QLC_CompressionStream&) = delete;
    QLC_CompressionStream& operator=(const QLC_CompressionStream&) = delete;
    ~QLC_CompressionStream();

    // Compresses the source from its position to its end into the target; returns the last
    // deflate result (Z_STREAM_END when the stream is complete).
    int Compress(QLC_File& source, QLC_File& target);

    // Compression streams running in the process.
    static int ActiveCount();

private:
    void WriteOutput();

    z_stream m_stream = {};
    unsigned char m_input[kBufferSize] = {};
    unsigned char m_output[kBufferSize] = {};
    QLC_File* m_source = nullptr;
    QLC_File* m_target = nullptr;
    bool m_started = false;
    int m_result = Z_OK;
};

// Compresses source (from its position) into target; a stream that cannot be completed throws
// QLC_FileException with cause 3 "Generic Write Error".
void QLC_CompressedCopy(QLC_File& source, QLC_File& target);
