// PatchEngine.dll: runs the engine core for a caller that passes a command line and a callback.
#include "PatchEngineApi.h"
#include "engine.h"
#ifdef TESSALY_CRASH_POINTS
#include "crash_points.h"
#endif

namespace {

tpe::FileSystem& EngineFileSystem() {
#ifdef TESSALY_CRASH_POINTS
    return tpe::CrashPointFileSystem();
#else
    return tpe::NativeFileSystem();
#endif
}

}  // namespace

extern "C" __declspec(dllexport) int PatchEngineApply(const char* commandLine,
                                                      EngineCallback callback, int /*flag*/) {
    // Exceptions thrown by the callback (a caller leaving the run) pass through; the apply's
    // transaction rolls back while they unwind.
    tpe::MessageSink sink = [callback](unsigned id, void* parameter) -> const char* {
        return callback ? callback(id, parameter) : "";
    };
    return static_cast<int>(tpe::RunEngineCommandLine(commandLine, sink, EngineFileSystem()));
}
