#pragma once

class PatchDescription;

// Writes the support report (the engine's texts and a checksum line per installed file) into
// the log pane.
void RunErrorReport(PatchDescription& description);
