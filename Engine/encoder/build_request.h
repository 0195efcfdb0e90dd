#pragma once
// What the builder is asked to build, and what it reports of the patch it wrote.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "payload_format.h"
#include "tree_scan.h"

namespace tpe {

struct BuildTree {
    std::string version;
    std::string folder;
};

struct BuildRequest {
    std::vector<BuildTree> olds;  // one for a plain patch, several for a multi-version one
    BuildTree current;            // the new build
    std::string fromVersion;      // for the Versions line; empty: the first old build's
    std::string versionFile;      // the file that identifies an installation
    std::string keyFile;          // second file in checksum lines; empty: chosen here
    std::vector<std::string> registryKeys;
    std::vector<BuildTree> checksumOnly;  // further builds that appear only in checksum lines
    int level = 19;
    // Files whose diff would need more memory than this (about 6 x old + new size) are diffed
    // segment by segment in bounded memory.
    uint64_t memoryBudget = uint64_t{1} << 30;
    unsigned threads = 2;  // the patch is the same for any number
    LinkPolicy links = LinkPolicy::Refuse;
    uint16_t formatVersion = kFormatVersion;  // older versions: for tests of older payloads
    // Told before each file too large for the budget is diffed (they take a while).
    std::function<void(const std::string& path, uint64_t size)> onSegmentedFile;
    // For a progress display: the file at hand and the bytes done. While the builds are read
    // `total` is 0 and `done` counts the bytes read; while files are diffed, `done` runs to
    // `total`, the size of every new file diffed. Called from one thread at a time.
    std::function<void(const std::string& path, uint64_t done, uint64_t total)> onProgress;
};

struct BuildSummary {
    uint32_t added = 0, modified = 0, deleted = 0, foldersCreated = 0, foldersRemoved = 0;
    uint64_t blockBytes = 0;
    uint64_t payloadBytes = 0;
    uint64_t newBuildBytes = 0;           // every file of the new build
    std::vector<std::string> fullBlocks;  // files whose delta failed its check: stored whole
};

constexpr int64_t kChecksumLength = 65536;

}  // namespace tpe
