// The support report: what the engine said during the last run, then the size and checksum of
// every installed file, for the user to mail to support.

#include "report/ErrorReport.h"

#include <cstdint>

#include "System/File.h"
#include "System/Path.h"
#include "patchinfo/FileChecksum.h"
#include "patchinfo/PatchDescription.h"
#include "patchinfo/TextCompare.h"
#include "patching/RunOutput.h"
#include "report/QualifyingFiles.h"
#include "shell/MessagePump.h"
#include "shell/PatchView.h"
#include "text/MessageText.h"

namespace {

// Every line pumps the window's messages; false once the program is quitting.
bool Line(PatchDescription& description, const QLC_String& text) {
    return ReportLine(text, description);
}

bool MessageLine(PatchDescription& description, int messageId) {
    return Line(description, LoadMessage(messageId));
}

bool WriteProcessLog(PatchDescription& description) {
    const StringList& log = description.processLogLines;
    if (log.Count() == 0) {
        return true;
    }
    if (!Line(description, "") ||
        !Line(description, "----------PATCH PROCESS LOG BEGIN----------") ||
        !MessageLine(description, MSG_REPORT_GENERATING)) {
        return false;
    }
    for (int i = 0; i < log.Count(); ++i) {
        if (!Line(description, log[i])) {
            return false;
        }
    }
    return Line(description, "----------PATCH PROCESS LOG END----------");
}

// The whole file summed byte by byte, with the file bar and the pump serviced every 1024 bytes.
// False when the program is quitting.
bool SumWholeFile(PatchDescription& description, QLC_File& file, uint32_t size, uint32_t& sum) {
    uint32_t h = 0;
    for (uint32_t j = 0; j < size; ++j) {
        unsigned char b = 0;
        if (file.Read(&b, 1) != 1) {
            b = 0;
        }
        h = h * 7 + b;
        if (j % 1024 == 1023) {
            ShowFileProgress(description, static_cast<int>(uint64_t{j} * 100 / size));
            if (!PumpMessages()) {
                return false;
            }
        }
    }
    sum = h;
    return true;
}

// The first checksum line of the detected version for this file, or -1.
int ExpectedChecksumIndex(const PatchDescription& description, const QLC_String& entry) {
    for (int k = 0; k < description.checksumValues.Count(); ++k) {
        if (EqualsIgnoringCase(description.checksumVersions[k], description.installedVersion) &&
            EqualsIgnoringCase(description.checksumFiles[k], entry)) {
            return k;
        }
    }
    return -1;
}

QLC_String ChecksumLine(const PatchDescription& description, const QLC_String& path,
                        const QLC_String& entry, uint32_t size, uint32_t sum) {
    int k = ExpectedChecksumIndex(description, entry);
    if (k < 0 || description.checksumValues[k].IsEmpty()) {
        return QLC_String::Format("File=\"%s\" Len=%d Check=%u", entry.c_str(),
                                  static_cast<int32_t>(size), sum);
    }
    uint32_t partial =
        FileChecksum(path, static_cast<int32_t>(DecimalFieldValue(description.checksumLengths[k])));
    return QLC_String::Format("File=\"%s\" Len=%d Check=%u PChk=%u(%s)", entry.c_str(),
                              static_cast<int32_t>(size), sum, partial,
                              description.checksumValues[k].c_str());
}

// One file's line; files that cannot be opened get none. False when the program is quitting.
bool WriteFileChecksum(PatchDescription& description, const QLC_String& root,
                       const QLC_String& entry, int index, int count) {
    QLC_String path = JoinPath(root, entry);
    QLC_File file;
    if (!file.Open(path, QLC_IFile::READ | QLC_IFile::SHARE_READ)) {
        return true;
    }
    uint32_t size = file.GetSize();
    uint32_t sum = 0;
    bool going = SumWholeFile(description, file, size, sum);
    file.Close();
    if (!going) {
        return false;
    }
    ShowFileProgress(description, 100);
    ShowOverallProgress(description, static_cast<int>(int64_t{index + 1} * 100 / count));
    return Line(description, ChecksumLine(description, path, entry, size, sum));
}

bool WriteChecksumLog(PatchDescription& description) {
    if (!Line(description, "") || !MessageLine(description, MSG_REPORT_PLEASE_WAIT)) {
        return false;
    }
    QLC_String root = AddTrailingSlash(ToForwardSlashes(description.installFolder));
    StringList files(500);
    CollectQualifyingFiles(root, files);
    if (!Line(description, "") ||
        !Line(description,
              QLC_String::Format(LoadMessage(MSG_REPORT_FILES_FOUND).c_str(), files.Count())) ||
        !Line(description, "")) {
        return false;
    }
    SortIgnoringCase(files);
    if (!Line(description, "----------CHECKSUM LOG BEGIN----------")) {
        return false;
    }
    for (int i = 0; i < files.Count(); ++i) {
        if (!WriteFileChecksum(description, root, files[i], i, files.Count())) {
            return false;
        }
    }
    return Line(description, "----------CHECKSUM LOG END----------") && Line(description, "") &&
           MessageLine(description, MSG_REPORT_COMPLETE) && Line(description, "") &&
           MessageLine(description, MSG_REPORT_SEND_BY_EMAIL);
}

}  // namespace

void RunErrorReport(PatchDescription& description) {
    if (description.view) {
        description.view->HideErrorReportButton();
    }
    ShowFileProgress(description, 0);
    ShowOverallProgress(description, 0);
    // A quit ends the report wherever it is; the window is going.
    if (WriteProcessLog(description)) {
        WriteChecksumLog(description);
    }
}
