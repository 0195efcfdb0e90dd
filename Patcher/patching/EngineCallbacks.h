#pragma once
// The engine's callbacks for the two passes of an update, and the log of the engine's texts that
// the Error Report shows. They reach the run's state through g_patchDescription.

// The analysis pass: collects the files to patch, a shortage of space and files that are not of
// the expected version; changes nothing.
const char* OnAnalysisMessage(unsigned messageId, void* parameter);

// The applying pass: reports every file and stops the engine after a cancel or an error.
const char* OnApplyMessage(unsigned messageId, void* parameter);

// Keeps an engine text for the Error Report: trimmed of white space, left out when empty.
void LogEngineText(const char* text);
