// The introduction text of the start dialog and of the first log line.

#include "System/Path.h"
#include "patchinfo/PatchDescription.h"
#include "text/MessageText.h"

namespace {

// "version 1.1.5", "versions 1.1.5 or 1.1.6", "versions a, b, c, or d" in the user's language.
QLC_String FromVersionsText(const StringList& versions) {
    int n = versions.Count();
    if (n == 1) {
        return QLC_String::Format("%s %s", LoadMessage(MSG_VERSION_WORD).c_str(),
                                  versions[0].c_str());
    }
    if (n == 2) {
        return QLC_String::Format(LoadMessage(MSG_TWO_VERSIONS).c_str(),
                                  LoadMessage(MSG_VERSIONS_WORD).c_str(), versions[0].c_str(),
                                  versions[1].c_str());
    }
    QLC_String text = QLC_String::Format("%s ", LoadMessage(MSG_VERSIONS_WORD).c_str());
    for (int i = 0; i < n; ++i) {
        text.Append(versions[i]);
        if (i == n - 2) {
            text.Append(QLC_String::Format("%s ", LoadMessage(MSG_LIST_LAST_SEPARATOR).c_str()));
        } else if (i < n - 1) {
            text.Append(QLC_String::Format("%s ", LoadMessage(MSG_LIST_SEPARATOR).c_str()));
        }
    }
    return text;
}

}  // namespace

QLC_String PatchDescription::IntroText(int mode) const {
    QLC_String product = LoadMessage(MSG_PRODUCT_NAME);
    if (isMultiVersion) {
        QLC_String from = FromVersionsText(historyFromVersions);
        if (mode == 0) {
            return QLC_String::Format(LoadMessage(MSG_INTRO_IN_FOLDER_FROM_LIST).c_str(),
                                      product.c_str(), ToBackslashes(installFolder).c_str(),
                                      from.c_str(), toVersion.c_str());
        }
        if (mode == 1) {
            return QLC_String::Format(LoadMessage(MSG_INTRO_FROM_LIST).c_str(), from.c_str(),
                                      toVersion.c_str());
        }
        return QLC_String::Format(LoadMessage(MSG_INTRO_PRODUCT_FROM_LIST).c_str(), product.c_str(),
                                  from.c_str(), toVersion.c_str());
    }
    if (!installFolder.IsEmpty()) {
        return QLC_String::Format(LoadMessage(MSG_INTRO_IN_FOLDER).c_str(), product.c_str(),
                                  ToBackslashes(installFolder).c_str(), fromVersion.c_str(),
                                  toVersion.c_str());
    }
    return QLC_String::Format(LoadMessage(MSG_INTRO).c_str(), product.c_str(), fromVersion.c_str(),
                              toVersion.c_str());
}
