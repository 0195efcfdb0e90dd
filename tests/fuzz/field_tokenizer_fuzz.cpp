// libFuzzer entry point: the first byte picks up to three delimiters from the bytes after it; the
// rest is a line split into fields. Fields come from the line, never overlap, and the line is
// used up after at most one field per byte.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "patchinfo/FieldTokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    size_t delimiterCount = data[0] % 4;
    if (delimiterCount > size - 1)
        delimiterCount = size - 1;
    // The tokenizer takes its delimiters as a C string: a zero byte ends them.
    std::string delimiters(reinterpret_cast<const char*>(data + 1), delimiterCount);
    delimiters = delimiters.c_str();
    const char* line = reinterpret_cast<const char*>(data + 1 + delimiterCount);
    const size_t length = size - 1 - delimiterCount;

    FieldTokenizer fields(QLC_String(line, length), delimiters.c_str());
    size_t total = 0;
    for (size_t calls = 0; calls <= length + 1; ++calls) {
        QLC_String field = fields.NextField();
        total += field.Length();
        if (total > length)
            std::abort();
        QLC_String trimmed = TrimWhiteSpace(field);
        if (trimmed.Length() > field.Length())
            std::abort();
    }
    if (!fields.NextField().IsEmpty())
        std::abort();
    return 0;
}
