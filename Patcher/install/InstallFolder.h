#pragma once
// Where the game is installed: the current directory, then the registry keys of the patch.

#include "Utility/String.h"

class PatchDescription;

// Looks for the installation while the description's folder is empty: the identifying file in
// the current directory first, then every registry key's "Install Path" in turn (a later key
// that also holds the game wins). Never clears the folder.
void FindInstallFolder(PatchDescription& description);

// Spells every component of an existing path as it is stored on disk; false when the path does
// not exist. The drive keeps the spelling it was given.
bool TrueCasePath(const QLC_String& path, QLC_String& result);
