#pragma once

class PatchDescription;

// Looks for the installation while the description's folder is empty: the current directory
// first, then the registry keys of the patch information.
void FindInstallFolder(PatchDescription& description);
