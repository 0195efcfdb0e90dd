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

}  // namespace

int ListCommand(const std::string& file, std::ostream& out, std::ostream& err) {
    tpe::EngineOptions options;
    options.mode = tpe::EngineMode::List;
    options.program = file;
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

int ApplyCommand(const EngineArguments& args, std::ostream& out, std::ostream& err) {
    tpe::EngineOptions options;
    options.mode = args.dryRun ? tpe::EngineMode::Analyse : tpe::EngineMode::Apply;
    options.program = args.file;
    options.folder = args.folder;
    options.backupFolder = args.backupFolder;
    // The same checks as the engine's own -b: option.
    std::string line = "/z \"x\" \"y\" -u -b:\"" + options.backupFolder + "\"";
    tpe::EngineOptions checked;
    std::string error;
    if (!options.backupFolder.empty() && !tpe::ParseCommandLine(line.c_str(), &checked, &error)) {
        err << "tpatch apply: " << error << "\n";
        return kExitUsage;
    }
    options.backupFolder = checked.backupFolder;
    return RunPass(options, out, err, false, args.quiet);
}

int VerifyCommand(const EngineArguments& args, std::ostream& out, std::ostream& err) {
    tpe::EngineOptions options;
    options.mode = tpe::EngineMode::Analyse;
    options.program = args.file;
    options.folder = args.folder;
    return RunPass(options, out, err, true, args.quiet);
}

}  // namespace tpatch
