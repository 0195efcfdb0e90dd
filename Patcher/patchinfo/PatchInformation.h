#pragma once
// The patch-information lines that the engine lists from the payload, parsed into the one
// PatchDescription.

#include "Utility/String.h"

// Parses one information line into g_patchDescription. Unknown keywords are ignored; missing
// fields become empty texts so that parallel lists stay parallel.
void ParseInformationLine(const QLC_String& text);

// Answers the engine's messages while it lists the payload.
const char* OnListingMessage(unsigned messageId, void* data);

// Lists the payload through the engine. True when the listing failed.
bool ListPatchInformation();
