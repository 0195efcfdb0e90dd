#pragma once
// An update whose process died (killed, crashed, power lost) leaves the engine's journal in the
// installation, with files half swapped. Before the installation is judged in any way, the
// engine finishes that update or rolls it back; only then does the run go on.

#include "Utility/String.h"

class PatchDescription;

// True when `folder` holds the journal of an interrupted update. Reads nothing else.
bool InterruptedUpdatePending(const QLC_String& folder);

// Lets the engine end an interrupted update of the installation folder, if there is one, and
// says in the log pane what happened. Also refuses an installation folder that is a link.
// Returns true when the run may go on; false when it must stop (its lines are written).
bool FinishInterruptedUpdate(PatchDescription& description);
