// tpatch list, apply and verify: the engine's passes, shown for a person.
#include <iostream>

#include "cli.h"
#include "console_view.h"
#include "engine.h"
#include "payload_reader.h"
#include "progress_line.h"
#ifdef TESSALY_CRASH_POINTS
#include "crash_points.h"
#endif

namespace tpatch {

const char* const kListHelp =
    "usage: tpatch list FILE\n"
    "\n"
    "Prints the information lines of a patch file or of an update program carrying one.\n";

const char* const kApplyHelp =
    "usage: tpatch apply [--dry-run] [--backup DIR] [--quiet] FILE INSTALL_DIR\n"
    "\n"
    "Applies the patch in FILE (a patch file or an update program) to INSTALL_DIR, all files or\n"
    "none: any failure restores the installation as it was.\n"
    "\n"
    "  --dry-run     check every file and the free space; change nothing\n"
    "  --backup DIR  keep the replaced and deleted originals in DIR, a folder inside\n"
    "                INSTALL_DIR, under their relative paths\n"
    "  --quiet       print errors only\n"
    "\n"
    "On a terminal a line shows the file at hand, bytes, rate and time left; otherwise each\n"
    "file gets a line of its own. Each file gets the permission bits the patch records for it.\n";

const char* const kVerifyHelp =
    "usage: tpatch verify [--quiet] FILE INSTALL_DIR\n"
    "\n"
    "Checks that INSTALL_DIR can take the patch: exit status 0 when every file is at its old or\n"
    "new contents and the volume has room; non-zero otherwise, also when a file has its new\n"
    "contents but not the permission bits the patch records, or a link of the patch leads\n"
    "elsewhere. Changes nothing. --quiet prints errors only.\n";

namespace {

// The bytes each file of the patch stands for, in the engine's order: its new size, or the old
// one for a file the patch deletes. Empty when the patch cannot be read (the engine says why).
std::vector<uint64_t> FileSizes(const std::string& program) {
    std::vector<uint64_t> sizes;
    std::unique_ptr<tpe::InputFile> file = tpe::NativeFileSystem().OpenRead(program);
    tpe::OpenedPayload payload;
    std::string error;
    if (file && tpe::ReadPayload(*file, &payload, &error) == tpe::PayloadStatus::Ok) {
        for (const tpe::FileEntry& entry : payload.model.files) {
            sizes.push_back(entry.target.present ? entry.target.size
                                                 : entry.states.front().old.size);
        }
    }
    return sizes;
}

int RunPass(tpe::EngineOptions options, std::ostream& out, std::ostream& err, bool strict,
            bool quiet) {
    bool terminal = &out == &std::cout && StdoutIsTerminal();
    const bool applying = options.mode == tpe::EngineMode::Apply;
    ConsoleView view(out, err, terminal, applying, quiet, FileSizes(options.program));
#ifdef TESSALY_CRASH_POINTS
    tpe::FileSystem& files = tpe::CrashPointFileSystem();
#else
    tpe::FileSystem& files = tpe::NativeFileSystem();
#endif
    tpe::EngineResult result = tpe::RunEngine(options, view.Sink(), files);
    int status = static_cast<int>(result);
    if (status == 0 && strict && view.Warnings() > 0) {
        status = static_cast<int>(tpe::EngineResult::ContentsMismatch);
    }
    if (status == 0) {
        const double seconds = view.Seconds();
        view.Line(
            out, std::string(applying ? "applied " : "checked ") + std::to_string(view.Files()) +
                     " files, " + ByteText(view.BytesDone()) + " in " + DurationText(seconds) +
                     (seconds > 0.05 ? " (" + ByteText(uint64_t(view.BytesDone() / seconds)) + "/s)"
                                     : "") +
                     ", peak memory " + ByteText(PeakMemory()));
    }
    if (quiet && status == 0) {
        return status;
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
            if (id == kEngineInformation) {
                out << static_cast<const char*>(parameter) << "\n";
            } else if (id == kEngineError) {
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
    bool quiet = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--quiet") {
            quiet = true;
        } else if (args[i] == "--dry-run") {
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
    return RunPass(options, out, err, false, quiet);
}

int VerifyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    tpe::EngineOptions options;
    options.mode = tpe::EngineMode::Analyse;
    std::vector<std::string> positional;
    bool quiet = false;
    for (const std::string& a : args) {
        if (a == "--quiet") {
            quiet = true;
        } else {
            positional.push_back(a);
        }
    }
    if (!TakeFileAndFolder(positional, &options) || positional[0].rfind("-", 0) == 0) {
        err << kVerifyHelp;
        return kExitUsage;
    }
    return RunPass(options, out, err, true, quiet);
}

}  // namespace tpatch
