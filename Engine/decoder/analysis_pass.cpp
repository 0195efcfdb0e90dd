// -j: checks every file of the patch against the installation; changes nothing.
#include "engine_texts.h"
#include "pass_context.h"

namespace tpe {

EngineResult AnalysisPass(PassContext& c) {
    const PatchModel& model = c.payload.model;
    uint32_t count = uint32_t(model.files.size());
    if (!c.reporter.Send(kEngineFileCount, &count)) {
        return EngineResult::Cancelled;
    }
    EngineResult result = EngineResult::Ok;
    uint64_t needed = 0;
    for (const FileEntry& file : model.files) {
        const std::string name = ReportedName(c, file.path);
        if (!c.reporter.Text(kEngineFileBegins, name)) {
            return EngineResult::Cancelled;
        }
        ReadProgress progress = [&](uint64_t done, uint64_t total) {
            return c.reporter.Send(kEngineTick) && c.reporter.Progress(done, total);
        };
        FileStanding standing = CheckFile(c.fs, c.root, file, c.source, progress);
        if (standing.standing == Standing::Cancelled || !progress(1, 1)) {
            return EngineResult::Cancelled;
        }
        EngineResult problem = EngineResult::Ok;
        std::string error;
        switch (standing.standing) {
            case Standing::AtOld:
                // Saturates: sizes from a hostile payload must not wrap round to a small total.
                if (file.target.present) {
                    needed = file.target.size > UINT64_MAX - needed ? UINT64_MAX
                                                                    : needed + file.target.size;
                }
                break;
            case Standing::AtNew:
                if (ModeDiffers(file, standing.node) &&
                    !c.reporter.Text(kEngineWarning,
                                     ModeText(name, standing.node.mode, file.mode))) {
                    return EngineResult::Cancelled;
                }
                break;
            case Standing::Mismatch:
                if (!c.reporter.Text(kEngineWarning, MismatchText(name))) {
                    return EngineResult::Cancelled;
                }
                break;
            case Standing::Missing:
                problem = EngineResult::ContentsMismatch;
                error = MissingText(name);
                break;
            case Standing::Unsafe:
                problem = EngineResult::ContentsMismatch;
                error = UnsafeText(name);
                break;
            case Standing::Unreadable:
                problem = EngineResult::IoFailure;
                error = UnreadableText(name);
                break;
            case Standing::TooLong:
                problem = EngineResult::IoFailure;
                error = TooLongText(name, c.fs.PathLimit());
                break;
            default:
                break;
        }
        if (problem != EngineResult::Ok) {
            result = problem;
            if (!c.reporter.Text(kEngineError, error)) {
                return problem;
            }
        }
        if (!c.reporter.Send(kEngineFileDone)) {
            return result == EngineResult::Ok ? EngineResult::Cancelled : result;
        }
    }
    uint64_t available = 0;
    if (c.fs.FreeSpace(c.root, &available) && available < needed) {
        if (result == EngineResult::Ok) {
            result = EngineResult::InsufficientSpace;
        }
        c.reporter.Text(kEngineError, SpaceText(needed));
    }
    return result;
}

}  // namespace tpe
