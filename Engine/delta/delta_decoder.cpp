#include "delta_decoder.h"

#include <new>
#include <vector>

#include "delta_format.h"
#include "diff_body_decoder.h"
#include "little_endian.h"
#include "output_writer.h"
#include "patch_reader.h"
#include "refuse.h"
#include "segments_body_decoder.h"
#include "zstd_stream_decoder.h"

namespace tpe {
namespace {

constexpr size_t kStoredPiece = 1 << 20;

DeltaStatus DecodeStoredBody(PatchReader& reader, OutputWriter& out) {
    std::vector<uint8_t> piece(kStoredPiece);
    while (out.Remaining() > 0) {
        size_t size =
            out.Remaining() < piece.size() ? static_cast<size_t>(out.Remaining()) : piece.size();
        REFUSE_IF(!reader.ReadExact(piece.data(), size), DeltaStatus::Corrupt);
        DeltaStatus status = out.Write(piece.data(), size);
        if (status != DeltaStatus::Ok) {
            return status;
        }
    }
    return DeltaStatus::Ok;
}

DeltaStatus DecodeCompressedBody(PatchReader& reader, OutputWriter& out) {
    uint64_t packedSize;
    REFUSE_IF(!reader.ReadVarint(packedSize), DeltaStatus::Corrupt);
    ZstdStreamDecoder frame(kCompressedWindowLog);
    DeltaStatus status = frame.Init();
    if (status != DeltaStatus::Ok) {
        return status;
    }
    status = frame.Decode(reader, packedSize,
                          [&](const uint8_t* data, size_t size) { return out.Write(data, size); });
    if (status != DeltaStatus::Ok) {
        return status;
    }
    return frame.FrameDone() && out.Remaining() == 0 ? DeltaStatus::Ok : DeltaStatus::Corrupt;
}

DeltaStatus DecodeAll(DeltaOldSource& oldFile, DeltaPatchSource& patch, DeltaSink& sink,
                      uint64_t expectedNewSize, const std::function<bool(uint64_t)>& progress) {
    PatchReader reader(patch);
    uint8_t headerBytes[kDeltaHeaderSize];
    DeltaHeader header;
    REFUSE_IF(
        !reader.ReadExact(headerBytes, sizeof headerBytes) || !ReadDeltaHeader(headerBytes, header),
        DeltaStatus::Corrupt);
    // A delta claiming another size than the caller expects is refused before any write.
    REFUSE_IF(header.newSize != expectedNewSize, DeltaStatus::Corrupt);
    const bool diff = ReadsOldFile(header.encoding);
    if (diff && header.oldSize != oldFile.Size()) {
        return DeltaStatus::OldMismatch;
    }

    OutputWriter out(sink, header.newSize, progress);
    DeltaStatus status = DeltaStatus::Corrupt;
    switch (header.encoding) {
        case DeltaEncoding::Stored:
            status = DecodeStoredBody(reader, out);
            break;
        case DeltaEncoding::Compressed:
            status = DecodeCompressedBody(reader, out);
            break;
        case DeltaEncoding::Diff:
        case DeltaEncoding::DiffWithReferences:
            status = DecodeDiffBody(reader, oldFile, out,
                                    header.encoding == DeltaEncoding::DiffWithReferences);
            break;
        case DeltaEncoding::Segments:
            status = DecodeSegmentsBody(reader, oldFile, out);
            break;
    }
    if (status != DeltaStatus::Ok) {
        return status;
    }

    const uint64_t bodyHash = reader.ConsumedHash();
    uint8_t trailer[kDeltaTrailerSize];
    REFUSE_IF(!reader.ReadExact(trailer, sizeof trailer) || !reader.AtEnd(), DeltaStatus::Corrupt);
    REFUSE_IF(GetLe64(trailer) != bodyHash, DeltaStatus::Corrupt);
    // Right delta, wrong old contents of the right size: the output checksum tells.
    if (out.Hash() != header.newHash) {
        return diff ? DeltaStatus::OldMismatch : DeltaStatus::Corrupt;
    }
    return DeltaStatus::Ok;
}

}  // namespace

DeltaStatus DecodeDelta(DeltaOldSource& oldFile, DeltaPatchSource& patch, DeltaSink& out,
                        uint64_t expectedNewSize, const std::function<bool(uint64_t)>& progress) {
    try {
        return DecodeAll(oldFile, patch, out, expectedNewSize, progress);
    } catch (const std::bad_alloc&) {
        return DeltaStatus::OutOfMemory;
    }
}

}  // namespace tpe
