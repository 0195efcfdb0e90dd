#pragma once
// Game installations and update programs made for tests: builds of a small game written to
// scratch folders, patches built from them with the patch builder and attached to a copy of the
// utility, and tree comparisons for "byte-identical to the old or the new build".

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

// Builds a patch from `oldFolder` (version `fromVersion`) to `newFolder` and attaches it to a
// copy of `utility` at `updateProgram`. `extra` goes to the builder as it is.
void MakeUpdateProgram(const std::string& oldFolder, const std::string& newFolder,
                       const std::string& updateProgram, const std::vector<std::string>& extra = {},
                       const std::string& utility = UtilityProgram());

// The temporary copies of the engine library ("pdl*" files) in the temporary folder.
int CountEngineCopies();
// Their paths.
std::vector<std::string> EngineCopies();

}  // namespace e2e
