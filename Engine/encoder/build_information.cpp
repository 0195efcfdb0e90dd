#include "build_information.h"

#include <algorithm>
#include <set>

#include "build_versions.h"
#include "utility_checksum.h"

namespace tpe {
namespace {

std::string QuotedIfNeeded(const std::string& field) {
    return field.find(',') == std::string::npos ? field : "\"" + field + "\"";
}

// The largest file of the new build besides the identifying one and the `refused` ones,
// preferring files every build has.
std::string ChooseKeyFile(const BuildRequest& request, const ScannedBuilds& builds,
                          const std::set<std::string>& refused) {
    std::string best;
    uint64_t bestSize = 0;
    bool bestEverywhere = false;
    for (const auto& [path, contents] : builds.current.files) {
        if (path == request.versionFile || refused.count(path) != 0) {
            continue;
        }
        // A named copy: lambdas cannot capture a structured binding before C++20.
        const std::string& name = path;
        bool everywhere = std::all_of(builds.olds.begin(), builds.olds.end(),
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
std::string KeyFileFor(FileSystem& fs, const BuildRequest& request, const ScannedBuilds& builds) {
    if (!request.keyFile.empty()) {
        return request.keyFile;
    }
    std::set<std::string> refused;
    for (;;) {
        std::string candidate = ChooseKeyFile(request, builds, refused);
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

}  // namespace

bool PlanInformation(FileSystem& fs, const BuildRequest& request, const ScannedBuilds& builds,
                     PatchModel* model, std::string* error) {
    const std::string& fromVersion =
        request.fromVersion.empty() ? request.olds[0].version : request.fromVersion;
    model->infoLines.push_back("Versions," + request.versionFile + "," + fromVersion + "," +
                               request.current.version);
    for (const std::string& key : request.registryKeys) {
        if (key.empty() || key.find_first_of("\"\r\n") != std::string::npos || key.size() > 255) {
            *error = "bad registry key: " + key.substr(0, 300);
            return false;
        }
        model->infoLines.push_back("Registry," + QuotedIfNeeded(key));
    }
    if (!AddChecksumLines(fs, request, KeyFileFor(fs, request, builds), &model->infoLines, error)) {
        return false;
    }
    const bool multi = request.olds.size() > 1;
    for (size_t i = 0; i < request.olds.size(); ++i) {
        Source source;
        source.version = request.olds[i].version;
        source.extension = multi ? HistoryExtension(source.version, model->sources) : std::string();
        model->sources.push_back(source);
        if (multi) {
            model->infoLines.push_back("history," + source.version + "," + std::to_string(i + 1) +
                                       "," + source.extension);
        }
    }
    return true;
}

}  // namespace tpe
