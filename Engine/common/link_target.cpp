#include "link_target.h"

#include <algorithm>

#include "path_safety.h"
#include "payload_format.h"

namespace tpe {

std::string LinkTargetProblem(const std::string& linkPath, const std::string& target) {
    if (target.empty()) {
        return "its target is empty";
    }
    if (target.size() > kMaxLinkTargetLength) {
        return "its target is too long";
    }
    if (target[0] == '/' || target[0] == '\\' || (target.size() >= 2 && target[1] == ':')) {
        return "its target is absolute, so it leads outside the tree";
    }
    size_t climbs = 0, at = 0;
    while (target.compare(at, 3, "../") == 0) {
        ++climbs;
        at += 3;
    }
    const size_t depth = size_t(std::count(linkPath.begin(), linkPath.end(), '/'));
    const std::string rest = target.substr(at);
    if (rest == "..") {
        ++climbs;
    }
    if (climbs > depth) {
        return "its target leads outside the tree";
    }
    if (rest == ".." || rest.empty()) {
        return "its target is a folder that holds the link";
    }
    const std::string problem = PathProblem(rest);
    if (!problem.empty()) {
        return "its target is not a plain path inside the tree (" + problem + ")";
    }
    return std::string();
}

}  // namespace tpe
