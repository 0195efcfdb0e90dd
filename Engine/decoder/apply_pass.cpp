// -u: changes the installation in one transaction; any failure or a null answer rolls it back.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "engine_texts.h"
#include "pass_context.h"
#include "path_safety.h"
#include "stage_file.h"
#include "transaction.h"

namespace tpe {
namespace {

// Distinguishes this run's staging names from anything left by another.
std::string RunToken(const void* salt) {
    uint64_t ticks = uint64_t(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    uint64_t mixed = ticks ^ (uint64_t(reinterpret_cast<uintptr_t>(salt)) * 0x9E3779B97F4A7C15ull);
    char text[17];
    std::snprintf(text, sizeof(text), "%08x", unsigned(mixed ^ (mixed >> 32)));
    return text;
}

const char* ActionWords(const FileEntry& file) {
    switch (ActionOf(file)) {
        case FileAction::Add:
            return " (new file)";
        case FileAction::Delete:
            return " (removing it)";
        default:
            return "";
    }
}

class ApplyRun {
public:
    explicit ApplyRun(PassContext& c) : m_c(c), m_tx(c.fs, c.root, c.backupFolder, RunToken(&c)) {}

    EngineResult Run();

private:
    // Reports `text` as an error (when given), rolls back and returns `result`.
    EngineResult Fail(EngineResult result, const std::string& text) {
        if (!text.empty()) {
            m_c.reporter.Text(kEngineError, text);
        }
        std::string error;
        if (!m_tx.Rollback(&error)) {
            m_c.reporter.Text(kEngineError, "Rollback incomplete: " + error);
            return EngineResult::RollbackIncomplete;
        }
        return result;
    }
    std::string FolderError(const std::string& text) const {
        return m_tx.JournalFailed() ? JournalText() : text;
    }
    EngineResult ApplyFile(const FileEntry& file);
    EngineResult CreateFolders();
    void ScheduleFolderRemovals();
    EngineResult RemoveFolders();

    PassContext& m_c;
    Transaction m_tx;
    std::vector<std::string> m_newFolders;  // folders to create that did not exist at the start
    uint32_t m_written = 0, m_removed = 0;
};

EngineResult ApplyRun::ApplyFile(const FileEntry& file) {
    Reporter& r = m_c.reporter;
    const std::string name = ReportedName(m_c, file.path);
    if (!r.Text(kEngineFileBegins, name)) {
        return Fail(EngineResult::Cancelled, "");
    }
    // Checking a large file takes the first half of its progress, writing it the second, so
    // that the caller hears from the engine throughout.
    uint16_t writingStarts = 0;
    ReadProgress checking = [&](uint64_t done, uint64_t total) {
        writingStarts = 16384;
        return r.Fraction(uint16_t(done * 16384 / total));
    };
    FileStanding standing = CheckFile(m_c.fs, m_c.root, file, m_c.source, checking);
    // New contents at the wrong mode are written again, as a copy with the patch's mode.
    OldState modeOnly;
    modeOnly.old = file.target;
    if (standing.standing == Standing::AtNew && ModeDiffers(file, standing.node)) {
        standing.standing = Standing::AtOld;
        standing.state = &modeOnly;
    }
    switch (standing.standing) {
        case Standing::AtNew:
            if (!r.Text(kEngineNotice, NewVersionText(name)) || !r.Send(kEngineFileDone)) {
                return Fail(EngineResult::Cancelled, "");
            }
            return EngineResult::Ok;
        case Standing::Mismatch:
            if (!r.Text(kEngineWarning, MismatchText(name)) || !r.Send(kEngineFileDone)) {
                return Fail(EngineResult::Cancelled, "");
            }
            return EngineResult::Ok;
        case Standing::Missing:
            return Fail(EngineResult::ContentsMismatch, MissingText(name));
        case Standing::Unsafe:
            return Fail(EngineResult::ContentsMismatch, UnsafeText(name));
        case Standing::Unreadable:
            return Fail(EngineResult::IoFailure, UnreadableText(name));
        case Standing::TooLong:
            return Fail(EngineResult::IoFailure, TooLongText(name, m_c.fs.PathLimit()));
        case Standing::Cancelled:
            return Fail(EngineResult::Cancelled, "");
        case Standing::AtOld:
            break;
    }
    const bool readOnly = standing.node.kind == NodeKind::File && standing.node.readOnly;
    if (readOnly) {
        if (!r.Text(kEngineQuestion, ReadOnlyQuestion(name))) {
            return Fail(EngineResult::Cancelled, "");
        }
        if (r.Answer() != kEngineAnswerYes && r.Answer() != "y") {
            return Fail(EngineResult::ConsentRefused, name + " is read-only and was not replaced");
        }
    }
    if (!r.Text(kEngineNotice, ApplyingText(name, ActionWords(file)))) {
        return Fail(EngineResult::Cancelled, "");
    }
    if (file.target.present) {
        uint64_t available = 0;
        if (m_c.fs.FreeSpace(m_c.root, &available) && available < file.target.size) {
            return Fail(EngineResult::InsufficientSpace, SpaceText(file.target.size));
        }
        if (!m_tx.EnsureFolder(ParentPath(file.path))) {
            return Fail(EngineResult::IoFailure,
                        FolderError("Cannot create the folder of " + BackslashPath(file.path)));
        }
        std::string error;
        EngineResult staged = StageFile(m_c, m_tx, file, *standing.state, writingStarts, &error);
        if (staged != EngineResult::Ok) {
            return Fail(staged, error);
        }
        ++m_written;
    } else {
        ++m_removed;
    }
    Transaction::Scheduled planned;
    planned.original = standing.state->old;
    planned.target = file.target;
    planned.readOnly = readOnly;
    // A patch that records modes gives the new file its own; older ones keep the original's flag.
    planned.keepReadOnly = !file.hasMode;
    planned.targetLink = file.kind == EntryKind::Link;
    m_tx.Schedule(file.path, planned);
    if (!r.Send(kEngineFileDone)) {
        return Fail(EngineResult::Cancelled, "");
    }
    return EngineResult::Ok;
}

EngineResult ApplyRun::CreateFolders() {
    for (const std::string& folder : m_newFolders) {
        if (!PathStaysInside(m_c.fs, m_c.root, folder) || !m_tx.EnsureFolder(folder)) {
            return Fail(EngineResult::IoFailure,
                        FolderError("Cannot create the folder " + BackslashPath(folder)));
        }
        if (!m_c.reporter.Text(kEngineInformation, "Created folder " + BackslashPath(folder))) {
            return Fail(EngineResult::Cancelled, "");
        }
    }
    return EngineResult::Ok;
}

// Deepest first, after the files are gone; a folder that still holds other files stays.
void ApplyRun::ScheduleFolderRemovals() {
    std::vector<std::string> folders;
    for (const FolderEntry& folder : m_c.payload.model.folders) {
        if (folder.action == FolderAction::Remove &&
            PathStaysInside(m_c.fs, m_c.root, folder.path) &&
            m_c.fs.Stat(JoinPath(m_c.root, folder.path)).kind == NodeKind::Folder) {
            folders.push_back(folder.path);
        }
    }
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
        return std::count(a.begin(), a.end(), '/') > std::count(b.begin(), b.end(), '/');
    });
    for (const std::string& folder : folders) {
        m_tx.ScheduleFolderRemoval(folder);
    }
}

EngineResult ApplyRun::RemoveFolders() {
    for (const FolderOutcome& outcome : m_tx.RemoveFolders()) {
        const std::string name = BackslashPath(outcome.relative);
        if (!m_c.reporter.Text(kEngineInformation,
                               outcome.removed ? "Removed folder " + name
                                               : "Kept folder " + name + ": it is not empty")) {
            return Fail(EngineResult::Cancelled, "");
        }
    }
    return EngineResult::Ok;
}

EngineResult ApplyRun::Run() {
    const PatchModel& model = m_c.payload.model;
    uint32_t count = uint32_t(model.files.size());
    // "COMBINE" asks for one transaction over all files; the engine always works that way.
    if (!m_c.reporter.Send(kEngineFileCount, &count)) {
        return Fail(EngineResult::Cancelled, "");
    }
    // A patch that cannot fit is refused before anything is staged, not when the volume is
    // nearly full; each file is checked again before it is written.
    const uint64_t needed = BytesSurelyStaged(m_c.fs, m_c.root, model);
    uint64_t available = 0;
    if (m_c.fs.FreeSpace(m_c.root, &available) && available < needed) {
        return Fail(EngineResult::InsufficientSpace, SpaceText(needed));
    }
    for (const FolderEntry& folder : model.folders) {
        if (folder.action == FolderAction::Create &&
            m_c.fs.Stat(JoinPath(m_c.root, folder.path)).kind == NodeKind::Missing) {
            m_newFolders.push_back(folder.path);
        }
    }
    for (const FileEntry& file : model.files) {
        EngineResult result = ApplyFile(file);
        if (result != EngineResult::Ok) {
            return result;
        }
    }
    EngineResult result = CreateFolders();
    if (result != EngineResult::Ok) {
        return result;
    }
    ScheduleFolderRemovals();
    std::string error;
    if (!m_tx.Commit(&error) || !m_tx.Swap(&error)) {
        return Fail(EngineResult::IoFailure, error);
    }
    result = RemoveFolders();
    if (result != EngineResult::Ok) {
        return result;
    }
    if (!m_c.reporter.Text(kEngineInformation, "Update complete: " + std::to_string(m_written) +
                                                   " files written, " + std::to_string(m_removed) +
                                                   " removed")) {
        return Fail(EngineResult::Cancelled, "");
    }
    // A clean-up left over (an original that cannot be deleted) is finished by the next run.
    m_tx.Finish();
    return EngineResult::Ok;
}

}  // namespace

EngineResult ApplyPass(PassContext& context) {
    if (!context.backupFolder.empty()) {
        NodeInfo node = context.fs.Stat(JoinPath(context.root, context.backupFolder));
        if (node.kind != NodeKind::Missing && node.kind != NodeKind::Folder) {
            context.reporter.Text(kEngineError, "The backup folder is not a folder");
            return EngineResult::BadCommandLine;
        }
    }
    ApplyRun run(context);
    return run.Run();
}

}  // namespace tpe
