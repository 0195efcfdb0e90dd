#pragma once
// tpatch: builds patches, attaches them to the update utility, lists, checks and applies them;
// diffs and patches single files. The command line is read in one place (cli.cpp); each command
// takes its arguments already checked.
#include <ostream>
#include <string>
#include <vector>

namespace tpatch {

// Exit status: 0 success; 2 bad arguments; 1 a build, attach, diff or patch failure; for list,
// apply and verify, the engine's result code.
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int RunTpatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

struct BuildArguments {
    std::vector<std::string> olds;  // [VERSION=]DIR each
    std::string current;            // [VERSION=]DIR
    std::string versionFile, fromVersion, toVersion, keyFile, output;
    std::vector<std::string> registryKeys;
    std::vector<std::string> checksumHistory;  // [VERSION=]DIR each
    int level = 19;
    unsigned memoryMib = 1024;
    unsigned threads = 2;
    bool keepLinks = false, followLinks = false, quiet = false;
};

struct AttachArguments {
    std::string patcher, patch, output;
    std::string product = "Tessaly";
};

struct EngineArguments {
    std::string file, folder;
    std::string backupFolder;  // apply only
    bool dryRun = false;       // apply only
    bool quiet = false;
};

struct DiffArguments {
    std::string oldPath, newPath, deltaPath;
    // One thread by default: a second one only shortens the compression of the diffs, about a
    // quarter of the time, and doubles the compressor's memory, which for mid-sized files
    // outgrows the matcher's peak.
    int level = 19;
    unsigned threads = 1;
};

struct PatchArguments {
    std::string oldPath, deltaPath, newPath;
};

int BuildCommand(const BuildArguments& args, std::ostream& out, std::ostream& err);
int AttachCommand(const AttachArguments& args, std::ostream& out, std::ostream& err);
int ListCommand(const std::string& file, std::ostream& out, std::ostream& err);
int ApplyCommand(const EngineArguments& args, std::ostream& out, std::ostream& err);
int VerifyCommand(const EngineArguments& args, std::ostream& out, std::ostream& err);
int DiffCommand(const DiffArguments& args, std::ostream& out, std::ostream& err);
int PatchCommand(const PatchArguments& args, std::ostream& out, std::ostream& err);

}  // namespace tpatch
