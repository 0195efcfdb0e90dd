#pragma once
// What the two engine callbacks share: the pump at the start of every call, reading the
// engine's parameters, the history extension of file names and the cancel lines.

#include <cstdint>

#include "PatchEngineApi.h"
#include "Utility/String.h"

class PatchDescription;

// Lets the window handle its messages and returns the run's description; throws
// Win::ExitException once the program is quitting.
PatchDescription& BeginCallback();

// A text parameter; the empty text for null.
const char* EngineText(void* parameter);
// The fraction of kEngineFileFraction as a percentage; 0 for null.
int FractionPercent(void* parameter);
// A pointer to a 32-bit count; 0 for null.
int32_t EngineCount(void* parameter);

bool Holds(const char* text, const char* phrase);

// The name without its last '.' and extension when the extension is one of the patch's history
// extensions (compared case-sensitively); otherwise the name unchanged.
QLC_String WithoutHistoryExtension(const PatchDescription& description, const QLC_String& name);

// Message 115 ("Update process did not complete...") and the finished buttons.
void ReportCancelled(PatchDescription& description);

// Message 140: the current file is present but not of the version the patch expects.
void ReportInconsistentFile(PatchDescription& description);
