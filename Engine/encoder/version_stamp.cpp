#include "version_stamp.h"

#include <algorithm>
#include <cctype>

namespace tpe {

bool ReadVersionStamp(FileSystem& fs, const std::string& path, std::string* version) {
    static const char kMarker[] = "Windows only.\r\n";
    std::unique_ptr<InputFile> file = fs.OpenRead(path);
    char bytes[32];
    if (!file || file->Size() < 78 + 16 || !file->ReadAt(78, bytes, 16)) {
        return false;
    }
    for (int i = 0; i < 15; ++i) {
        if (std::tolower(static_cast<unsigned char>(bytes[i])) !=
            std::tolower(static_cast<unsigned char>(kMarker[i]))) {
            return false;
        }
    }
    size_t available = size_t(std::min<uint64_t>(16, file->Size() - 94));
    if (available > 0 && !file->ReadAt(94, bytes + 16, available)) {
        return false;
    }
    size_t length = 0;
    while (length < available && bytes[16 + length] != 0) {
        ++length;
    }
    version->assign(bytes + 16, length);
    return true;
}

}  // namespace tpe
