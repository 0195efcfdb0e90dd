#include "cli.h"

namespace tpatch {
namespace {

const char* const kMainHelp =
    "usage: tpatch COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  build    compare old and new builds and write a patch\n"
    "  attach   append a patch to the update utility's program\n"
    "  list     print a patch's information lines\n"
    "  apply    apply a patch to an installation (or check it with --dry-run)\n"
    "  verify   check that an installation can take a patch\n"
    "  diff     write a delta between two files\n"
    "  patch    rebuild a file from its old version and a delta\n"
    "\n"
    "'tpatch COMMAND --help' describes a command.\n";

}  // namespace

bool WantsHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            return true;
        }
    }
    return false;
}

int RunTpatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kMainHelp;
        return kExitUsage;
    }
    const std::string& command = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        out << kMainHelp;
        return 0;
    }
    struct Command {
        const char* name;
        int (*run)(const std::vector<std::string>&, std::ostream&, std::ostream&);
        const char* help;
    };
    static const Command kCommands[] = {
        {"build", BuildCommand, kBuildHelp},    {"attach", AttachCommand, kAttachHelp},
        {"list", ListCommand, kListHelp},       {"apply", ApplyCommand, kApplyHelp},
        {"verify", VerifyCommand, kVerifyHelp}, {"diff", DiffCommand, kDiffHelp},
        {"patch", PatchCommand, kPatchHelp}};
    for (const Command& c : kCommands) {
        if (command == c.name) {
            if (WantsHelp(rest)) {
                out << c.help;
                return 0;
            }
            return c.run(rest, out, err);
        }
    }
    err << "tpatch: unknown command '" << command << "'\n\n" << kMainHelp;
    return kExitUsage;
}

}  // namespace tpatch
