#pragma once
// Raw access to the string-table resources that hold the localized messages. A message id n
// sits in block n / 16 + 1 at position n % 16; a block is 16 entries, each a 16-bit character
// count followed by that many UTF-16 characters without a terminator.

#include <windows.h>

struct StringBlockEntry {
    const WCHAR* text;  // not terminated
    int length;         // in characters; 0 for an empty entry
};

// The block holding message `id` under exactly `language` (no neutral or primary-language
// match), or null. Ids that no block can hold give null.
HRSRC FindStringBlock(HMODULE module, int id, WORD language);

// Reads the entry of message `id` from a block found by FindStringBlock. False when the block
// cannot be loaded or is too short to hold the entry.
bool ReadStringBlockEntry(HMODULE module, HRSRC block, int id, StringBlockEntry* entry);
