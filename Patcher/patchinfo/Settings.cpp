#include "patchinfo/Settings.h"

#include "patchinfo/PatchDescription.h"

// The payload listing comes with the engine; until then the description stays empty, so the
// start dialog says that no target version is known.
void ReadSettings(QLC_String) {}

void ReadSwitches(const QLC_String&, PatchDescription&) {}
