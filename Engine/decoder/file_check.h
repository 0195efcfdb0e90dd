#pragma once
// Finds out how a file of the installation stands against one entry of the patch.
#include <functional>
#include <string>

#include "file_hash.h"
#include "file_system.h"
#include "patch_model.h"

namespace tpe {

enum class Standing {
    AtOld,       // matches the old contents of `state` (absent counts for an added file)
    AtNew,       // already the new contents (absent for a deleted file)
    Mismatch,    // present, but neither old nor new
    Missing,     // absent where every old build has it
    Unsafe,      // a link, device or folder where a file belongs, or a link on the way to it
    Unreadable,  // the file could not be read
    TooLong,     // its path is longer than the system opens
    Cancelled,   // the progress callback asked to stop
};

struct FileStanding {
    Standing standing = Standing::Mismatch;
    const OldState* state = nullptr;  // for AtOld
    NodeInfo node;
};

// `preferred` is tried first among the old builds (the one the installation was found to be).
// A link entry is compared by the target text of the link in its place.
FileStanding CheckFile(FileSystem& fs, const std::string& root, const FileEntry& entry,
                       int preferred, const ReadProgress& progress);

// The bytes an apply surely writes, from sizes alone (nothing is read): the new sizes of files
// that are absent where the patch adds them, or whose size is an old one and not the new one.
// A lower bound, so that a patch that fits is never refused; saturates instead of wrapping.
uint64_t BytesSurelyStaged(FileSystem& fs, const std::string& root, const PatchModel& model);

// True when the file is at its new contents but not at the mode the patch records for it: the
// apply writes it again with that mode.
bool ModeDiffers(const FileEntry& entry, const NodeInfo& node);

// False when a component of `relative` below `root` is a link or not a folder.
bool PathStaysInside(FileSystem& fs, const std::string& root, const std::string& relative);

}  // namespace tpe
