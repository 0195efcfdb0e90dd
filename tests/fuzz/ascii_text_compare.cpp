// The keyword comparison for native builds: the Windows one follows the user's code page, which
// only matters for double-byte texts; keywords are ASCII.
#include <strings.h>

#include "patchinfo/TextCompare.h"

bool EqualsIgnoringCase(const QLC_String& a, const QLC_String& b) {
    return a.Length() == b.Length() && strcasecmp(a.c_str(), b.c_str()) == 0;
}
