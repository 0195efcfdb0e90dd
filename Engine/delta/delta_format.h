// The delta's layout, shared by the encoder and the decoder. Documented in
// docs/delta-format.md; change both together and raise kDeltaVersion when the layout changes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tpe {

constexpr uint8_t kDeltaMagic[4] = {'T', 'P', 'D', 'L'};
constexpr uint8_t kDeltaVersion = 1;

// How the new contents are carried. Values are stored in the header: never reuse one.
enum class DeltaEncoding : uint8_t {
    Stored = 0,              // the new bytes as they are
    Compressed = 1,          // one zstd frame of the new bytes
    Diff = 2,                // control, difference and literal streams against the old file
    DiffWithReferences = 3,  // Diff, with references in x86 code predicted (reference_model.h)
    Segments = 4,            // zstd frames of new segments, each primed with chosen old ranges
};
constexpr DeltaEncoding kLastDeltaEncoding = DeltaEncoding::Segments;

// Whether an encoding reads the old file, which must then be the one the delta was made from.
inline bool ReadsOldFile(DeltaEncoding encoding) {
    return encoding == DeltaEncoding::Diff || encoding == DeltaEncoding::DiffWithReferences ||
           encoding == DeltaEncoding::Segments;
}

// Fixed header: magic, version, encoding, two reserved bytes (zero), old size, new size, and the
// checksum of the new contents. All integers little-endian.
struct DeltaHeader {
    DeltaEncoding encoding = DeltaEncoding::Stored;
    uint64_t oldSize = 0;
    uint64_t newSize = 0;
    uint64_t newHash = 0;
};
// Byte offsets of the header's fields.
struct DeltaHeaderLayout {
    static constexpr size_t kMagic = 0;     // 4 bytes
    static constexpr size_t kVersion = 4;   // u8
    static constexpr size_t kEncoding = 5;  // u8, a DeltaEncoding
    static constexpr size_t kReserved = 6;  // 2 bytes, 0
    static constexpr size_t kOldSize = 8;   // u64
    static constexpr size_t kNewSize = 16;  // u64
    static constexpr size_t kNewHash = 24;  // u64
    static constexpr size_t kSize = 32;
};
constexpr size_t kDeltaHeaderSize = DeltaHeaderLayout::kSize;
static_assert(DeltaHeaderLayout::kVersion == sizeof(kDeltaMagic), "the version follows the magic");
static_assert(DeltaHeaderLayout::kEncoding == DeltaHeaderLayout::kVersion + 1 &&
                  DeltaHeaderLayout::kReserved == DeltaHeaderLayout::kEncoding + 1 &&
                  DeltaHeaderLayout::kOldSize == DeltaHeaderLayout::kReserved + 2 &&
                  DeltaHeaderLayout::kNewSize == DeltaHeaderLayout::kOldSize + 8 &&
                  DeltaHeaderLayout::kNewHash == DeltaHeaderLayout::kNewSize + 8,
              "the fields follow one another without gaps");
static_assert(DeltaHeaderLayout::kNewHash + 8 == kDeltaHeaderSize, "fields must fill the header");
// The trailer is the checksum of every byte before it.
constexpr size_t kDeltaTrailerSize = 8;

void WriteDeltaHeader(const DeltaHeader& header, uint8_t out[kDeltaHeaderSize]);
// False when the bytes are not a header this version understands.
bool ReadDeltaHeader(const uint8_t in[kDeltaHeaderSize], DeltaHeader& header);

// Limits of the Diff encoding. The new contents are cut into chunks of at most kChunkNewBytes;
// a chunk ends early once its control stream reaches kChunkControlSoftLimit, so a valid chunk
// never has more than kChunkControlMaxBytes of control. Run lengths of a chunk's differences
// cost at most one byte per difference byte plus two.
constexpr uint64_t kChunkNewBytes = 1u << 20;
constexpr uint64_t kChunkControlSoftLimit = 256u << 10;
constexpr uint64_t kMaxControlOpBytes = 3 * 10;
constexpr uint64_t kChunkControlMaxBytes = kChunkControlSoftLimit + kMaxControlOpBytes;
constexpr uint64_t kChunkRunsMaxBytes = kChunkNewBytes + 2;

// Largest zstd window the decoder accepts: each of the four Diff streams, or the single
// Compressed frame. Keeps decoding memory bounded whatever the file size.
constexpr int kDiffStreamWindowLog = 23;
constexpr int kCompressedWindowLog = 25;

// Limits of the Segments encoding. Each segment of the new file (at most kSegmentNewBytes, a
// multiple of kBranchPage unless it ends the file) is one zstd frame whose window reaches back
// into a prefix: at most kSegmentOldBytes of old ranges, read and laid end to end. Prefix and
// segment together fit the window, so the decoder needs no more than the two buffers.
constexpr uint64_t kSegmentNewBytes = uint64_t{8} << 20;
constexpr uint64_t kSegmentOldBytes = uint64_t{24} << 20;
constexpr uint64_t kMaxSegmentRanges = 4096;
constexpr int kSegmentWindowLog = 25;
static_assert(kSegmentNewBytes + kSegmentOldBytes <= uint64_t{1} << kSegmentWindowLog,
              "a segment's frame must reach its whole prefix");
// Flags of a segment: its branches transformed, or its bytes copied whole from the old file.
constexpr uint64_t kSegmentTransformed = 1;
constexpr uint64_t kSegmentCopied = 2;
// Flags of a Segments body.
constexpr uint64_t kSegmentsBranchTransform = 1;  // x86 branch operands made absolute
constexpr uint64_t kSegmentsCode64 = 2;           // ... including RIP-relative ones

}  // namespace tpe
