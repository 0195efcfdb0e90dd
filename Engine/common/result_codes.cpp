#include "result_codes.h"

namespace tpe {

const char* ResultText(EngineResult result) {
    switch (result) {
        case EngineResult::Ok:
            return "success";
        case EngineResult::BadCommandLine:
            return "bad command line";
        case EngineResult::PayloadMissing:
            return "no patch data found";
        case EngineResult::PayloadDamaged:
            return "patch data damaged or invalid";
        case EngineResult::FolderMissing:
            return "installation folder not found";
        case EngineResult::ContentsMismatch:
            return "installation does not match the patch";
        case EngineResult::InsufficientSpace:
            return "not enough free disk space";
        case EngineResult::IoFailure:
            return "file operation failed, changes rolled back";
        case EngineResult::Cancelled:
            return "cancelled, changes rolled back";
        case EngineResult::ConsentRefused:
            return "replacing a read-only file was refused";
        case EngineResult::OutOfMemory:
            return "out of memory";
        case EngineResult::RollbackIncomplete:
            return "rollback incomplete";
        case EngineResult::JournalUnusable:
            return "the journal of an interrupted update cannot be used";
        case EngineResult::FolderIsLink:
            return "the installation folder is a link";
    }
    return "unknown result";
}

}  // namespace tpe
