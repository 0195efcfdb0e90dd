#pragma once

#include "Utility/String.h"

class PatchDescription;

// The whole update, from the installation check to the verdict. Returns when it has ended; the
// window stays open.
void RunPatchProcess(PatchDescription& description);

// The engine's arguments for the applying pass: the quoted folder, and with keepBackup the
// backup folder option, quoted too.
QLC_String ApplyPassArguments(const PatchDescription& description);
