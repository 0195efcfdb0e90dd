#pragma once
// The payload's on-disk layout: a fixed header at its start, three sections (information lines,
// file table, data blocks) and a fixed trailer at its end, all little-endian. docs/patch-format.md
// describes every field; change both together and raise kFormatVersion.
#include <cstdint>

namespace tpe {

// Written by the builder; the reader also takes every older version down to the oldest.
constexpr uint16_t kFormatVersion = 2;
constexpr uint16_t kOldestFormatVersion = 1;

constexpr char kHeaderMagic[8] = {'T', 'S', 'L', 'Y', 'P', 'T', 'C', 'H'};
constexpr char kTrailerMagic[8] = {'T', 'S', 'L', 'Y', 'E', 'N', 'D', '!'};

// Field offsets of the header (kHeaderSize bytes).
struct HeaderLayout {
    static constexpr int kMagic = 0;         // 8 bytes
    static constexpr int kVersion = 8;       // u16
    static constexpr int kHeaderSize = 10;   // u16
    static constexpr int kFlags = 12;        // u32, reserved, 0
    static constexpr int kInfoOffset = 16;   // u64, from the payload's first byte
    static constexpr int kInfoSize = 24;     // u64
    static constexpr int kTableOffset = 32;  // u64
    static constexpr int kTableSize = 40;    // u64
    static constexpr int kDataOffset = 48;   // u64
    static constexpr int kDataSize = 56;     // u64
    static constexpr int kBodyHash = 64;     // 32 bytes: SHA-256 of info, table and data
    static constexpr int kReserved = 96;     // u32, 0
    static constexpr int kCrc = 100;         // u32: CRC-32 of bytes 0..99
    static constexpr int kSize = 104;
};

// Field offsets of the trailer (kTrailerSize bytes), the payload's last bytes.
struct TrailerLayout {
    static constexpr int kMagic = 0;        // 8 bytes
    static constexpr int kPayloadSize = 8;  // u64: header through trailer
    static constexpr int kReserved = 16;    // u32, 0
    static constexpr int kCrc = 20;         // u32: CRC-32 of bytes 0..19
    static constexpr int kSize = 24;
};

constexpr int kHeaderSize = HeaderLayout::kSize;
constexpr int kTrailerSize = TrailerLayout::kSize;
static_assert(HeaderLayout::kCrc + 4 == kHeaderSize, "header fields must fill the header");
static_assert(HeaderLayout::kBodyHash + 32 == HeaderLayout::kReserved, "hash is 32 bytes");
static_assert(TrailerLayout::kCrc + 4 == kTrailerSize, "trailer fields must fill the trailer");
static_assert(sizeof(kHeaderMagic) == 8 && sizeof(kTrailerMagic) == 8, "magic is 8 bytes");

// Limits the reader enforces, so that a hostile payload cannot exhaust memory.
constexpr uint32_t kMaxInfoLines = 4096;
constexpr uint32_t kMaxInfoLineLength = 1023;  // the utility keeps lines in 1024-byte buffers
constexpr uint64_t kMaxInfoSectionSize = 8u << 20;
constexpr uint64_t kMaxTableSize = 256u << 20;
constexpr uint32_t kMaxSources = 256;
constexpr uint32_t kMaxFiles = 1000000;
constexpr uint32_t kMaxFolders = 1000000;
constexpr uint32_t kMaxPathLength = 259;  // relative path, bytes
constexpr uint32_t kMaxVersionLength = 64;
constexpr uint32_t kMaxExtensionLength = 32;
constexpr uint32_t kMaxLinkTargetLength = 1023;

// Section codes of the file table.
enum class FolderAction : uint8_t { Create = 1, Remove = 2 };
// What a file entry names (format 2 on; older payloads hold files only). A link's contents are
// its target text.
enum class EntryKind : uint8_t { File = 1, Link = 2 };
// Delta: the codec's delta against the old file; Full: one zstd frame of the new contents, for
// files whose delta failed the builder's check.
enum class BlockKind : uint8_t { None = 0, Delta = 1, Full = 2 };
constexpr int kFullBlockWindowLog = 25;  // 32 MiB: the apply's memory stays bounded

}  // namespace tpe
