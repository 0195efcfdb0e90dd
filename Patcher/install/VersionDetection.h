#pragma once
// Which version of the game is installed: the version stamp inside the identifying file, or
// else the first checksum line that its file matches.

#include "Utility/String.h"

class PatchDescription;

// The version text stamped into a program's DOS stub: the marker "Windows only.\r\n" (any case)
// at offset 78 and up to 16 characters of version at 94.
bool ReadVersionStamp(const QLC_String& path, QLC_String& version);

// Sets installedVersion when it can tell.
bool DetectInstalledVersion(PatchDescription& description);

// The installation folder, a backslash and the file name.
QLC_String InstalledFilePath(const PatchDescription& description, const QLC_String& file);
