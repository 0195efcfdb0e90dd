#pragma once
// Text comparisons of the patch information: keywords and version texts.

#include "Utility/String.h"

// Equal ignoring case, as the user's code page sees it (double-byte characters included).
bool EqualsIgnoringCase(const QLC_String& a, const QLC_String& b);

// Orders texts by their bytes taken as unsigned values, case-sensitive: "1.10.0" sorts before
// "1.9.0". Negative, zero or positive.
int CompareAsText(const QLC_String& a, const QLC_String& b);

// Orders texts ignoring case, a double-byte character counting as one; otherwise by byte value.
int CompareIgnoringCase(const QLC_String& a, const QLC_String& b);
