#include "reference_model_builder.h"

#include <algorithm>

#include "executable_layout.h"

namespace tpe {
namespace {

// Short copies are often chance matches that mislead the predictions, and they cost model
// bytes; 128 measured best on real executables.
constexpr uint64_t kMinEquivalenceLength = 128;

std::vector<Equivalence> EquivalencesFrom(const DiffScript& script) {
    std::vector<Equivalence> found;
    uint64_t oldAt = 0, newAt = 0;
    for (const DiffOp& op : script.ops) {
        oldAt += static_cast<uint64_t>(op.seek);
        if (op.copyLen >= kMinEquivalenceLength) {
            found.push_back({oldAt, newAt, op.copyLen});
        }
        oldAt += op.copyLen;
        newAt += op.copyLen + op.literalLen;
    }
    std::stable_sort(found.begin(), found.end(), [](const Equivalence& a, const Equivalence& b) {
        return a.oldStart < b.oldStart;
    });
    // Old bytes copied more than once map to their first copy.
    std::vector<Equivalence> kept;
    for (Equivalence e : found) {
        uint64_t end = kept.empty() ? 0 : kept.back().oldStart + kept.back().length;
        if (e.oldStart < end) {
            uint64_t overlap = end - e.oldStart;
            if (overlap >= e.length) {
                continue;
            }
            e.oldStart += overlap;
            e.newStart += overlap;
            e.length -= overlap;
        }
        kept.push_back(e);
    }
    return kept;
}

}  // namespace

bool BuildReferenceModel(const uint8_t* oldData, size_t oldSize, const uint8_t* newData,
                         size_t newSize, const DiffScript& script, ReferenceModel& model) {
    ExecutableLayout oldLayout, newLayout;
    if (!ReadExecutableLayout(oldData, oldSize, oldLayout) ||
        !ReadExecutableLayout(newData, newSize, newLayout) || oldLayout.is64 != newLayout.is64) {
        return false;
    }
    model.is64 = oldLayout.is64;
    model.oldSegments = std::move(oldLayout.segments);
    model.newSegments = std::move(newLayout.segments);
    model.equivalences = EquivalencesFrom(script);
    return model.equivalences.size() <= kMaxEquivalences;
}

}  // namespace tpe
