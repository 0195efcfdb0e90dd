#include "build_versions.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "payload_format.h"

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

std::string HistoryExtension(const std::string& version, const std::vector<Source>& taken) {
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

}  // namespace tpe
