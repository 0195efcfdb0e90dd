#include "StringBlock.h"

namespace {

const int kEntriesPerBlock = 16;
// Resource ids are 16 bits wide; 0 is not a valid id.
const int kLastBlock = 0xFFFF;

}  // namespace

HRSRC FindStringBlock(HMODULE module, int id, WORD language) {
    if (id < 0 || id / kEntriesPerBlock + 1 > kLastBlock) {
        return nullptr;
    }
    const int block = id / kEntriesPerBlock + 1;
    return FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(block), language);
}

bool ReadStringBlockEntry(HMODULE module, HRSRC block, int id, StringBlockEntry* entry) {
    HGLOBAL loaded = LoadResource(module, block);
    const WCHAR* data = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
    if (!data) {
        return false;
    }
    // A damaged block must not lead the walk past its end.
    const size_t words = SizeofResource(module, block) / sizeof(WCHAR);
    size_t at = 0;
    for (int skip = id % kEntriesPerBlock; skip > 0; --skip) {
        if (at >= words) {
            return false;
        }
        at += 1 + data[at];
    }
    if (at >= words || words - at - 1 < data[at]) {
        return false;
    }
    entry->length = data[at];
    entry->text = data + at + 1;
    return true;
}
