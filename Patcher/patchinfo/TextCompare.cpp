#include "patchinfo/TextCompare.h"

#include <windows.h>

#include <mbstring.h>

#include <cstring>

bool EqualsIgnoringCase(const QLC_String& a, const QLC_String& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_EQUAL;
}

// A lead byte and its trail byte compared as a unit order exactly as the two bytes do one by
// one, so a plain unsigned byte comparison serves double-byte code pages too.
int CompareAsText(const QLC_String& a, const QLC_String& b) {
    return std::strcmp(a.c_str(), b.c_str());
}

int CompareIgnoringCase(const QLC_String& a, const QLC_String& b) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                    reinterpret_cast<const unsigned char*>(b.c_str()));
}
