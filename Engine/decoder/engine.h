#pragma once
// The engine's entry points: the DLL, tpatch and the tests all run a pass through these.
#include "command_line.h"
#include "engine_messages.h"
#include "file_system.h"
#include "result_codes.h"

namespace tpe {

EngineResult RunEngine(const EngineOptions& options, const MessageSink& sink, FileSystem& fs);
EngineResult RunEngineCommandLine(const char* commandLine, const MessageSink& sink, FileSystem& fs);

}  // namespace tpe
