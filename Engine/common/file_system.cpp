#include "file_system.h"

namespace tpe {

std::string JoinPath(const std::string& folder, const std::string& relative) {
    if (folder.empty()) {
        return relative;
    }
    char last = folder.back();
    if (last == '/' || last == '\\') {
        return folder + relative;
    }
    return folder + "/" + relative;
}

std::string ParentPath(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace tpe
