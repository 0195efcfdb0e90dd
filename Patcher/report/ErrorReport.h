#pragma once

class PatchDescription;

// Writes the support report into the log pane: the engine's texts of the last run, then a
// checksum line for every installed file. Stops at once when the program is quitting.
void RunErrorReport(PatchDescription& description);
