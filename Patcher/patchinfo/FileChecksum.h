#pragma once
// The one checksum of the system: h = h * 7 + byte over a prefix of a file, modulo 2^32. The
// checksum lines of the patch information carry it.

#include <cstdint>

#include "Utility/String.h"

class QLC_IFile;

// Over the first `length` bytes of the open file (0 or -1: the whole file); bytes past the end
// count as zeros. Other negative lengths also mean the whole file.
uint32_t ChecksumOfOpenFile(QLC_IFile& file, int32_t length);

// Opens `path` for reading (flags 17) and sums it; 0 when it cannot be opened.
uint32_t FileChecksum(const QLC_String& path, int32_t length);

// A decimal field of an information line: optional white space, optional sign, digits, read
// modulo 2^32; reading stops at the first other character.
uint32_t DecimalFieldValue(const QLC_String& text);
