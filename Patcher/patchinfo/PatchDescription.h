#pragma once
// Everything the run knows about its patch: the information lines listed from the payload, the
// command-line settings, the installation, the process state and the engine texts for the log.

#include <cstdint>

#include "Utility/String.h"
#include "patchinfo/StringList.h"

class PatchView;

class PatchDescription {
public:
    PatchDescription();
    PatchDescription(const PatchDescription&) = delete;
    PatchDescription& operator=(const PatchDescription&) = delete;
    virtual ~PatchDescription();

    virtual void SetView(PatchView* newView) { view = newView; }

    // The introduction text: mode 0 with the installation folder known, 1 for the first log
    // line, any other mode while the folder is unknown.
    QLC_String IntroText(int mode) const;

    bool hasVersionsLine = false;
    bool skipVersionCheck = false;
    bool keepBackup = false;
    bool inconsistentFileSeen = false;
    bool showErrorReport = false;
    uint64_t bytesRequired = 0;
    QLC_String versionFileName;
    QLC_String toVersion;
    QLC_String fromVersion;
    QLC_String installedVersion;
    QLC_String utilityVersion{"1.1"};
    QLC_String installFolder;
    bool isMultiVersion = false;
    StringList patchedFiles{200};
    StringList historyFromVersions{200};
    StringList historySecondValues{200};
    StringList historyExtensions{200};
    StringList checksumFiles{200};
    StringList checksumValues{200};
    StringList checksumLengths{200};
    StringList checksumVersions{200};
    StringList processLogLines{1000};
    StringList registryKeys{200};
    QLC_String currentFile;
    bool processFinished = false;
    bool cancelRequested = false;
    int32_t applyingNumber = 0;
    bool fileInProgress = false;
    int32_t analysedFiles = 0;
    int32_t engineFileCount = 0;
    int32_t historyIndex = 0;
    int32_t patchFileCount = 0;
    QLC_String lastPatchFile;
    int32_t appliedFiles = 0;
    int32_t fileTicks = 0;
    uint32_t currentFileSize = 0;
    PatchView* view = nullptr;
};

// The one description, published by its constructor; the engine callbacks reach it here.
extern PatchDescription* g_patchDescription;
