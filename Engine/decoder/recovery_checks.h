#pragma once
// What a recovery checks before it acts on a journal found in the installation. Whoever can
// write to the installation can write the journal, and the update usually runs with more rights
// than that person: nothing the journal names is trusted until it is seen on disk.
#include <string>

#include "file_system.h"
#include "transaction.h"

namespace tpe {

// Every name the recovery may touch (planned files, staged and moved-aside files, the aside and
// backup folders, folders to create or remove) lies below `root` with no link, junction or
// other non-folder on the way, and is missing or of the kind expected. Empty when so, else why
// not.
std::string UnsafeRecoveryName(FileSystem& fs, const std::string& root,
                               const Transaction& transaction);

// The files the recovery will rename or delete are the ones the journal recorded: a moved-aside
// original at its original contents, a new file in place at its new contents, an original still
// in place (while rolling forward) at its original contents. Empty when so, else why not.
std::string UnexpectedRecoveryFile(FileSystem& fs, const std::string& root,
                                   Transaction& transaction, bool forward);

}  // namespace tpe
