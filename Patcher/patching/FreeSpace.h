#pragma once
// What the run tells the user about the disk when the patch needs more room than there is.

#include <cstdint>

#include "Utility/String.h"

// The decimal digits with "," between groups of three, counted from the right, in every
// language: 0, 999, 1,000, 5,368,709,120.
QLC_String FormatByteCount(uint64_t count);

// The drive the installation is on, upper-cased: the folder's first character when its second
// is ':', otherwise the first character of `currentDirectory`.
char InstallDriveLetter(const QLC_String& installFolder, const QLC_String& currentDirectory);

// The free bytes available to this user on the installation's volume, or on the current
// directory's when the folder cannot be asked.
uint64_t FreeBytesForInstallation(const QLC_String& installFolder);
