#include "build_diff_plan.h"

#include <map>
#include <string>

#include "file_system.h"
#include "sha256.h"

namespace tpe {

DiffPlan PlanDiffs(const BuildRequest& request, PatchModel* model) {
    DiffPlan plan;
    for (size_t f = 0; f < model->files.size(); ++f) {
        FileEntry& file = model->files[f];
        if (file.kind == EntryKind::Link || !file.target.present) {
            continue;
        }
        std::map<std::pair<bool, std::string>, size_t> made;
        for (size_t i = 0; i < file.states.size(); ++i) {
            OldState& state = file.states[i];
            if (state.old == file.target) {
                continue;
            }
            auto key = std::make_pair(state.old.present, DigestHex(state.old.hash));
            auto same = made.find(key);
            if (same != made.end()) {
                plan.sharing.push_back({{f, i}, {f, same->second}});
                continue;
            }
            made[key] = i;
            BlockJob job;
            job.oldPath = state.old.present ? JoinPath(request.olds[i].folder, file.path) : "";
            job.oldSize = state.old.size;
            job.newPath = JoinPath(request.current.folder, file.path);
            job.newSize = file.target.size;
            job.state = &state;
            plan.jobs.push_back(job);
        }
    }
    return plan;
}

void ShareBlocks(const DiffPlan& plan, PatchModel* model) {
    for (const auto& [place, owner] : plan.sharing) {
        OldState& state = model->files[place.first].states[place.second];
        const OldState& same = model->files[owner.first].states[owner.second];
        state.block = same.block;
        state.blockOffset = same.blockOffset;
        state.blockSize = same.blockSize;
        state.blockCrc = same.blockCrc;
    }
}

}  // namespace tpe
