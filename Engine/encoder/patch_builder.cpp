#include "patch_builder.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>

#include "block_maker.h"
#include "patch_model.h"
#include "path_safety.h"
#include "payload_format.h"
#include "payload_reader.h"
#include "payload_writer.h"
#include "tree_scan.h"
#include "utility_checksum.h"

namespace tpe {
namespace {

std::vector<std::string> Split(const std::string& version) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t dot = version.find('.', start);
        parts.push_back(version.substr(start, dot == std::string::npos ? dot : dot - start));
        if (dot == std::string::npos) {
            return parts;
        }
        start = dot + 1;
    }
}

bool AllDigits(const std::string& text) {
    return !text.empty() && text.size() < 10 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string VersionProblem(const std::string& version) {
    if (version.empty()) {
        return "a build has no version (give VERSION=DIR or stamp the identifying file)";
    }
    if (version.size() > kMaxVersionLength) {
        return "version text too long: " + version.substr(0, 80);
    }
    // The utility names its backup folder after the from-version and passes it unquoted.
    for (unsigned char c : version) {
        if (c <= 32 || std::strchr(",'\"\\/:*?<>|", c) != nullptr) {
            return "a version may not hold blanks, commas, quotes, control characters or "
                   "characters a folder name cannot hold: '" +
                   version + "'";
        }
    }
    return std::string();
}

// The history extension of a version: letters, digits and '_' only, never a dot.
std::string ExtensionFor(const std::string& version, const std::vector<Source>& taken) {
    std::string base = "v";
    for (unsigned char c : version) {
        base += std::isalnum(c) ? char(c) : '_';
    }
    base = base.substr(0, kMaxExtensionLength - 4);
    std::string extension = base;
    for (int n = 2; std::any_of(taken.begin(), taken.end(),
                                [&](const Source& s) { return s.extension == extension; });
         ++n) {
        extension = base + "_" + std::to_string(n);
    }
    return extension;
}

std::string QuotedIfNeeded(const std::string& field) {
    return field.find(',') == std::string::npos ? field : "\"" + field + "\"";
}

// The largest file of the new build besides the identifying one and the `refused` ones,
// preferring files every build has.
std::string ChooseKeyFile(const BuildRequest& request, const std::vector<Tree>& olds,
                          const Tree& current, const std::set<std::string>& refused) {
    std::string best;
    uint64_t bestSize = 0;
    bool bestEverywhere = false;
    for (const auto& [path, contents] : current.files) {
        if (path == request.versionFile || refused.count(path) != 0) {
            continue;
        }
        // A named copy: lambdas cannot capture a structured binding before C++20.
        const std::string& name = path;
        bool everywhere = std::all_of(olds.begin(), olds.end(),
                                      [&](const Tree& t) { return t.files.count(name) != 0; });
        if (best.empty() || (everywhere && !bestEverywhere) ||
            (everywhere == bestEverywhere && contents.size > bestSize)) {
            best = path;
            bestSize = contents.size;
            bestEverywhere = everywhere;
        }
    }
    return best;
}

// Every build that gets checksum lines.
std::vector<BuildTree> ChecksumBuilds(const BuildRequest& request) {
    std::vector<BuildTree> builds = request.olds;
    builds.insert(builds.end(), request.checksumOnly.begin(), request.checksumOnly.end());
    builds.push_back(request.current);
    return builds;
}

// The first build in which `file` sums to 0, or the empty text. The utility reads a checksum of 0
// as a missing file, so a checksum line of 0 would refuse every installation of that version.
std::string ZeroSumBuild(FileSystem& fs, const BuildRequest& request, const std::string& file) {
    for (const BuildTree& build : ChecksumBuilds(request)) {
        uint32_t sum = 1;
        if (UtilityFileChecksum(fs, JoinPath(build.folder, file), kChecksumLength, &sum) &&
            sum == 0) {
            return build.folder;
        }
    }
    return std::string();
}

// The key file asked for, else the preferred one that sums to something other than 0 everywhere.
std::string KeyFileFor(FileSystem& fs, const BuildRequest& request, const std::vector<Tree>& olds,
                       const Tree& current) {
    if (!request.keyFile.empty()) {
        return request.keyFile;
    }
    std::set<std::string> refused;
    for (;;) {
        std::string candidate = ChooseKeyFile(request, olds, current, refused);
        if (candidate.empty() || ZeroSumBuild(fs, request, candidate).empty()) {
            return candidate;
        }
        refused.insert(candidate);
    }
}

bool AddChecksumLines(FileSystem& fs, const BuildRequest& request, const std::string& keyFile,
                      std::vector<std::string>* lines, std::string* error) {
    std::vector<BuildTree> builds = ChecksumBuilds(request);
    std::stable_sort(builds.begin(), builds.end(), [](const BuildTree& a, const BuildTree& b) {
        return VersionLess(a.version, b.version);
    });
    std::vector<std::string> seen;
    for (const BuildTree& build : builds) {
        if (std::find(seen.begin(), seen.end(), build.version) != seen.end()) {
            continue;
        }
        seen.push_back(build.version);
        for (const std::string& file : {request.versionFile, keyFile}) {
            if (file.empty()) {
                continue;
            }
            uint32_t sum = 0;
            if (!UtilityFileChecksum(fs, JoinPath(build.folder, file), kChecksumLength, &sum)) {
                if (file == request.versionFile) {
                    *error = "the identifying file " + file + " is missing in " + build.folder;
                    return false;
                }
                continue;
            }
            if (sum == 0) {
                *error = (file == request.versionFile ? "the identifying file " : "the key file ") +
                         file + " sums to 0 in " + build.folder +
                         ", which the utility reads as a missing file: it would refuse every "
                         "installation of " +
                         build.version +
                         (file == request.versionFile ? "" : "; choose another with --key-file");
                return false;
            }
            lines->push_back("checksum," + QuotedIfNeeded(file) + "," + std::to_string(sum) + "," +
                             std::to_string(kChecksumLength) + "," + build.version);
        }
    }
    return true;
}

std::vector<const Tree*> AllTrees(const std::vector<Tree>& olds, const Tree& current) {
    std::vector<const Tree*> trees = {&current};
    for (const Tree& t : olds) {
        trees.push_back(&t);
    }
    return trees;
}

// Changes the engine does not take: a file that becomes a folder (or back), and names that
// differ only in case between builds (Windows treats them as one file).
std::string ShapeProblem(const std::set<std::string>& paths, const std::vector<Tree>& olds,
                         const Tree& current) {
    std::map<std::string, std::string> byKey;
    for (const std::string& path : paths) {
        auto [it, added] = byKey.emplace(PathKey(path), path);
        if (!added) {
            return it->second + " and " + path + " differ only in case between builds; " +
                   "rename the file in the new build's spelling in every build";
        }
    }
    for (const Tree* tree : AllTrees(olds, current)) {
        for (const std::string& folder : tree->folders) {
            if (byKey.count(PathKey(folder)) != 0) {
                return folder + " is a file in one build and a folder in another";
            }
        }
    }
    return std::string();
}

// One message naming every link that stops the build.
std::string LinksRefused(LinkPolicy policy, const std::vector<std::string>& links) {
    std::string text = policy == LinkPolicy::Refuse
                           ? "the builds hold " + std::to_string(links.size()) +
                                 " symbolic link(s); a patch carries links only when asked to:"
                           : "these links lead outside their build and cannot be shipped:";
    for (const std::string& link : links) {
        text += "\n  " + link;
    }
    if (policy == LinkPolicy::Refuse) {
        text +=
            "\ngive --keep-links to record links that stay inside their build (Windows "
            "installations cannot take them), or --follow-links to store what they lead to; "
            "links that lead outside a build are refused either way";
    }
    return text;
}

// A link's entry: its target is stored in the file table, so no state needs a data block.
FileEntry LinkEntry(const std::string& path, const std::vector<Tree>& olds, const Tree& current) {
    FileEntry file;
    file.path = path;
    file.kind = EntryKind::Link;
    auto found = current.links.find(path);
    if (found != current.links.end()) {
        file.linkTarget = found->second;
        file.target = LinkContents(file.linkTarget);
    }
    for (size_t i = 0; i < olds.size(); ++i) {
        OldState state;
        state.source = uint16_t(i);
        auto old = olds[i].links.find(path);
        if (old != olds[i].links.end()) {
            state.old = LinkContents(old->second);
        }
        file.states.push_back(state);
    }
    return file;
}

void Count(const FileEntry& file, BuildSummary* summary) {
    switch (ActionOf(file)) {
        case FileAction::Add:
            ++summary->added;
            break;
        case FileAction::Modify:
            ++summary->modified;
            break;
        case FileAction::Delete:
            ++summary->deleted;
            break;
    }
}

}  // namespace

