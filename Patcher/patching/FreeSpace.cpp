#include "patching/FreeSpace.h"

#include <windows.h>

#include <cstring>

#include "System/Path.h"
#include "text/MessageText.h"

QLC_String FormatByteCount(uint64_t count) {
    // Written from the right: 20 digits and 6 separators at most.
    char text[32];
    size_t start = sizeof text - 1;
    text[start] = '\0';
    int written = 0;
    do {
        if (written > 0 && written % 3 == 0) {
            text[--start] = ',';
        }
        text[--start] = static_cast<char>('0' + count % 10);
        count /= 10;
        ++written;
    } while (count != 0);
    return QLC_String(text + start);
}

namespace {

bool IsUncPath(const QLC_String& path) {
    return IsPathSeparator(path[0]) && IsPathSeparator(path[1]);
}

// \\server\share of a UNC path: its first two components. Empty when it has no share part.
QLC_String ShareOf(const QLC_String& path) {
    QLC_String native = ToBackslashes(path);
    size_t server = 2;
    while (native[server] == '\\') {
        ++server;
    }
    const char* text = native.c_str();
    const char* serverEnd = std::strchr(text + server, '\\');
    if (!serverEnd || serverEnd == text + server || serverEnd[1] == '\0') {
        return QLC_String();
    }
    const char* shareEnd = std::strchr(serverEnd + 1, '\\');
    size_t length = shareEnd ? static_cast<size_t>(shareEnd - text) : native.Length();
    return QLC_String("\\\\") + native.Mid(server, length - server);
}

bool FreeBytesOf(const QLC_String& directory, uint64_t& bytes) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExA(directory.IsEmpty() ? nullptr : directory.c_str(), &available, nullptr,
                             nullptr)) {
        return false;
    }
    bytes = available.QuadPart;
    return true;
}

}  // namespace

QLC_String InstallVolumeName(const QLC_String& installFolder, const QLC_String& currentDirectory) {
    if (IsUncPath(installFolder)) {
        QLC_String share = ShareOf(installFolder);
        if (!share.IsEmpty()) {
            return share;
        }
    }
    char letter = installFolder[1] == ':' ? installFolder[0] : currentDirectory[0];
    letter = letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
    return QLC_String::Format("%c:", letter);
}

QLC_String DiskSpaceText(uint64_t freeBytes, const QLC_String& volume, uint64_t requiredBytes) {
    // Every translation names the drive as "%c:"; the whole volume name takes its place.
    QLC_String format = LoadMessage(MSG_DISK_SPACE);
    int drive = format.Find("%c:");
    if (drive < 0) {
        return QLC_String::Format(format.c_str(), FormatByteCount(freeBytes).c_str(), volume[0],
                                  FormatByteCount(requiredBytes).c_str());
    }
    format =
        format.Left(static_cast<size_t>(drive)) + "%s" + format.Mid(static_cast<size_t>(drive) + 3);
    return QLC_String::Format(format.c_str(), FormatByteCount(freeBytes).c_str(), volume.c_str(),
                              FormatByteCount(requiredBytes).c_str());
}

uint64_t FreeBytesForInstallation(const QLC_String& installFolder) {
    // The folder itself names its volume, also when the utility was started elsewhere. A share
    // is asked at its root with the trailing separator Windows wants there.
    uint64_t bytes = 0;
    if (IsUncPath(installFolder)) {
        QLC_String share = ShareOf(installFolder);
        return !share.IsEmpty() && FreeBytesOf(share + "\\", bytes) ? bytes : 0;
    }
    if (FreeBytesOf(installFolder, bytes) || FreeBytesOf(QLC_String(), bytes)) {
        return bytes;
    }
    return 0;
}
