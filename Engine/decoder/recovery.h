#pragma once
// Every pass first looks for the journal of an apply whose process died, and finishes or undoes
// that apply, so that the installation is wholly old or wholly new before anything else happens.
#include <string>

#include "engine_messages.h"
#include "file_system.h"
#include "result_codes.h"

namespace tpe {

// Ok when there was nothing to recover or the recovery succeeded (reported as a notice, message
// 11); otherwise the error was reported and the journal stays for the next run.
EngineResult RecoverInterruptedApply(FileSystem& fs, const std::string& root, Reporter& reporter);

}  // namespace tpe
