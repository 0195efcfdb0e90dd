#pragma once
// What a payload says, in memory: the builder fills it, the writer stores it, the reader gives it
// back. Paths are relative to the installation, '/'-separated, and checked by path_safety.h.
#include <cstdint>
#include <string>
#include <vector>

#include "payload_format.h"
#include "sha256.h"

namespace tpe {

struct Contents {
    bool present = false;
    uint64_t size = 0;
    Digest hash{};
    bool operator==(const Contents& o) const {
        return present == o.present && (!present || (size == o.size && hash == o.hash));
    }
};

// One old build the patch upgrades from.
struct Source {
    std::string version;
    std::string extension;  // history extension; empty in a single-version patch
};

// How a file looks in one old build, and the data block that turns it into the new contents.
struct OldState {
    uint16_t source = 0;
    Contents old;
    BlockKind block = BlockKind::None;
    uint64_t blockOffset = 0;  // from the data section's start
    uint64_t blockSize = 0;
    uint32_t blockCrc = 0;
};

struct FileEntry {
    std::string path;
    EntryKind kind = EntryKind::File;
    Contents target;  // not present: the patch deletes the file
    // A new file's permission bits (0777), applied with its contents. Payloads older than
    // format 2 record none, and their files keep the modes they are given.
    bool hasMode = false;
    uint16_t mode = 0;
    std::string linkTarget;  // a new link's target; `target` holds its size and hash
    std::vector<OldState> states;
};

struct FolderEntry {
    FolderAction action = FolderAction::Create;
    std::string path;
};

struct PatchModel {
    std::vector<std::string> infoLines;
    std::vector<Source> sources;
    std::vector<FolderEntry> folders;
    std::vector<FileEntry> files;
};

// The contents by which a link is compared: its target text's size and hash.
Contents LinkContents(const std::string& linkTarget);

enum class FileAction { Add, Modify, Delete };
// Add: no old build has the file; Delete: the new build has none.
FileAction ActionOf(const FileEntry& entry);

}  // namespace tpe
