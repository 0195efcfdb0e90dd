#include "install/InstallCheck.h"

#include "System/Path.h"
#include "install/VersionDetection.h"
#include "patchinfo/FileChecksum.h"
#include "patchinfo/PatchDescription.h"
#include "patchinfo/TextCompare.h"
#include "shell/PatchView.h"
#include "text/MessageText.h"

namespace {

void Line(PatchDescription& description, const QLC_String& text) {
    ReportLine(text, description);
}

InstallCheckResult VersionUnknown(PatchDescription& description, const QLC_String& product) {
    ShowStatus(description, MSG_STATUS_FAILED);
    Line(description, "");
    Line(description, LoadMessage(MSG_VERSION_UNKNOWN));
    Line(description, "");
    Line(description, LoadMessage(MSG_VERSION_MAY_BE_NEWER));
    Line(description, "");
    Line(description, QLC_String::Format(LoadMessage(MSG_LOOK_FOR_NEWER_PATCH).c_str(),
                                         LoadMessage(MSG_WEB_ADDRESS).c_str(), product.c_str()));
    Line(description, "");
    Line(description, LoadMessage(MSG_UPDATE_FAILED));
    return InstallCheckResult::StopFailed;
}

InstallCheckResult FileRefused(PatchDescription& description, int messageId,
                               const QLC_String& path) {
    ShowStatus(description, MSG_STATUS_FAILED);
    Line(description, QLC_String::Format(LoadMessage(messageId).c_str(), path.c_str()));
    Line(description, "");
    Line(description, LoadMessage(MSG_NO_UPDATE_PERFORMED));
    description.processFinished = true;
    return InstallCheckResult::StopFailed;
}

bool MatchesFromVersion(PatchDescription& description) {
    if (!description.isMultiVersion) {
        return description.fromVersion == description.installedVersion;
    }
    for (int i = 0; i < description.historyFromVersions.Count(); ++i) {
        if (description.historyFromVersions[i] == description.installedVersion) {
            description.historyIndex = i;
            description.fromVersion = description.installedVersion;
            return true;
        }
    }
    return false;
}

}  // namespace

InstallCheckResult CheckInstallation(PatchDescription& description) {
    QLC_String product = LoadMessage(MSG_PRODUCT_NAME);
    Line(description,
         QLC_String::Format(LoadMessage(MSG_CHECKING_INSTALLATION).c_str(), product.c_str(),
                            ToBackslashes(description.installFolder).c_str()));
    if (!DetectInstalledVersion(description)) {
        return VersionUnknown(description, product);
    }
    Line(description, "");
    Line(description, QLC_String::Format(
                          "\"%s\" %s %s %s", product.c_str(), LoadMessage(MSG_VERSION_WORD).c_str(),
                          description.installedVersion.c_str(), LoadMessage(MSG_DETECTED).c_str()));
    Line(description, "");

    // The key files of the detected version must be exactly as that version shipped them.
    for (int i = 0; i < description.checksumVersions.Count(); ++i) {
        if (!EqualsIgnoringCase(description.checksumVersions[i], description.installedVersion)) {
            continue;
        }
        QLC_String path = InstalledFilePath(description, description.checksumFiles[i]);
        uint32_t sum = FileChecksum(
            path, static_cast<int32_t>(DecimalFieldValue(description.checksumLengths[i])));
        if (sum == 0) {
            return FileRefused(description, MSG_REQUIRED_FILE_MISSING, path);
        }
        if (sum != DecimalFieldValue(description.checksumValues[i])) {
            return FileRefused(description, MSG_FILE_WRONG_VERSION, path);
        }
    }

    if (MatchesFromVersion(description) || description.skipVersionCheck) {
        return InstallCheckResult::Pass;
    }
    int order = CompareAsText(description.installedVersion, description.toVersion);
    if (order == 0) {
        Line(description, QLC_String::Format("\"%s\" %s %s.", product.c_str(),
                                             LoadMessage(MSG_ALREADY_UP_TO_DATE).c_str(),
                                             description.toVersion.c_str()));
        Line(description, "");
        Line(description, LoadMessage(MSG_NO_UPDATE_PERFORMED));
        Line(description, "");
        description.patchFileCount = 0;
        ShowStatus(description, MSG_STATUS_DONE);
        return InstallCheckResult::StopNoChange;
    }
    if (order > 0) {
        ShowStatus(description, MSG_STATUS_DONE);
        Line(description, QLC_String::Format("\"%s\" %s %s.", product.c_str(),
                                             LoadMessage(MSG_ALREADY_MORE_RECENT).c_str(),
                                             description.toVersion.c_str()));
        Line(description, "");
        Line(description, LoadMessage(MSG_NO_UPDATE_PERFORMED));
        return InstallCheckResult::StopNoChange;
    }
    ShowStatus(description, MSG_STATUS_FAILED);
    Line(description,
         QLC_String::Format(LoadMessage(MSG_VERSION_MISMATCH).c_str(), product.c_str()));
    Line(description, "");
    Line(description, LoadMessage(MSG_NO_UPDATE_PERFORMED));
    return InstallCheckResult::StopNoChange;
}
