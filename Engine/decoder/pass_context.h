#pragma once
// What every pass over an installation shares.
#include <string>

#include "engine_messages.h"
#include "file_check.h"
#include "file_system.h"
#include "payload_reader.h"
#include "result_codes.h"

namespace tpe {

struct PassContext {
    FileSystem& fs;
    Reporter& reporter;
    const OpenedPayload& payload;
    InputFile& payloadFile;
    std::string root;
    std::string backupFolder;
    int source = 0;  // the old build the installation looks like
};

// The old build most files match by size: decides the history extension shown in names.
int GuessSource(FileSystem& fs, const std::string& root, const PatchModel& model);
// The name reported for a file: '\'-separated, with the history extension in a multi-version
// patch.
std::string ReportedName(const PassContext& context, const std::string& path);

EngineResult ListPass(PassContext& context);
EngineResult AnalysisPass(PassContext& context);
EngineResult ApplyPass(PassContext& context);

}  // namespace tpe
