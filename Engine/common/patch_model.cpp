#include "patch_model.h"

namespace tpe {

Contents LinkContents(const std::string& linkTarget) {
    Contents c;
    c.present = true;
    c.size = linkTarget.size();
    c.hash = Sha256Of(linkTarget.data(), linkTarget.size());
    return c;
}

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
