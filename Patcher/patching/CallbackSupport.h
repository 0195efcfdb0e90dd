#pragma once
// What the two engine callbacks share: the pump at the start of every call, reading the
// engine's parameters, the history extension of file names and the cancel lines.

#include <cstdint>

#include "Utility/String.h"

class PatchDescription;

// Engine message ids, as both passes receive them.
enum EngineMessage : unsigned {
    kEngineWarning = 2,
    kEngineError = 4,
    kEngineFileFraction = 5,
    kEngineFileCount = 6,
    kEngineFileBegins = 7,
    kEngineFileDone = 8,
    kEngineNotice = 9,
    kEngineInformation = 11,
    kEnginePatchInvalid = 13,
    kEnginePatchFileInvalid = 14,
    kEngineQuestion = 19,
    kEngineTick = 21,
    kEngineRecovered = 22,  // pointer to a 32-bit outcome: 1 completed, 2 rolled back
};

// Results of an engine run that the utility tells apart (any other non-zero result is a failure).
enum EngineResultCode : int {
    kEngineFolderMissing = 4,     // the installation folder does not exist
    kEngineJournalUnusable = 12,  // an interrupted update's journal cannot be used
    kEngineFolderIsLink = 13,     // the installation folder is a link or junction
};
enum RecoveryOutcome : uint32_t { kRecoveryCompleted = 1, kRecoveryRolledBack = 2 };

// The journal that the engine keeps in the installation while it changes it; one left behind
// means an update was interrupted.
const char kEngineJournalName[] = ".~tpjournal";

// True for the ids that always stop the engine: 15, 17, 18 and 20.
bool IsStopMessage(unsigned messageId);

// Lets the window handle its messages and returns the run's description; throws
// Win::ExitException once the program is quitting.
PatchDescription& BeginCallback();

// A text parameter; the empty text for null.
const char* EngineText(void* parameter);
// Message 5's fraction of the current file (32768 = whole) as a percentage; 0 for null.
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
