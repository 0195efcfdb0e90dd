#include "install/InstallFolder.h"

#include "patchinfo/PatchDescription.h"

// The search needs the path operations and the registry; until they exist nothing is found and
// the user is asked to point at the installation.
void FindInstallFolder(PatchDescription&) {}
