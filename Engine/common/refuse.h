#pragma once
// The one form of every check on untrusted bytes (payloads, journals, deltas, command lines):
// a single line that stops the reader with a result value when the input is not acceptable.
//   REFUSE_IF(count > kMaxFiles, "bad file count");
//   REFUSE_IF(size > limit, DeltaStatus::Corrupt);
//   REFUSE_IF(!header, Refusal(why, "bad header", JournalStatus::Damaged));
// `assert` stays for the code's own invariants; input is never asserted on.
#include <string>
#include <utility>

#define REFUSE_IF(condition, result) \
    do {                             \
        if (condition) {             \
            return result;           \
        }                            \
    } while (0)

namespace tpe {

// For readers that return a status and say why through `why`: sets the reason, gives the status.
template <typename Status>
Status Refusal(std::string* why, std::string reason, Status status) {
    *why = std::move(reason);
    return status;
}

}  // namespace tpe
