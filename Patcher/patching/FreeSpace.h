#pragma once
// What the run tells the user about the disk when the patch needs more room than there is.

#include <cstdint>

#include "Utility/String.h"

// The decimal digits with "," between groups of three, counted from the right, in every
// language: 0, 999, 1,000, 5,368,709,120.
QLC_String FormatByteCount(uint64_t count);

// The volume the installation is on, as the disk-space message names it: the network share
// (\\server\share) of a UNC folder, else the drive, upper-cased ("C:"): the folder's
// first character when its second is ':', otherwise the first character of `currentDirectory`.
QLC_String InstallVolumeName(const QLC_String& installFolder, const QLC_String& currentDirectory);

// The disk-space message (139) for that volume: a share takes the drive letter's place.
QLC_String DiskSpaceText(uint64_t freeBytes, const QLC_String& volume, uint64_t requiredBytes);

// The free bytes available to this user on the installation's volume (its share, for a UNC
// folder), or on the current directory's when the folder names no volume.
uint64_t FreeBytesForInstallation(const QLC_String& installFolder);
