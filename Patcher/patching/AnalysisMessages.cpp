// The analysis pass: the engine goes through every file of the patch and changes nothing. The
// callback collects what the run decides on afterwards.

#include <cstdint>

#include "System/File.h"
#include "System/Path.h"
#include "patchinfo/FileChecksum.h"
#include "patchinfo/PatchDescription.h"
#include "patching/CallbackSupport.h"
#include "patching/EngineCallbacks.h"
#include "shell/PatchView.h"
#include "text/MessageText.h"

namespace {

const uint32_t kMebibyte = 1048576;

// The byte count in "Insufficient Storage, N bytes needed": the number between the blank in
// front of the first " bytes" and that word, in 64 bits (an update may need 4 GiB and more);
// the largest count when it has more digits than that holds. 0 when the text has no number.
uint64_t BytesNeeded(const QLC_String& text) {
    int end = text.Find(" bytes");
    if (end <= 0) {
        return 0;
    }
    int start = end - 1;
    while (start > 0 && text[static_cast<size_t>(start) - 1] != ' ') {
        --start;
    }
    uint64_t count = 0;
    for (int i = start;
         i < end && text[static_cast<size_t>(i)] >= '0' && text[static_cast<size_t>(i)] <= '9';
         ++i) {
        uint64_t digit = static_cast<uint64_t>(text[static_cast<size_t>(i)] - '0');
        if (count > (UINT64_MAX - digit) / 10) {
            return UINT64_MAX;
        }
        count = count * 10 + digit;
    }
    return count;
}

const char* OnError(PatchDescription& description, const char* text) {
    if (Holds(text, "No update done since file contents do not match")) {
        WriteLine(description, "");
        WriteLine(description, QLC_String::Format(LoadMessage(MSG_FILE_CORRUPT).c_str(),
                                                  description.currentFile.c_str(),
                                                  description.fromVersion.c_str()));
    }
    if (Holds(text, "Insufficient Storage")) {
        // Not fatal here: the run reports the shortage with the free space it measured.
        WriteLine(description, "");
        description.bytesRequired = BytesNeeded(text);
        return "";
    }
    WriteLine(description, "");
    // A file the engine cannot reach or read (its path too long for Windows, a link on the way):
    // its own text names the file and why; no message of the table says that.
    if (Holds(text, "No update done: ")) {
        WriteLine(description, text);
    }
    WriteMessage(description, MSG_UPDATE_ERROR);
    return nullptr;
}

// The size of the file in the installation, read once per file for the tick arithmetic.
uint32_t InstalledSize(const PatchDescription& description, const QLC_String& name) {
    QLC_File file;
    if (!file.Open(JoinPath(description.installFolder, name),
                   QLC_IFile::READ | QLC_IFile::SHARE_READ)) {
        return kMebibyte;
    }
    uint32_t size = file.GetSize();
    file.Close();
    return size;
}

void OnFileBegins(PatchDescription& description, const QLC_String& name) {
    description.fileTicks = 0;
    ShowFileProgress(description, 0);
    description.patchedFiles.Append(WithoutHistoryExtension(description, name));
    description.currentFile = name;
    description.currentFileSize = InstalledSize(description, name);
}

void OnFileDone(PatchDescription& description) {
    ++description.analysedFiles;
    ShowFileProgress(description, 100);
    // An engine that has not announced its file count leaves the overall bar where it is.
    if (description.engineFileCount > 0) {
        ShowOverallProgress(description,
                            description.analysedFiles * 20 / description.engineFileCount);
    }
}

void OnTick(PatchDescription& description) {
    ++description.fileTicks;
    int32_t mebibytes = static_cast<int32_t>(description.currentFileSize / kMebibyte);
    ShowFileProgress(description, description.fileTicks * 100 / (mebibytes ? mebibytes : 1));
}

}  // namespace

const char* OnAnalysisMessage(unsigned messageId, void* parameter) {
    PatchDescription& description = BeginCallback();
    if (description.cancelRequested) {
        ReportCancelled(description);
        return nullptr;
    }
    switch (messageId) {
        case kEngineWarning:
            if (Holds(EngineText(parameter), "file of the same name")) {
                WriteLine(description, "");
                ReportInconsistentFile(description);
                description.inconsistentFileSeen = true;
            }
            return "";
        case kEngineError:
            return OnError(description, EngineText(parameter));
        case kEngineFileFraction:
            ShowFileProgress(description, FractionPercent(parameter));
            return "";
        case kEngineFileCount:
            description.engineFileCount = EngineCount(parameter);
            return "";
        case kEngineFileBegins:
            OnFileBegins(description, EngineText(parameter));
            return "";
        case kEngineFileDone:
            OnFileDone(description);
            return "";
        case kEnginePatchInvalid:
            return nullptr;
        case kEnginePatchFileInvalid:
            WriteMessage(description, MSG_INVALID_PATCH_FILE);
            return nullptr;
        case kEngineQuestion:
            return kEngineAnswerYes;
        case kEngineTick:
            OnTick(description);
            return "";
        default:
            return IsEngineStopMessage(messageId) ? nullptr : "";
    }
}
