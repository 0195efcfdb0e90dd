#pragma once
// Writes the new contents of one file beside it, from its old contents and its data block, and
// checks them against the expected size and hash.
#include "pass_context.h"
#include "transaction.h"

namespace tpe {

// Progress (message 5) runs from `startFraction` to the whole file.
EngineResult StageFile(PassContext& context, Transaction& transaction, const FileEntry& file,
                       const OldState& state, uint16_t startFraction, std::string* error);

}  // namespace tpe
