#pragma once
// Results of an engine run; the DLL returns them and tpatch exits with them. 0 only for success.
#include "PatchEngineApi.h"

namespace tpe {

enum class EngineResult : int {
    Ok = 0,
    BadCommandLine = 1,     // unknown option, no mode, missing folder
    PayloadMissing = 2,     // no payload found in the program file
    PayloadDamaged = 3,     // checksum, size, limit or unsafe path refused
    FolderMissing = 4,      // the installation folder does not exist
    ContentsMismatch = 5,   // a file is missing or neither old nor new
    InsufficientSpace = 6,  // the volume cannot hold what the apply writes
    IoFailure = 7,          // a read, write, rename or delete failed; rolled back
    Cancelled = 8,          // the callback answered null; rolled back
    ConsentRefused = 9,     // a read-only file may not be replaced
    OutOfMemory = 10,
    RollbackIncomplete = 11,  // rollback itself failed: files named in the last error message
    JournalUnusable = 12,     // an interrupted apply's journal is damaged or names what it may
                              // not; nothing was changed and the journal stays
    FolderIsLink = 13,        // the installation folder is itself a link or junction
};

// The results that callers tell apart are part of the engine's contract.
static_assert(int(EngineResult::FolderMissing) == kEngineFolderMissing, "contract result");
static_assert(int(EngineResult::JournalUnusable) == kEngineJournalUnusable, "contract result");
static_assert(int(EngineResult::FolderIsLink) == kEngineFolderIsLink, "contract result");

const char* ResultText(EngineResult result);

}  // namespace tpe
