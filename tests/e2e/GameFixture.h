#pragma once
// The test game and what surrounds it: builds of a small game, the patch builder run in-process,
// the utility under test and the engine's temporary copies.

#include <string>
#include <vector>

#include "TestTree.h"

namespace e2e {

// The identifying program of the game: a small PE-like file whose DOS stub carries the marker
// "Windows only.\r\n" at offset 78 and the version text at 94, then `body`.
std::string GameProgram(const std::string& version, const std::string& body = "");

// A build of the test game: ts2.exe stamped with `version`, plus data files that differ a little
// from version to version.
Tree GameBuild(const std::string& version);

// Runs the patch builder with these arguments ("build ...", "attach ..."); throws with its
// error output when it fails.
void RunPatchBuilder(const std::vector<std::string>& arguments);

// The utility under test (the build's TessalyUpdate.exe) as a Windows path.
std::string UtilityProgram();
// The utility whose engine kills its process at a chosen file operation (TPATCH_KILL_AT_...).
std::string CrashPointUtilityProgram();

// The temporary copies of the engine library ("pdl*" files) in the temporary folder.
std::vector<std::string> EngineCopies();
inline int CountEngineCopies() {
    return static_cast<int>(EngineCopies().size());
}

// For its lifetime, TMP and TEMP of this process and of the programs it starts name a folder of
// its own: test programs run side by side, and one that counts engine copies must see only its
// own, not another's made or removed meanwhile. Scratch folders made meanwhile go inside it and
// are gone with it, so the suite's update programs (`Programs`) must be made before, not within.
class OwnTemporaryFolder {
public:
    OwnTemporaryFolder();
    ~OwnTemporaryFolder();

private:
    ScratchFolder m_folder;
    std::string m_tmp, m_temp;
};

}  // namespace e2e
