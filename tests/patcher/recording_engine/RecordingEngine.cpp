// A stand-in for the patch engine: reports the command line it was given and the flag, then
// answers as the command line asks. Lets the runner's tests see exactly what reaches an engine.

#include <cstdio>
#include <cstring>

#include "PatchEngineApi.h"

extern "C" __declspec(dllexport) int PatchEngineApply(const char* commandLine,
                                                      EngineCallback callback, int flag) {
    char flagText[16];
    std::snprintf(flagText, sizeof flagText, "%d", flag);
    if (!callback(11, const_cast<char*>(commandLine)) || !callback(12, flagText)) {
        return 99;  // stopped by a null answer
    }
    if (std::strstr(commandLine, "-fail")) {
        return 7;
    }
    return 0;
}
