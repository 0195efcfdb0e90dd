// libFuzzer entry point: arbitrary text as the payload's information lines, one per line feed,
// parsed into a fresh description. The lists read in parallel must stay parallel.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "patchinfo/PatchDescription.h"
#include "patchinfo/PatchInformation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PatchDescription description;
    const char* text = reinterpret_cast<const char*>(data);
    for (size_t start = 0; start < size;) {
        const void* feed = std::memchr(text + start, '\n', size - start);
        size_t end = feed ? size_t(static_cast<const char*>(feed) - text) : size;
        ParseInformationLine(QLC_String(text + start, end - start));
        start = end + 1;
    }
    const int history = description.historyFromVersions.Count();
    const int checksums = description.checksumFiles.Count();
    if (description.historySecondValues.Count() != history ||
        description.historyExtensions.Count() != history ||
        description.checksumValues.Count() != checksums ||
        description.checksumLengths.Count() != checksums ||
        description.checksumVersions.Count() != checksums) {
        std::abort();
    }
    return 0;
}
