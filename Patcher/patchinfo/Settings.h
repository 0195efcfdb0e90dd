#pragma once
// The start-up step: names the application folder, lists the patch information from the
// payload and reads the command-line switches.

#include "Utility/String.h"

class PatchDescription;

// Ends the process with status 1 when the patch information cannot be listed.
void ReadSettings(QLC_String commandLine);

// Sets the switches found anywhere in the command line, ignoring case: SkipVersionCheck, Backup,
// ShowErrorReport.
void ReadSwitches(const QLC_String& commandLine, PatchDescription& description);
