#pragma once
// Runs the patch engine that the utility carries as a resource: writes it to a temporary file,
// loads it, calls its entry point once, unloads and deletes it.

#include "PatchEngineApi.h"

// Runs the engine with "/z \"<this program>\" <arguments>". Returns the engine's result (0 is
// success) or kEngineDidNotStart. An exception thrown by the callback stops the engine (as a
// null answer does) and is thrown again once the engine has returned and been removed.
int RunPatchEngine(const char* arguments, EngineCallback callback, int flag);
