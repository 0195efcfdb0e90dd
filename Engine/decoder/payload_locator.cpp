#include "payload_locator.h"

#include <cstring>

#include "byte_io.h"
#include "crc32.h"
#include "payload_format.h"
#include "refuse.h"

namespace tpe {
namespace {

// The PE header's offset, or 0 when the file is no Windows program.
uint64_t PeHeaderOffset(InputFile& file) {
    uint8_t dos[64];
    if (file.Size() < sizeof(dos) || !file.ReadAt(0, dos, sizeof(dos)) || dos[0] != 'M' ||
        dos[1] != 'Z') {
        return 0;
    }
    uint64_t pe = GetLe(dos + 0x3C, 4);
    uint8_t signature[4];
    if (pe < sizeof(dos) || pe + 24 > file.Size() || !file.ReadAt(pe, signature, 4) ||
        std::memcmp(signature, "PE\0\0", 4) != 0) {
        return 0;
    }
    return pe;
}

}  // namespace

bool IsPeImage(InputFile& file) {
    return PeHeaderOffset(file) != 0;
}

uint64_t EndBeforeCertificates(InputFile& file) {
    const uint64_t fileSize = file.Size();
    uint64_t pe = PeHeaderOffset(file);
    uint8_t head[24 + 240];  // signature, file header, and enough optional header for both kinds
    if (pe == 0 || pe + sizeof(head) > fileSize || !file.ReadAt(pe, head, sizeof(head)) ||
        std::memcmp(head, "PE\0\0", 4) != 0) {
        return fileSize;
    }
    const uint8_t* optional = head + 24;
    uint16_t magic = uint16_t(GetLe(optional, 2));
    int countAt = magic == 0x20b ? 108 : magic == 0x10b ? 92 : -1;
    if (countAt < 0 || GetLe(optional + countAt, 4) <= 4) {
        return fileSize;
    }
    const uint8_t* security = optional + countAt + 4 + 4 * 8;  // directory entry 4
    uint64_t certOffset = GetLe(security, 4), certSize = GetLe(security + 4, 4);
    // Only a table that ends the file hides what precedes it.
    if (certSize == 0 || certOffset > fileSize || certOffset + certSize != fileSize) {
        return fileSize;
    }
    return certOffset;
}

PayloadStatus LocatePayload(InputFile& file, PayloadLocation* where, std::string* error) {
    const uint64_t end = EndBeforeCertificates(file);
    // Signing tools pad the file to 8 bytes before the certificate table.
    for (uint64_t pad = 0; pad < 8 && pad + kTrailerSize <= end; ++pad) {
        uint8_t t[kTrailerSize + 8];
        uint64_t at = end - pad - kTrailerSize;
        if (!file.ReadAt(at, t, size_t(kTrailerSize + pad))) {
            break;
        }
        bool paddingZero = true;
        for (uint64_t i = 0; i < pad; ++i) {
            paddingZero = paddingZero && t[kTrailerSize + i] == 0;
        }
        if (!paddingZero || std::memcmp(t, kTrailerMagic, 8) != 0) {
            continue;
        }
        REFUSE_IF(GetLe(t + TrailerLayout::kCrc, 4) != Crc32(t, TrailerLayout::kCrc) ||
                      GetLe(t + TrailerLayout::kReserved, 4) != 0,
                  Refusal(error, "the payload trailer is damaged", PayloadStatus::Damaged));
        uint64_t size = GetLe(t + TrailerLayout::kPayloadSize, 8);
        REFUSE_IF(
            size < uint64_t(kHeaderSize + kTrailerSize) || size > at + kTrailerSize,
            Refusal(error, "the payload trailer gives an impossible size", PayloadStatus::Damaged));
        where->offset = at + kTrailerSize - size;
        where->size = size;
        return PayloadStatus::Ok;
    }
    return Refusal(error, "no patch data found (the file carries no payload, or it is truncated)",
                   PayloadStatus::Missing);
}

}  // namespace tpe
