#include "install/VersionDetection.h"

#include <cctype>

#include "System/File.h"
#include "System/Path.h"
#include "patchinfo/FileChecksum.h"
#include "patchinfo/PatchDescription.h"

namespace {

const int kMarkerOffset = 78;
const char kMarker[] = "Windows only.\r\n";
const int kVersionLength = 16;

}  // namespace

bool ReadVersionStamp(const QLC_String& path, QLC_String& version) {
    QLC_File file;
    if (!file.Open(path, QLC_IFile::READ | QLC_IFile::SHARE_READ)) {
        return false;
    }
    char marker[16];
    file.Seek(kMarkerOffset, QLC_IFile::FROM_START);
    if (file.Read(marker, sizeof marker) < sizeof marker) {
        return false;
    }
    for (size_t i = 0; i + 1 < sizeof kMarker; ++i) {
        if (std::tolower(static_cast<unsigned char>(marker[i])) !=
            std::tolower(static_cast<unsigned char>(kMarker[i]))) {
            return false;
        }
    }
    char text[kVersionLength] = {};
    uint32_t got = file.Read(text, kVersionLength);
    size_t length = 0;
    while (length < got && text[length] != '\0') {
        ++length;
    }
    version = QLC_String(text, length);
    return true;
}

QLC_String InstalledFilePath(const PatchDescription& description, const QLC_String& file) {
    // Also the path the messages show: one kind of separator throughout.
    return ToBackslashes(
        QLC_String::Format("%s\\%s", description.installFolder.c_str(), file.c_str()));
}

bool DetectInstalledVersion(PatchDescription& description) {
    QLC_String stamp;
    if (ReadVersionStamp(InstalledFilePath(description, description.versionFileName), stamp)) {
        description.installedVersion = stamp;
        return true;
    }
    for (int i = 0; i < description.checksumValues.Count(); ++i) {
        QLC_String path = InstalledFilePath(description, description.checksumFiles[i]);
        auto length = static_cast<int32_t>(DecimalFieldValue(description.checksumLengths[i]));
        if (FileChecksum(path, length) == DecimalFieldValue(description.checksumValues[i])) {
            description.installedVersion = description.checksumVersions[i];
            return true;
        }
    }
    return false;
}
