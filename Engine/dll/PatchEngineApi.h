#pragma once
// The patch engine DLL's one export, for programs that load PatchEngine.dll. Both functions use
// the C calling convention; the export sits at ordinal 1.
#ifdef __cplusplus
extern "C" {
#endif

// Answer "" to carry on, a null pointer to stop the engine; see docs/patch-format.md for the
// message ids and their parameters.
typedef const char* (*EngineCallback)(unsigned messageId, void* parameter);

// Runs one pass: commandLine is /z "program" "folder" followed by -l, -j, -u or -r [-b:Folder].
// `flag` is reserved (callers pass 1). Returns 0 on success, a result code otherwise.
int PatchEngineApply(const char* commandLine, EngineCallback callback, int flag);

typedef int (*PatchEngineApplyFunction)(const char*, EngineCallback, int);

#ifdef __cplusplus
}
#endif
