#pragma once
// Finds the payload inside a file: a bare payload file, or one appended to a Windows program,
// also when an Authenticode certificate table was added after it.
#include <cstdint>
#include <string>

#include "file_system.h"

namespace tpe {

struct PayloadLocation {
    uint64_t offset = 0;  // of the header
    uint64_t size = 0;    // header through trailer
};

// Where the bytes before an Authenticode certificate table end; the file's size when the file
// is no Windows program or carries no table at its end.
uint64_t EndBeforeCertificates(InputFile& file);
// The file starts with a DOS header that points at a PE header.
bool IsPeImage(InputFile& file);

enum class PayloadStatus { Ok, Missing, Damaged };

// Ok with `where` set; Missing when the file carries no trailer, Damaged when its trailer is
// damaged, both with `error` set.
PayloadStatus LocatePayload(InputFile& file, PayloadLocation* where, std::string* error);

}  // namespace tpe
