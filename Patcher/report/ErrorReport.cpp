// The support report: what the engine said during the last run, then the size and checksum of
// every installed file, for the user to mail to support.

#include "report/ErrorReport.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "System/Path.h"
#include "patchinfo/FileChecksum.h"
#include "patchinfo/PatchDescription.h"
#include "patchinfo/TextCompare.h"
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

// Bytes read and summed at a time.
const uint32_t kSummingStep = 65536;
// The file bar and the pump are serviced this often: the window stays responsive, and a file
// of several GiB takes seconds, not the minutes that a pump every few KiB costs.
const DWORD kServiceMilliseconds = 50;

// The whole file summed, every byte of it (bytes that cannot be read count as zeros). The file
// layer counts in 32 bits: installed files of 4 GiB and more are read through a handle of their
// own. False when the program is quitting.
bool SumWholeFile(PatchDescription& description, HANDLE file, uint64_t size, uint32_t& sum) {
    static unsigned char buffer[kSummingStep];
    uint32_t h = 0;
    uint64_t done = 0;
    DWORD serviced = GetTickCount();
    while (done < size) {
        DWORD wanted = size - done < kSummingStep ? static_cast<DWORD>(size - done) : kSummingStep;
        DWORD got = 0;
        if (!ReadFile(file, buffer, wanted, &got, nullptr) || got > wanted) {
            got = 0;
        }
        std::memset(buffer + got, 0, wanted - got);
        // Four bytes at a time (7^4 = 2401), the same sum with a shorter chain of multiplications:
        // a file of 4 GiB takes a second or two.
        DWORD i = 0;
        for (; i + 4 <= wanted; i += 4) {
            h = h * 2401u +
                (buffer[i] * 343u + buffer[i + 1] * 49u + buffer[i + 2] * 7u + buffer[i + 3]);
        }
        for (; i < wanted; ++i) {
            h = h * 7 + buffer[i];
        }
        done += wanted;
        if (done < size && GetTickCount() - serviced >= kServiceMilliseconds) {
            serviced = GetTickCount();
            ShowFileProgress(description, static_cast<int>(done * 100 / size));
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

// Len is the true size, never a negative or truncated count.
QLC_String ChecksumLine(const PatchDescription& description, const QLC_String& path,
                        const QLC_String& entry, uint64_t size, uint32_t sum) {
    int k = ExpectedChecksumIndex(description, entry);
    if (k < 0 || description.checksumValues[k].IsEmpty()) {
        return QLC_String::Format("File=\"%s\" Len=%llu Check=%u", entry.c_str(),
                                  static_cast<unsigned long long>(size), sum);
    }
    uint32_t partial =
        FileChecksum(path, static_cast<int32_t>(DecimalFieldValue(description.checksumLengths[k])));
    return QLC_String::Format("File=\"%s\" Len=%llu Check=%u PChk=%u(%s)", entry.c_str(),
                              static_cast<unsigned long long>(size), sum, partial,
                              description.checksumValues[k].c_str());
}

// One file's line; files that cannot be opened get none. False when the program is quitting.
bool WriteFileChecksum(PatchDescription& description, const QLC_String& root,
                       const QLC_String& entry, int index, int count) {
    QLC_String path = JoinPath(root, entry);
    // Opened as the file layer's flags 17 (READ and SHARE_READ) open it.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return true;
    }
    LARGE_INTEGER size{};
    uint32_t sum = 0;
    bool going = true;
    if (GetFileSizeEx(file, &size)) {
        going = SumWholeFile(description, file, static_cast<uint64_t>(size.QuadPart), sum);
    }
    CloseHandle(file);
    if (!going) {
        return false;
    }
    ShowFileProgress(description, 100);
    ShowOverallProgress(description, static_cast<int>(int64_t{index + 1} * 100 / count));
    return Line(description,
                ChecksumLine(description, path, entry, static_cast<uint64_t>(size.QuadPart), sum));
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
