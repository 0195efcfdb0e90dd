#include "patch_model.h"

namespace tpe {

FileAction ActionOf(const FileEntry& entry) {
    if (!entry.target.present) {
        return FileAction::Delete;
    }
    for (const OldState& state : entry.states) {
        if (state.old.present) {
            return FileAction::Modify;
        }
    }
    return FileAction::Add;
}

}  // namespace tpe
