#pragma once
// Pairs each path of the new build with the same path in every old build: the file table's
// entries and the folders to create and remove.
#include <string>
#include <vector>

#include "build_scan.h"
#include "patch_model.h"

namespace tpe {

// An entry for every file or link that differs in some old build, in path order; each has one
// state per old build, in the builds' order, and no block yet. False with `error` set for
// changes the engine does not take: a link that becomes a file, a file that becomes a folder
// (or back), names that differ only in case.
bool PairFiles(const ScannedBuilds& builds, std::vector<FileEntry>* files, std::string* error);

// Folders of the new build that some old build lacks (to create), then folders of old builds
// the new one lacks (to remove).
std::vector<FolderEntry> PairFolders(const ScannedBuilds& builds);

}  // namespace tpe
