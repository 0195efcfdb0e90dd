#include "engine.h"

#include <new>

#include "pass_context.h"
#include "path_safety.h"
#include "recovery.h"

namespace tpe {
namespace {

// Payload trouble reaches a listing as an error text (the utility shows it as a warning) and the
// other passes as the damaged-payload message.
EngineResult RefusePayload(Reporter& reporter, EngineMode mode, EngineResult result,
                           const std::string& why) {
    if (mode == EngineMode::List) {
        reporter.Text(kEngineError, "Invalid patch file: " + why);
    } else {
        reporter.Text(kEnginePatchFileInvalid, "Invalid patch file: " + why);
    }
    return result;
}

int CountBySize(FileSystem& fs, const std::string& root, const PatchModel& model, uint16_t source) {
    int matches = 0;
    for (const FileEntry& file : model.files) {
        for (const OldState& state : file.states) {
            if (state.source == source && state.old.present) {
                NodeInfo node = fs.Stat(JoinPath(root, file.path));
                matches += node.kind == NodeKind::File && node.size == state.old.size;
            }
        }
    }
    return matches;
}

// A patch with links cannot be applied where links cannot be made: refused before anything is
// touched.
std::string LinksUnsupported(FileSystem& fs, const PatchModel& model) {
    if (fs.LinksSupported()) {
        return std::string();
    }
    for (const FileEntry& file : model.files) {
        if (file.kind == EntryKind::Link) {
            return "it holds symbolic links (" + BackslashPath(file.path) +
                   " is one), which this system cannot create; nothing was changed";
        }
    }
    return std::string();
}

}  // namespace

int GuessSource(FileSystem& fs, const std::string& root, const PatchModel& model) {
    if (model.sources.size() < 2) {
        return 0;
    }
    int best = 0, bestCount = -1;
    for (size_t s = 0; s < model.sources.size(); ++s) {
        int count = CountBySize(fs, root, model, uint16_t(s));
        if (count > bestCount) {
            best = int(s);
            bestCount = count;
        }
    }
    return best;
}

std::string ReportedName(const PassContext& context, const std::string& path) {
    const std::string& extension = context.payload.model.sources[size_t(context.source)].extension;
    std::string name = BackslashPath(path);
    return extension.empty() ? name : name + "." + extension;
}

namespace {

// Refuses an installation folder that is itself a link or junction: the engine would otherwise
// change the folder it leads to, which the caller did not name.
EngineResult CheckFolder(FileSystem& fs, const std::string& folder, Reporter& reporter) {
    switch (fs.Stat(folder).kind) {
        case NodeKind::Folder:
            return EngineResult::Ok;
        case NodeKind::Link:
            reporter.Text(kEngineError, "The installation folder " +
                                            BackslashPath(folder.substr(0, 260)) +
                                            " is a link or junction to another folder; run the "
                                            "update on the folder it leads to");
            return EngineResult::FolderIsLink;
        default:
            reporter.Text(kEngineError,
                          "Installation folder not found: " + BackslashPath(folder.substr(0, 260)));
            return EngineResult::FolderMissing;
    }
}

}  // namespace

EngineResult RunEngine(const EngineOptions& options, const MessageSink& sink, FileSystem& fs) {
    Reporter reporter(sink);
    try {
        // A listing only reads the payload: it never changes the folder it is started in.
        if (options.mode != EngineMode::List) {
            EngineResult folder = CheckFolder(fs, options.folder, reporter);
            if (folder != EngineResult::Ok) {
                return folder;
            }
            EngineResult recovered = RecoverInterruptedApply(fs, options.folder, reporter);
            if (recovered != EngineResult::Ok || options.mode == EngineMode::Recover) {
                return recovered;
            }
        }
        std::unique_ptr<InputFile> file = fs.OpenRead(options.program);
        if (!file) {
            return RefusePayload(reporter, options.mode, EngineResult::PayloadMissing,
                                 "cannot open " + options.program.substr(0, 260));
        }
        OpenedPayload payload;
        std::string why;
        PayloadStatus status = ReadPayload(*file, &payload, &why);
        if (status != PayloadStatus::Ok) {
            return RefusePayload(reporter, options.mode,
                                 status == PayloadStatus::Missing ? EngineResult::PayloadMissing
                                                                  : EngineResult::PayloadDamaged,
                                 why);
        }
        PassContext context{fs, reporter, payload, *file, options.folder, options.backupFolder};
        if (options.mode == EngineMode::List) {
            return ListPass(context);
        }
        const std::string links = LinksUnsupported(fs, payload.model);
        if (!links.empty()) {
            return RefusePayload(reporter, options.mode, EngineResult::PayloadDamaged, links);
        }
        context.source = GuessSource(fs, options.folder, payload.model);
        return options.mode == EngineMode::Analyse ? AnalysisPass(context) : ApplyPass(context);
    } catch (const std::bad_alloc&) {
        // The apply's transaction has rolled back while unwinding.
        reporter.Text(kEngineError, "Out of memory");
        return EngineResult::OutOfMemory;
    }
}

EngineResult RunEngineCommandLine(const char* commandLine, const MessageSink& sink,
                                  FileSystem& fs) {
    EngineOptions options;
    std::string error;
    if (!ParseCommandLine(commandLine, &options, &error)) {
        Reporter(sink).Text(kEngineError, "Engine command line not understood: " + error);
        return EngineResult::BadCommandLine;
    }
    return RunEngine(options, sink, fs);
}

}  // namespace tpe
