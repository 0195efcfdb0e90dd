#pragma once
// The localized messages of the utility, looked up in the program's own string table in the
// user's default language, with United States English as the only fallback.

#include "MessageIds.h"
#include "Utility/String.h"

// Copies the text of message `id`, converted to the ANSI code page, into `buffer` and
// terminates it, cutting it to bufferSize - 1 bytes if need be. Returns the bytes placed,
// terminator included. With bufferSize 0 it returns the text's length in characters instead;
// with a null buffer, 0. A missing message gives 0 (or an empty text).
int FindMessageText(int id, char* buffer, int bufferSize);

// The text of message `id` in the user's language; empty when there is no such message.
// Looked up afresh on every call.
QLC_String LoadMessage(int id);
