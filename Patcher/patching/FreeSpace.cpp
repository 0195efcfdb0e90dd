#include "patching/FreeSpace.h"

#include <windows.h>

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

char InstallDriveLetter(const QLC_String& installFolder, const QLC_String& currentDirectory) {
    char letter = installFolder[1] == ':' ? installFolder[0] : currentDirectory[0];
    return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
}

uint64_t FreeBytesForInstallation(const QLC_String& installFolder) {
    // The folder itself names its volume, also when the utility was started elsewhere.
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExA(installFolder.c_str(), &available, nullptr, nullptr) &&
        !GetDiskFreeSpaceExA(nullptr, &available, nullptr, nullptr)) {
        return 0;
    }
    return available.QuadPart;
}
