// Parsing one information line: portable code (no Win32 calls of its own), so that it can also be
// fuzzed natively.
#include "patchinfo/PatchInformation.h"

#include "patchinfo/FieldTokenizer.h"
#include "patchinfo/PatchDescription.h"
#include "patchinfo/TextCompare.h"

void ParseInformationLine(const QLC_String& text) {
    PatchDescription& description = *g_patchDescription;
    FieldTokenizer fields(text, ",");
    QLC_String keyword = fields.NextField();
    if (EqualsIgnoringCase(keyword, "history")) {
        description.isMultiVersion = true;
        QLC_String from = fields.NextField();
        QLC_String second = fields.NextField();
        QLC_String extension = TrimWhiteSpace(fields.NextField());
        description.historyFromVersions.Append(from);
        description.historySecondValues.Append(second);
        description.historyExtensions.Append(extension);
    } else if (EqualsIgnoringCase(keyword, "versions")) {
        description.versionFileName = fields.NextField();
        description.fromVersion = fields.NextField();
        description.toVersion = TrimWhiteSpace(fields.NextField());
        description.hasVersionsLine = true;
    } else if (EqualsIgnoringCase(keyword, "checksum")) {
        QLC_String file = fields.NextField();
        QLC_String sum = fields.NextField();
        QLC_String length = fields.NextField();
        QLC_String version = TrimWhiteSpace(fields.NextField());
        description.checksumFiles.Append(file);
        description.checksumValues.Append(sum);
        description.checksumLengths.Append(length);
        description.checksumVersions.Append(version);
    } else if (EqualsIgnoringCase(keyword, "registry")) {
        description.registryKeys.Append(TrimWhiteSpace(fields.NextField()));
    }
}
