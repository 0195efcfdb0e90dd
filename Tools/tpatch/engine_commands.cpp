// tpatch list, apply and verify: the engine's passes, shown for a person.
#include <iostream>

#include "cli.h"
#include "console_view.h"
#include "crash_points.h"
#include "engine.h"

namespace tpatch {

const char* const kListHelp =
    "usage: tpatch list FILE\n"
    "\n"
    "Prints the information lines of a patch file or of an update program carrying one.\n";

const char* const kApplyHelp =
    "usage: tpatch apply [--dry-run] [--backup DIR] FILE INSTALL_DIR\n"
    "\n"
    "Applies the patch in FILE (a patch file or an update program) to INSTALL_DIR, all files or\n"
    "none: any failure restores the installation as it was.\n"
    "\n"
    "  --dry-run     check every file and the free space; change nothing\n"
    "  --backup DIR  keep the replaced and deleted originals in DIR, a folder inside\n"
    "                INSTALL_DIR, under their relative paths\n";

const char* const kVerifyHelp =
    "usage: tpatch verify FILE INSTALL_DIR\n"
    "\n"
    "Checks that INSTALL_DIR can take the patch: exit status 0 when every file is at its old or\n"
    "new contents and the volume has room; non-zero otherwise. Changes nothing.\n";

namespace {

int RunPass(tpe::EngineOptions options, std::ostream& out, std::ostream& err, bool strict) {
    bool terminal = &out == &std::cout && StdoutIsTerminal();
    ConsoleView view(out, err, terminal, options.mode == tpe::EngineMode::Apply);
    tpe::EngineResult result = tpe::RunEngine(options, view.Sink(), tpe::CrashPointFileSystem());
    int status = static_cast<int>(result);
    if (status == 0 && strict && view.Warnings() > 0) {
        status = static_cast<int>(tpe::EngineResult::ContentsMismatch);
    }
    if (options.mode != tpe::EngineMode::List || status != 0) {
        (status == 0 ? out : err) << (status == 0 ? "ok" : "failed") << ": "
                                  << (status == 0 && view.Warnings() > 0
                                          ? "some files match neither version"
                                          : tpe::ResultText(tpe::EngineResult(status)))
                                  << "\n";
    }
    return status;
}

bool TakeFileAndFolder(const std::vector<std::string>& positional, tpe::EngineOptions* options) {
    if (positional.size() != 2) {
        return false;
    }
    options->program = positional[0];
    options->folder = positional[1];
    return true;
}

}  // namespace

int ListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1 || args[0].rfind("-", 0) == 0) {
        err << kListHelp;
        return kExitUsage;
    }
    tpe::EngineOptions options;
    options.mode = tpe::EngineMode::List;
    options.program = args[0];
    tpe::EngineResult result = tpe::RunEngine(
        options,
        [&](unsigned id, void* parameter) -> const char* {
            if (id == tpe::kMsgInformation) {
                out << static_cast<const char*>(parameter) << "\n";
            } else if (id == tpe::kMsgError) {
                err << "error: " << static_cast<const char*>(parameter) << "\n";
            }
            return "";
        },
        tpe::NativeFileSystem());
    return static_cast<int>(result);
}

int ApplyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    tpe::EngineOptions options;
    options.mode = tpe::EngineMode::Apply;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--dry-run") {
            options.mode = tpe::EngineMode::Analyse;
        } else if (args[i] == "--backup" && i + 1 < args.size()) {
            options.backupFolder = args[++i];
        } else if (args[i].rfind("-", 0) == 0) {
            err << "tpatch apply: unknown option " << args[i] << "\n\n" << kApplyHelp;
            return kExitUsage;
        } else {
            positional.push_back(args[i]);
        }
    }
    if (!TakeFileAndFolder(positional, &options)) {
        err << kApplyHelp;
        return kExitUsage;
    }
    // The same checks as the engine's own -b: option.
    std::string line = "/z \"x\" \"y\" -u -b:\"" + options.backupFolder + "\"";
    tpe::EngineOptions checked;
    std::string error;
    if (!options.backupFolder.empty() && !tpe::ParseCommandLine(line.c_str(), &checked, &error)) {
        err << "tpatch apply: " << error << "\n";
        return kExitUsage;
    }
    options.backupFolder = checked.backupFolder;
    return RunPass(options, out, err, false);
}

int VerifyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    tpe::EngineOptions options;
    options.mode = tpe::EngineMode::Analyse;
    if (!TakeFileAndFolder(args, &options) || args[0].rfind("-", 0) == 0) {
        err << kVerifyHelp;
        return kExitUsage;
    }
    return RunPass(options, out, err, true);
}

}  // namespace tpatch
