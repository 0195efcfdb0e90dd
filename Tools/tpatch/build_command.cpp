// tpatch build: compares builds and writes a patch file.
#include <cstdio>
#include <iostream>

#include "cli.h"
#include "console_view.h"
#include "file_system.h"
#include "patch_builder.h"
#include "progress_line.h"
#include "version_stamp.h"

namespace tpatch {

namespace {

// [VERSION=]DIR: a version is only taken from text before '=' that holds no separator.
tpe::BuildTree ParseBuild(const std::string& text) {
    tpe::BuildTree build;
    size_t equals = text.find('=');
    if (equals != std::string::npos && text.find_first_of("/\\") > equals) {
        build.version = text.substr(0, equals);
        build.folder = text.substr(equals + 1);
    } else {
        build.folder = text;
    }
    return build;
}

bool FillVersion(tpe::BuildTree* build, const std::string& versionFile, std::ostream& err) {
    if (!build->version.empty()) {
        return true;
    }
    if (tpe::ReadVersionStamp(tpe::NativeFileSystem(), tpe::JoinPath(build->folder, versionFile),
                              &build->version) &&
        !build->version.empty()) {
        return true;
    }
    err << "tpatch build: no version for " << build->folder << ": " << versionFile
        << " carries no version stamp; give VERSION=" << build->folder << "\n";
    return false;
}

}  // namespace

int BuildCommand(const BuildArguments& args, std::ostream& out, std::ostream& err) {
    tpe::BuildRequest request;
    for (const std::string& old : args.olds) {
        request.olds.push_back(ParseBuild(old));
    }
    request.current = ParseBuild(args.current);
    if (!args.toVersion.empty()) {
        request.current.version = args.toVersion;
    }
    request.versionFile = args.versionFile;
    request.fromVersion = args.fromVersion;
    request.registryKeys = args.registryKeys;
    for (const std::string& build : args.checksumHistory) {
        request.checksumOnly.push_back(ParseBuild(build));
    }
    request.keyFile = args.keyFile;
    request.level = args.level;
    request.memoryBudget = uint64_t(args.memoryMib) << 20;
    request.threads = args.threads;
    request.links = args.keepLinks     ? tpe::LinkPolicy::Keep
                    : args.followLinks ? tpe::LinkPolicy::Follow
                                       : tpe::LinkPolicy::Refuse;
    const bool quiet = args.quiet;
    const std::string& output = args.output;
    bool versionsKnown = FillVersion(&request.current, request.versionFile, err);
    for (tpe::BuildTree& build : request.olds) {
        versionsKnown = FillVersion(&build, request.versionFile, err) && versionsKnown;
    }
    for (tpe::BuildTree& build : request.checksumOnly) {
        versionsKnown = FillVersion(&build, request.versionFile, err) && versionsKnown;
    }
    if (!versionsKnown) {
        return kExitFailure;
    }
    const bool terminal = &out == &std::cout && StdoutIsTerminal();
    ProgressLine reading(out, terminal, quiet, "reading the builds:");
    ProgressLine diffing(out, terminal, quiet, "diffing");
    std::string lastDiffed;
    request.onSegmentedFile = [&](const std::string& path, uint64_t size) {
        if (!quiet) {
            diffing.Print(
                out, "diffing " + ShownPath(path) + " (" + ByteText(size) + ") segment by segment");
        }
    };
    request.onProgress = [&](const std::string& path, uint64_t done, uint64_t total) {
        if (total == 0) {
            reading.Update(done, ShownPath(path));
            return;
        }
        reading.Clear();
        diffing.SetTotal(total);
        if (path != lastDiffed) {
            lastDiffed = path;
            diffing.Begin(ShownPath(path));
        }
        diffing.Update(done);
    };
    tpe::BuildSummary summary;
    std::string error;
    const bool built = tpe::BuildPatch(tpe::NativeFileSystem(), request, output, &summary, &error);
    reading.Clear();
    diffing.Clear();
    if (!built) {
        err << "tpatch build: " << ShownPath(error) << "\n";
        return kExitFailure;
    }
    for (const std::string& path : summary.fullBlocks) {
        err << "tpatch build: warning: the delta for " << ShownPath(path)
            << " did not rebuild the file; it is stored compressed instead\n";
    }
    if (quiet) {
        return 0;
    }
    char ratio[32];
    std::snprintf(ratio, sizeof(ratio), "%.2f%%",
                  summary.newBuildBytes == 0
                      ? 0.0
                      : 100.0 * double(summary.payloadBytes) / double(summary.newBuildBytes));
    out << "wrote " << ShownPath(output) << ": " << summary.payloadBytes << " bytes ("
        << ByteText(summary.payloadBytes) << ", " << ratio << " of the new build's "
        << ByteText(summary.newBuildBytes) << ") in " << DurationText(reading.Seconds())
        << ", peak memory " << ByteText(PeakMemory()) << "; " << summary.modified << " modified, "
        << summary.added << " added, " << summary.deleted << " deleted, " << summary.foldersCreated
        << " folders created, " << summary.foldersRemoved << " removed\n";
    return 0;
}

}  // namespace tpatch
