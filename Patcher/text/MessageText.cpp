#include "MessageText.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "StringBlock.h"

namespace {

const WORD kFallbackLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
// No message comes near this; longer texts are cut.
const int kMessageBufferSize = 1024;

// Converts `entry` into `buffer`, cut to bufferSize - 1 bytes and terminated; returns the bytes
// placed, terminator included.
int ConvertToAnsi(const StringBlockEntry& entry, char* buffer, int bufferSize) {
    int bytes = 0;
    if (entry.length > 0) {
        bytes =
            WideCharToMultiByte(CP_ACP, 0, entry.text, entry.length, nullptr, 0, nullptr, nullptr);
    }
    if (bytes > 0 && bytes <= bufferSize) {
        WideCharToMultiByte(CP_ACP, 0, entry.text, entry.length, buffer, bufferSize, nullptr,
                            nullptr);
    } else if (bytes > 0) {
        // Too long for the caller's buffer: convert whole, then keep what fits, so the cut does
        // not depend on how the system fills a short buffer.
        std::string whole(static_cast<size_t>(bytes), '\0');
        WideCharToMultiByte(CP_ACP, 0, entry.text, entry.length, &whole[0], bytes, nullptr,
                            nullptr);
        std::memcpy(buffer, whole.data(), static_cast<size_t>(bufferSize - 1));
    }
    // Counted in bytes: in a double-byte code page a text has more bytes than characters.
    const int terminator = bytes < bufferSize - 1 ? bytes : bufferSize - 1;
    buffer[terminator] = '\0';
    return terminator + 1;
}

}  // namespace

int FindMessageText(int id, char* buffer, int bufferSize) {
    if (bufferSize < 0) {
        return 0;
    }
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC block = FindStringBlock(module, id, GetUserDefaultLangID());
    if (!block) {
        block = FindStringBlock(module, id, kFallbackLanguage);
    }
    StringBlockEntry entry;
    if (!block || !ReadStringBlockEntry(module, block, id, &entry)) {
        return 0;
    }
    if (bufferSize == 0) {
        return entry.length;
    }
    if (!buffer) {
        return 0;
    }
    return ConvertToAnsi(entry, buffer, bufferSize);
}

QLC_String LoadMessage(int id) {
    char buffer[kMessageBufferSize] = {};
    FindMessageText(id, buffer, kMessageBufferSize);
    return QLC_String(buffer);
}
