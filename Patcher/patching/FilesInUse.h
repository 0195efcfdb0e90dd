#pragma once
// Programs of the patch that another process holds open: the engine could not replace them.

class PatchDescription;

// Tries every .exe of the files to patch for exclusive writing. False, after the lines naming
// the first one that is held open, when one is.
bool ProgramsAreFree(PatchDescription& description);
