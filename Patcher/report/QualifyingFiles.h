#pragma once
// The installed files that the support report sums up.

#include "Utility/String.h"

class StringList;

// Every file below `root` (a folder with '/' separators and a trailing '/') as a path relative
// to it, except those below a folder whose name ends in "logs" (any case): the game's own logs
// change all the time and tell support nothing.
void CollectQualifyingFiles(const QLC_String& root, StringList& files);

// Sorts ascending, ignoring case.
void SortIgnoringCase(StringList& files);
