#include "patchinfo/Settings.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "System/Folders.h"
#include "patchinfo/PatchDescription.h"
#include "patchinfo/PatchInformation.h"

namespace {

// Byte-wise, both sides in upper case: "NoBackup" contains "Backup".
bool ContainsNoCase(const QLC_String& text, const char* part) {
    size_t partLength = std::strlen(part);
    for (size_t start = 0; start + partLength <= text.Length(); ++start) {
        size_t i = 0;
        while (i < partLength && std::toupper(static_cast<unsigned char>(text[start + i])) ==
                                     std::toupper(static_cast<unsigned char>(part[i]))) {
            ++i;
        }
        if (i == partLength) {
            return true;
        }
    }
    return false;
}

}  // namespace

void ReadSwitches(const QLC_String& commandLine, PatchDescription& description) {
    if (ContainsNoCase(commandLine, "SkipVersionCheck")) {
        description.skipVersionCheck = true;
    }
    if (ContainsNoCase(commandLine, "Backup")) {
        description.keepBackup = true;
    }
    if (ContainsNoCase(commandLine, "ShowErrorReport")) {
        description.showErrorReport = true;
    }
}

void ReadSettings(QLC_String commandLine) {
    SetApplicationFolder("Patcher");
    if (ListPatchInformation()) {
        // The engine has said what was wrong, if anything; nothing can go on without the list.
        std::exit(1);
    }
    ReadSwitches(commandLine, *g_patchDescription);
}
