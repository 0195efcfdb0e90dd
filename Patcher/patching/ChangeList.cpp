#include "patching/ChangeList.h"

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "patchinfo/PatchDescription.h"
#include "text/MessageText.h"

void OfferChangeList(const PatchDescription& description) {
    int answer =
        MessageBoxA(nullptr, LoadMessage(MSG_VIEW_CHANGES_QUESTION).c_str(),
                    LoadMessage(MSG_VIEW_CHANGES_CAPTION).c_str(), MB_YESNO | MB_ICONQUESTION);
    if (answer != IDYES) {
        return;
    }
    // Whether the file exists and what opens it is the shell's concern.
    QLC_String file = QLC_String::Format("%s/%s", description.installFolder.c_str(),
                                         LoadMessage(MSG_CHANGE_LIST_FILE).c_str());
    ShellExecuteA(nullptr, "open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
