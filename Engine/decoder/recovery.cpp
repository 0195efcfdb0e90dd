#include "recovery.h"

#include "engine_texts.h"
#include "journal.h"
#include "path_safety.h"
#include "recovery_checks.h"
#include "transaction.h"

namespace tpe {
namespace {

EngineResult Failed(Reporter& reporter, const std::string& why) {
    reporter.Text(kEngineError, RecoveryFailedText(why));
    return EngineResult::RollbackIncomplete;
}

EngineResult Unusable(Reporter& reporter, const std::string& journal, const std::string& why) {
    reporter.Text(kEngineError, JournalUnusableText(BackslashPath(journal.substr(0, 300)), why));
    return EngineResult::JournalUnusable;
}

bool Recovered(Reporter& reporter, EngineRecoveryOutcome outcome) {
    uint32_t parameter = outcome;
    reporter.Text(kEngineInformation,
                  outcome == kRecoveryCompleted ? RecoveredForwardText() : RecoveredBackText());
    return reporter.Send(kEngineRecovered, &parameter);
}

}  // namespace

EngineResult RecoverInterruptedApply(FileSystem& fs, const std::string& root, Reporter& reporter) {
    if (root.empty()) {
        return EngineResult::Ok;
    }
    const std::string path = JoinPath(root, kEngineJournalName);
    JournalContents journal;
    std::string why;
    switch (ReadJournal(fs, path, &journal, &why)) {
        case JournalStatus::Missing:
            return EngineResult::Ok;
        case JournalStatus::Ok:
            break;
        case JournalStatus::Unreadable:
        case JournalStatus::Damaged:
            return Unusable(reporter, path, why);
    }
    if (journal.token.empty()) {
        // Killed while the journal was begun: nothing had changed yet.
        return fs.RemoveFile(path) ? EngineResult::Ok
                                   : Failed(reporter, "cannot remove " + path.substr(0, 300));
    }
    Transaction transaction(fs, root, std::move(journal));
    why = UnsafeRecoveryName(fs, root, transaction);
    const bool forward = why.empty() && transaction.CanRollForward();
    if (why.empty()) {
        why = UnexpectedRecoveryFile(fs, root, transaction, forward);
    }
    if (!why.empty()) {
        transaction.Abandon();
        return Unusable(reporter, path, why);
    }
    std::string error;
    if (forward) {
        if (!transaction.Swap(&error)) {
            transaction.Abandon();
            return Failed(reporter, error);
        }
        transaction.RemoveFolders();
        if (!transaction.Finish(&error)) {
            return Failed(reporter, error.empty() ? "the replaced files cannot be removed" : error);
        }
        Recovered(reporter, kRecoveryCompleted);
        return EngineResult::Ok;
    }
    if (!transaction.Rollback(&error)) {
        return Failed(reporter, error);
    }
    Recovered(reporter, kRecoveryRolledBack);
    return EngineResult::Ok;
}

}  // namespace tpe
