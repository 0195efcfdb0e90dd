#pragma once

class PatchDescription;

// The whole update, from the installation check to the verdict. Returns when it has ended; the
// window stays open.
void RunPatchProcess(PatchDescription& description);
