#include "report/QualifyingFiles.h"

#include "System/DirectoryWalker.h"
#include "System/Path.h"
#include "patchinfo/StringList.h"
#include "patchinfo/TextCompare.h"

void CollectQualifyingFiles(const QLC_String& root, StringList& files) {
    QLC_DirectoryWalker walker;
    walker.Start(JoinPath(root, "*.*"), true, true, true);
    QLC_String entry;
    while (walker.Next(entry)) {
        if (walker.IsDirectory()) {
            continue;
        }
        // Only the part inside the installation decides: a game installed below a folder such
        // as "C:/Logs/" still gets every file summed.
        QLC_String relative = entry.Mid(root.Length());
        if (FindNoCase(relative.c_str(), "Logs/")) {
            continue;
        }
        files.Append(relative);
    }
}

void SortIgnoringCase(StringList& files) {
    files.Sort(CompareIgnoringCase);
}
