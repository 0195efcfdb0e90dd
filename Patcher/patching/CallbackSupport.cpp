#include "patching/CallbackSupport.h"

#include <cstring>

#include "System/WinException.h"
#include "patchinfo/PatchDescription.h"
#include "shell/MessagePump.h"
#include "shell/PatchView.h"
#include "text/MessageText.h"

PatchDescription& BeginCallback() {
    if (!PumpMessages()) {
        throw Win::ExitException();
    }
    return *g_patchDescription;
}

const char* EngineText(void* parameter) {
    return parameter ? static_cast<const char*>(parameter) : "";
}

int FractionPercent(void* parameter) {
    if (!parameter) {
        return 0;
    }
    return static_cast<int>(*static_cast<const uint16_t*>(parameter) * 100u / kEngineWholeFile);
}

int32_t EngineCount(void* parameter) {
    return parameter ? *static_cast<const int32_t*>(parameter) : 0;
}

bool Holds(const char* text, const char* phrase) {
    return std::strstr(text, phrase) != nullptr;
}

QLC_String WithoutHistoryExtension(const PatchDescription& description, const QLC_String& name) {
    int dot = name.FindLastOf(".");
    if (dot < 0) {
        return name;  // no extension to compare, not even an empty one
    }
    QLC_String extension = name.Mid(static_cast<size_t>(dot) + 1);
    for (int i = 0; i < description.historyExtensions.Count(); ++i) {
        if (description.historyExtensions[i] == extension) {
            return name.Left(static_cast<size_t>(dot));
        }
    }
    return name;
}

void ReportCancelled(PatchDescription& description) {
    WriteLine(description, QLC_String::Format(LoadMessage(MSG_UPDATE_CANCELLED).c_str(),
                                              LoadMessage(MSG_PRODUCT_NAME).c_str()));
    // OK appears once the run has written its verdict (RunPatchProcess), not before it.
}

void ReportInconsistentFile(PatchDescription& description) {
    WriteLine(description,
              QLC_String::Format(LoadMessage(MSG_FILE_INCONSISTENT).c_str(),
                                 description.currentFile.c_str(), description.fromVersion.c_str()));
}