bool VersionLess(const std::string& a, const std::string& b) {
    std::vector<std::string> x = Split(a), y = Split(b);
    for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
        if (x[i] == y[i]) {
            continue;
        }
        if (AllDigits(x[i]) && AllDigits(y[i])) {
            return std::stoul(x[i]) < std::stoul(y[i]);
        }
        return x[i] < y[i];
    }
    return x.size() < y.size();
}

bool BuildPatch(FileSystem& fs, const BuildRequest& request, const std::string& output,
                BuildSummary* summary, std::string* error) {
    if (request.olds.empty()) {
        *error = "no old build given";
        return false;
    }
    std::vector<BuildTree> all = request.olds;
    all.push_back(request.current);
    all.insert(all.end(), request.checksumOnly.begin(), request.checksumOnly.end());
    for (const BuildTree& build : all) {
        *error = VersionProblem(build.version);
        if (!error->empty()) {
            return false;
        }
    }
    std::string fromVersion =
        request.fromVersion.empty() ? request.olds[0].version : request.fromVersion;
    if (!(*error = VersionProblem(fromVersion)).empty()) {
        return false;
    }
    if (!PathProblem(request.versionFile).empty() ||
        request.versionFile.find(',') != std::string::npos) {
        *error = "the identifying file must be a plain relative name: " + request.versionFile;
        return false;
    }

    std::vector<Tree> olds(request.olds.size());
    Tree current;
    std::vector<std::string> refusedLinks;
    uint64_t read = 0;
    auto scanned = [&](const std::string& path, uint64_t size) {
        read += size;
        if (request.onProgress) {
            request.onProgress(path, read, 0);
        }
    };
    for (size_t i = 0; i < olds.size(); ++i) {
        if (!ScanTree(fs, request.olds[i].folder, request.links, &olds[i], &refusedLinks, error,
                      scanned)) {
            return false;
        }
    }
    if (!ScanTree(fs, request.current.folder, request.links, &current, &refusedLinks, error,
                  scanned)) {
        return false;
    }
    for (const auto& entry : current.files) {
        summary->newBuildBytes += entry.second.size;
    }
    if (!refusedLinks.empty()) {
        *error = LinksRefused(request.links, refusedLinks);
        return false;
    }
    if (current.files.count(request.versionFile) == 0) {
        *error = "the new build has no " + request.versionFile;
        return false;
    }

    PatchModel model;
    model.infoLines.push_back("Versions," + request.versionFile + "," + fromVersion + "," +
                              request.current.version);
    for (const std::string& key : request.registryKeys) {
        if (key.empty() || key.find_first_of("\"\r\n") != std::string::npos || key.size() > 255) {
            *error = "bad registry key: " + key.substr(0, 300);
            return false;
        }
        model.infoLines.push_back("Registry," + QuotedIfNeeded(key));
    }
    std::string keyFile = KeyFileFor(fs, request, olds, current);
    if (!AddChecksumLines(fs, request, keyFile, &model.infoLines, error)) {
        return false;
    }
    const bool multi = request.olds.size() > 1;
    for (size_t i = 0; i < request.olds.size(); ++i) {
        Source source;
        source.version = request.olds[i].version;
        source.extension = multi ? ExtensionFor(source.version, model.sources) : std::string();
        model.sources.push_back(source);
        if (multi) {
            model.infoLines.push_back("history," + source.version + "," + std::to_string(i + 1) +
                                      "," + source.extension);
        }
    }

    // Every path of any build, in order.
    std::set<std::string> paths;
    for (const Tree& t : olds) {
        for (const auto& entry : t.files) {
            paths.insert(entry.first);
        }
    }
    for (const auto& entry : current.files) {
        paths.insert(entry.first);
    }
    std::set<std::string> links;
    for (const Tree* t : AllTrees(olds, current)) {
        for (const auto& entry : t->links) {
            if (paths.count(entry.first) != 0) {
                *error = entry.first + " is a link in one build and a file in another";
                return false;
            }
            links.insert(entry.first);
        }
    }
    paths.insert(links.begin(), links.end());
    if (!(*error = ShapeProblem(paths, olds, current)).empty()) {
        return false;
    }

    // The file table first; the blocks are made once every entry has its place.
    using Place = std::pair<size_t, size_t>;  // file and state in the model
    std::vector<Place> jobPlaces;
    std::vector<std::pair<Place, Place>> sharing;  // a state reusing another state's block
    std::vector<BlockJob> jobs;
    for (const std::string& path : paths) {
        if (links.count(path) != 0) {
            FileEntry link = LinkEntry(path, olds, current);
            if (std::any_of(link.states.begin(), link.states.end(),
                            [&](const OldState& s) { return !(s.old == link.target); })) {
                Count(link, summary);
                model.files.push_back(std::move(link));
            }
            continue;
        }
        FileEntry file;
        file.path = path;
        auto found = current.files.find(path);
        if (found != current.files.end()) {
            file.target = found->second;
            file.hasMode = true;
            file.mode = current.modes.at(path);
        }
        bool changed = false;
        for (size_t i = 0; i < olds.size(); ++i) {
            OldState state;
            state.source = uint16_t(i);
            auto old = olds[i].files.find(path);
            if (old != olds[i].files.end()) {
                state.old = old->second;
            }
            // A mode that changes without the contents is a change too.
            changed =
                changed || !(state.old == file.target) ||
                (file.target.present && state.old.present && olds[i].modes.at(path) != file.mode);
            file.states.push_back(state);
        }
        if (!changed) {
            continue;
        }
        // One block per distinct old contents; builds that share them share the block.
        std::map<std::pair<bool, std::string>, size_t> made;
        for (size_t i = 0; i < file.states.size(); ++i) {
            const OldState& state = file.states[i];
            if (!file.target.present || state.old == file.target) {
                continue;
            }
            auto key = std::make_pair(state.old.present, DigestHex(state.old.hash));
            auto same = made.find(key);
            if (same != made.end()) {
                sharing.push_back({{model.files.size(), i}, {model.files.size(), same->second}});
                continue;
            }
            made[key] = i;
            BlockJob job;
            job.oldPath = state.old.present ? JoinPath(request.olds[i].folder, path) : "";
            job.oldSize = state.old.size;
            job.newPath = JoinPath(request.current.folder, path);
            job.newSize = file.target.size;
            jobs.push_back(job);
            jobPlaces.push_back({model.files.size(), i});
        }
        Count(file, summary);
        model.files.push_back(std::move(file));
    }
    for (size_t k = 0; k < jobs.size(); ++k) {
        jobs[k].state = &model.files[jobPlaces[k].first].states[jobPlaces[k].second];
    }
    PayloadWriter writer(fs, output);
    writer.SetFormatVersion(request.formatVersion);
    BlockOptions blockOptions;
    blockOptions.level = request.level;
    blockOptions.memoryBudget = request.memoryBudget;
    blockOptions.threads = request.threads;
    blockOptions.onSegmentedFile = request.onSegmentedFile;
    uint64_t toDiff = 0;
    for (const BlockJob& job : jobs) {
        toDiff += job.newSize;
    }
    if (request.onProgress) {
        blockOptions.onProgress = [&](const std::string& path, uint64_t done) {
            request.onProgress(path, done, toDiff);
        };
    }
    if (!writer.Open(error) || !MakeBlocks(fs, writer, blockOptions, jobs, error)) {
        return false;
    }
    for (const BlockJob& job : jobs) {
        summary->blockBytes += job.state->blockSize;
        if (job.storedWhole) {
            summary->fullBlocks.push_back(job.newPath);
        }
    }
    for (const auto& [place, owner] : sharing) {
        OldState& state = model.files[place.first].states[place.second];
        const OldState& same = model.files[owner.first].states[owner.second];
        state.block = same.block;
        state.blockOffset = same.blockOffset;
        state.blockSize = same.blockSize;
        state.blockCrc = same.blockCrc;
    }
    for (const std::string& folder : current.folders) {
        if (!std::all_of(olds.begin(), olds.end(),
                         [&](const Tree& t) { return t.folders.count(folder) != 0; })) {
            model.folders.push_back({FolderAction::Create, folder});
            ++summary->foldersCreated;
        }
    }
    std::set<std::string> gone;
    for (const Tree& t : olds) {
        for (const std::string& folder : t.folders) {
            if (current.folders.count(folder) == 0 && gone.insert(folder).second) {
                model.folders.push_back({FolderAction::Remove, folder});
                ++summary->foldersRemoved;
            }
        }
    }
    if (model.files.empty() && model.folders.empty()) {
        *error = "the old and new builds are identical: there is nothing to patch";
        return false;
    }
    // The engine's own reader has the last word: never write a patch it would refuse.
    std::string why = ModelProblem(model, writer.DataSize());
    if (!why.empty()) {
        *error = "the builds cannot be expressed as a patch: " + why;
        return false;
    }
    return writer.Finish(model, &summary->payloadBytes, error);
}

}  // namespace tpe
