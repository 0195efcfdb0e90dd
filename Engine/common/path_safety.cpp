#include "path_safety.h"

#include <cctype>
#include <cstring>

#include "case_folding.h"
#include "payload_format.h"

namespace tpe {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) {
        c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9 (also with any extension), CONIN$, CONOUT$.
bool IsDeviceName(const std::string& component) {
    std::string base = Upper(component.substr(0, component.find('.')));
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (base == device) {
            return true;
        }
    }
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

std::string ComponentProblem(const std::string& component) {
    if (component.empty()) {
        return "empty path component";
    }
    if (component == "." || component == "..") {
        return "relative component '" + component + "'";
    }
    for (unsigned char c : component) {
        if (c < 32 || c == 127) {
            return "control character";
        }
        if (std::strchr("<>:\"|?*\\", c) != nullptr) {
            return std::string("forbidden character '") + char(c) + "'";
        }
    }
    char last = component.back();
    if (last == '.' || last == ' ') {
        return "component ends with a dot or blank";
    }
    if (IsDeviceName(component)) {
        return "device name";
    }
    return std::string();
}

}  // namespace

std::string PathProblem(const std::string& path) {
    if (path.empty()) {
        return "empty path";
    }
    if (path.size() > kMaxPathLength) {
        return "path too long";
    }
    if (path[0] == '/' || path[0] == '\\') {
        return "absolute or network path";
    }
    if (path.size() >= 2 && path[1] == ':') {
        return "drive letter";
    }
    size_t start = 0;
    while (true) {
        size_t end = path.find('/', start);
        std::string problem =
            ComponentProblem(path.substr(start, end == std::string::npos ? end : end - start));
        if (!problem.empty()) {
            return problem;
        }
        if (end == std::string::npos) {
            return std::string();
        }
        start = end + 1;
    }
}

std::string PathKey(const std::string& path) {
    return FoldedName(path);
}

std::string BackslashPath(const std::string& path) {
    std::string out = path;
    for (char& c : out) {
        if (c == '/') {
            c = '\\';
        }
    }
    return out;
}

}  // namespace tpe
