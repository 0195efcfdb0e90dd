#pragma once
// Writes the new contents of one file beside it, from its old contents and its data block, and
// checks them against the expected size and hash.
#include "pass_context.h"
#include "transaction.h"

namespace tpe {

EngineResult StageFile(PassContext& context, Transaction& transaction, const FileEntry& file,
                       const OldState& state, std::string* error);

}  // namespace tpe
