#pragma once
// tpatch: builds patches, attaches them to the update utility, lists, checks and applies them;
// diffs and patches single files.
#include <ostream>
#include <string>
#include <vector>

namespace tpatch {

// Exit status: 0 success; 2 bad arguments; 1 a build, attach, diff or patch failure; for list,
// apply and verify, the engine's result code.
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int RunTpatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Each command's handler; `args` excludes the command name.
int BuildCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int AttachCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int ListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int ApplyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int VerifyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int DiffCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int PatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Help texts.
extern const char* const kBuildHelp;
extern const char* const kAttachHelp;
extern const char* const kListHelp;
extern const char* const kApplyHelp;
extern const char* const kVerifyHelp;
extern const char* const kDiffHelp;
extern const char* const kPatchHelp;

bool WantsHelp(const std::vector<std::string>& args);

}  // namespace tpatch
