#pragma once
// The payload's on-disk layout: a fixed header at its start, three sections (information lines,
// file table, data blocks) and a fixed trailer at its end, all little-endian. docs/patch-format.md
// describes every field; change both together and raise kFormatVersion.
#include <cstddef>
#include <cstdint>

#include "PatchEngineApi.h"

namespace tpe {

// Written by the builder; the reader also takes every older version down to the oldest.
constexpr uint16_t kFormatVersion = 2;
constexpr uint16_t kOldestFormatVersion = 1;

constexpr char kHeaderMagic[8] = {'T', 'S', 'L', 'Y', 'P', 'T', 'C', 'H'};
constexpr char kTrailerMagic[8] = {'T', 'S', 'L', 'Y', 'E', 'N', 'D', '!'};

// The header as it lies at the payload's start. Every field is a byte array, so the struct has
// no padding and its offsets are the file's; integers are little-endian.
struct PayloadHeaderFields {
    char magic[8];
    uint8_t version[2];
    uint8_t headerSize[2];
    uint8_t flags[4];       // reserved, 0
    uint8_t infoOffset[8];  // from the payload's first byte
    uint8_t infoSize[8];
    uint8_t tableOffset[8];
    uint8_t tableSize[8];
    uint8_t dataOffset[8];
    uint8_t dataSize[8];
    uint8_t bodyHash[32];  // SHA-256 of info, table and data
    uint8_t reserved[4];   // 0
    uint8_t crc[4];        // CRC-32 of every byte before it
};

// The trailer, the payload's last bytes.
struct PayloadTrailerFields {
    char magic[8];
    uint8_t payloadSize[8];  // header through trailer
    uint8_t reserved[4];     // 0
    uint8_t crc[4];          // CRC-32 of every byte before it
};

// Field offsets, for reading and writing the header and trailer in place.
struct HeaderLayout {
    static constexpr int kMagic = offsetof(PayloadHeaderFields, magic);
    static constexpr int kVersion = offsetof(PayloadHeaderFields, version);
    static constexpr int kHeaderSize = offsetof(PayloadHeaderFields, headerSize);
    static constexpr int kFlags = offsetof(PayloadHeaderFields, flags);
    static constexpr int kInfoOffset = offsetof(PayloadHeaderFields, infoOffset);
    static constexpr int kInfoSize = offsetof(PayloadHeaderFields, infoSize);
    static constexpr int kTableOffset = offsetof(PayloadHeaderFields, tableOffset);
    static constexpr int kTableSize = offsetof(PayloadHeaderFields, tableSize);
    static constexpr int kDataOffset = offsetof(PayloadHeaderFields, dataOffset);
    static constexpr int kDataSize = offsetof(PayloadHeaderFields, dataSize);
    static constexpr int kBodyHash = offsetof(PayloadHeaderFields, bodyHash);
    static constexpr int kReserved = offsetof(PayloadHeaderFields, reserved);
    static constexpr int kCrc = offsetof(PayloadHeaderFields, crc);
    static constexpr int kSize = sizeof(PayloadHeaderFields);
};

struct TrailerLayout {
    static constexpr int kMagic = offsetof(PayloadTrailerFields, magic);
    static constexpr int kPayloadSize = offsetof(PayloadTrailerFields, payloadSize);
    static constexpr int kReserved = offsetof(PayloadTrailerFields, reserved);
    static constexpr int kCrc = offsetof(PayloadTrailerFields, crc);
    static constexpr int kSize = sizeof(PayloadTrailerFields);
};

constexpr int kHeaderSize = HeaderLayout::kSize;
constexpr int kTrailerSize = TrailerLayout::kSize;

// The offsets payloads already in the field were written with: moving a field breaks the build.
static_assert(HeaderLayout::kMagic == 0 && HeaderLayout::kVersion == 8 &&
                  HeaderLayout::kHeaderSize == 10 && HeaderLayout::kFlags == 12 &&
                  HeaderLayout::kInfoOffset == 16 && HeaderLayout::kInfoSize == 24 &&
                  HeaderLayout::kTableOffset == 32 && HeaderLayout::kTableSize == 40 &&
                  HeaderLayout::kDataOffset == 48 && HeaderLayout::kDataSize == 56 &&
                  HeaderLayout::kBodyHash == 64 && HeaderLayout::kReserved == 96 &&
                  HeaderLayout::kCrc == 100 && kHeaderSize == 104,
              "the payload header's layout is fixed");
static_assert(TrailerLayout::kMagic == 0 && TrailerLayout::kPayloadSize == 8 &&
                  TrailerLayout::kReserved == 16 && TrailerLayout::kCrc == 20 && kTrailerSize == 24,
              "the payload trailer's layout is fixed");
static_assert(sizeof(PayloadHeaderFields::magic) == sizeof(kHeaderMagic) &&
                  sizeof(PayloadTrailerFields::magic) == sizeof(kTrailerMagic),
              "the magic values fill their fields");
static_assert(sizeof(PayloadHeaderFields::bodyHash) == 32, "the body hash is a SHA-256");

// Limits the reader enforces, so that a hostile payload cannot exhaust memory.
constexpr uint32_t kMaxInfoLines = 4096;
// Each line reaches the utility as one engine text.
constexpr uint32_t kMaxInfoLineLength = kEngineMaxTextLength;
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
