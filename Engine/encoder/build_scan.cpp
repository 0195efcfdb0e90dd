#include "build_scan.h"

namespace tpe {
namespace {

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

}  // namespace

bool ScanBuilds(FileSystem& fs, const BuildRequest& request, ScannedBuilds* builds,
                std::string* error) {
    builds->olds.assign(request.olds.size(), Tree());
    std::vector<std::string> refusedLinks;
    uint64_t read = 0;
    auto scanned = [&](const std::string& path, uint64_t size) {
        read += size;
        if (request.onProgress) {
            request.onProgress(path, read, 0);
        }
    };
    for (size_t i = 0; i < builds->olds.size(); ++i) {
        if (!ScanTree(fs, request.olds[i].folder, request.links, &builds->olds[i], &refusedLinks,
                      error, scanned)) {
            return false;
        }
    }
    if (!ScanTree(fs, request.current.folder, request.links, &builds->current, &refusedLinks, error,
                  scanned)) {
        return false;
    }
    if (!refusedLinks.empty()) {
        *error = LinksRefused(request.links, refusedLinks);
        return false;
    }
    if (builds->current.files.count(request.versionFile) == 0) {
        *error = "the new build has no " + request.versionFile;
        return false;
    }
    return true;
}

uint64_t TreeBytes(const Tree& tree) {
    uint64_t bytes = 0;
    for (const auto& entry : tree.files) {
        bytes += entry.second.size;
    }
    return bytes;
}

}  // namespace tpe
