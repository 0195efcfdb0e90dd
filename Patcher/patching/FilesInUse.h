#pragma once
// Programs of the patch that another process holds open: the engine could not replace them.

class PatchDescription;

// Tries every .exe of the files to patch for exclusive use. False, after the lines naming the
// first one that another process holds open, when one is; a file that cannot be opened for
// other reasons (read-only, no rights) is left to the engine, which says why.
bool ProgramsAreFree(PatchDescription& description);
