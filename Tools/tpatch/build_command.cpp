// tpatch build: compares builds and writes a patch file.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli.h"
#include "console_view.h"
#include "file_system.h"
#include "patch_builder.h"
#include "progress_line.h"
#include "version_stamp.h"

namespace tpatch {

const char* const kBuildHelp =
    "usage: tpatch build --old [VERSION=]DIR [--old ...] --new [VERSION=]DIR\n"
    "                    --version-file NAME [--from-version V] [--to-version V]\n"
    "                    [--registry KEY ...] [--checksum-history [VERSION=]DIR ...]\n"
    "                    [--key-file NAME] [--level N] [--memory MIB] [--threads N]\n"
    "                    [--keep-links | --follow-links] [--quiet] -o PATCH\n"
    "\n"
    "Compares each old build with the new one and writes a patch that turns any of them into\n"
    "the new build. Unchanged files are left out. A build's version is read from the version\n"
    "stamp in its identifying file (--version-file) unless given as VERSION=DIR. Each file's\n"
    "permission bits go with it: the update sets them (on Windows the write bit becomes the\n"
    "read-only attribute), and a file whose mode alone changes is updated too.\n"
    "\n"
    "Symbolic links: a build holding links is refused, every link named in one message, unless\n"
    "one of these says what to do with them. A link leading outside its build (an absolute\n"
    "target, or one climbing above the build's folder) is refused either way.\n"
    "  --keep-links            record each link as a link; POSIX installations get it back,\n"
    "                          the Windows engine refuses such a patch before changing anything\n"
    "  --follow-links          store what each link leads to as a file or folder of its own\n"
    "\n"
    "  --old [VERSION=]DIR     an old build; several make a multi-version patch\n"
    "  --new [VERSION=]DIR     the new build (--to-version sets its version)\n"
    "  --version-file NAME     the file that identifies an installation, e.g. ts2.exe\n"
    "  --from-version V        version named in the Versions line (default: the first old)\n"
    "  --registry KEY          a registry key below HKEY_LOCAL_MACHINE holding \"Install Path\"\n"
    "  --checksum-history D    a further build listed only in the checksum lines\n"
    "  --key-file NAME         the second file in checksum lines (default: the largest file\n"
    "                          every build has)\n"
    "  --level N               compression level, 1 to 22 (default 19)\n"
    "  --memory MIB            memory for diffing one file (default 1024); files that would\n"
    "                          need more are diffed segment by segment, in bounded memory\n"
    "  --threads N             files and segments diffed at once, 1 to 16 (default 2); the\n"
    "                          patch is the same for any number\n"
    "  --quiet                 print errors only\n"
    "  -o PATCH                the patch file to write\n";

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

int BuildCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    tpe::BuildRequest request;
    std::string output, toVersion;
    bool haveNew = false;
    bool quiet = false, keep = false, follow = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--keep-links" || a == "--follow-links" || a == "--quiet") {
            (a == "--quiet" ? quiet : a == "--keep-links" ? keep : follow) = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            err << "tpatch build: "
                << (a.rfind("-", 0) == 0 ? "missing value for " + a : "unexpected argument " + a)
                << "\n\n"
                << kBuildHelp;
            return kExitUsage;
        }
        const std::string& value = args[++i];
        if (a == "--old") {
            request.olds.push_back(ParseBuild(value));
        } else if (a == "--new") {
            request.current = ParseBuild(value);
            haveNew = true;
        } else if (a == "--version-file") {
            request.versionFile = value;
        } else if (a == "--from-version") {
            request.fromVersion = value;
        } else if (a == "--to-version") {
            toVersion = value;
        } else if (a == "--registry") {
            request.registryKeys.push_back(value);
        } else if (a == "--checksum-history") {
            request.checksumOnly.push_back(ParseBuild(value));
        } else if (a == "--key-file") {
            request.keyFile = value;
        } else if (a == "--level") {
            request.level = std::atoi(value.c_str());
            if (request.level < 1 || request.level > 22) {
                err << "tpatch build: --level must be 1 to 22\n";
                return kExitUsage;
            }
        } else if (a == "--memory") {
            long long mib = std::atoll(value.c_str());
            if (mib < 64 || mib > (1 << 20)) {
                err << "tpatch build: --memory must be 64 to 1048576 (MiB)\n";
                return kExitUsage;
            }
            request.memoryBudget = uint64_t(mib) << 20;
        } else if (a == "--threads") {
            int threads = std::atoi(value.c_str());
            if (threads < 1 || threads > 16) {
                err << "tpatch build: --threads must be 1 to 16\n";
                return kExitUsage;
            }
            request.threads = unsigned(threads);
        } else if (a == "-o" || a == "--output") {
            output = value;
        } else {
            err << "tpatch build: unknown option " << a << "\n\n" << kBuildHelp;
            return kExitUsage;
        }
    }
    if (request.olds.empty() || !haveNew || request.versionFile.empty() || output.empty()) {
        err << "tpatch build: --old, --new, --version-file and -o are required\n\n" << kBuildHelp;
        return kExitUsage;
    }
    if (keep && follow) {
        err << "tpatch build: give --keep-links or --follow-links, not both\n";
        return kExitUsage;
    }
    request.links = keep     ? tpe::LinkPolicy::Keep
                    : follow ? tpe::LinkPolicy::Follow
                             : tpe::LinkPolicy::Refuse;
    if (!toVersion.empty()) {
        request.current.version = toVersion;
    }
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
