// tpatch's command line: every command, option and help text, read with CLI11.
#include "cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <functional>
#include <memory>

namespace tpatch {
namespace {

const char* const kBuildNotes =
    "Compares each old build with the new one and writes a patch that turns any of them into\n"
    "the new build. Unchanged files are left out. A build's version is read from the version\n"
    "stamp in its identifying file (--version-file) unless given as VERSION=DIR. Each file's\n"
    "permission bits go with it: the update sets them (on Windows the write bit becomes the\n"
    "read-only attribute), and a file whose mode alone changes is updated too.\n"
    "\n"
    "Symbolic links: a build holding links is refused, every link named in one message, unless\n"
    "--keep-links or --follow-links says what to do with them. A link leading outside its build\n"
    "(an absolute target, or one climbing above the build's folder) is refused either way.\n";

const char* const kAttachNotes =
    "Writes OUTPUT.exe: the update utility's program with the patch appended. Without -o the\n"
    "file is named after the update, PRODUCT_FROM_to_TO.exe in the current folder. The\n"
    "program's version resource is stamped with the product and the versions, so the file's\n"
    "properties say what it is. Sign OUTPUT.exe afterwards if you sign your releases; the engine\n"
    "finds the patch through the signature.\n";

const char* const kApplyNotes =
    "Applies the patch in FILE (a patch file or an update program) to INSTALL_DIR, all files or\n"
    "none: any failure restores the installation as it was. On a terminal a line shows the file\n"
    "at hand, bytes, rate and time left; otherwise each file gets a line of its own. Each file\n"
    "gets the permission bits the patch records for it.\n";

const char* const kVerifyNotes =
    "Checks that INSTALL_DIR can take the patch: exit status 0 when every file is at its old or\n"
    "new contents and the volume has room; non-zero otherwise, also when a file has its new\n"
    "contents but not the permission bits the patch records, or a link of the patch leads\n"
    "elsewhere. Changes nothing.\n";

const char* const kDiffNotes =
    "Writes DELTA, which rebuilds NEW from OLD with 'tpatch patch'. The delta is checked\n"
    "against NEW before it is written.\n";

const char* const kPatchNotes =
    "Rebuilds NEW from OLD and a delta written by 'tpatch diff'. NEW is written in full or not\n"
    "at all; it may name OLD, which it then replaces.\n";

using Run = std::function<int(std::ostream& out, std::ostream& err)>;

// Once `command`'s arguments are read, `chosen` is set to run it with them.
template <typename Arguments>
void RunsAs(CLI::App* command, Run* chosen, std::shared_ptr<Arguments> args,
            int (*run)(const Arguments&, std::ostream&, std::ostream&)) {
    command->callback([=] {
        *chosen = [=](std::ostream& out, std::ostream& err) { return run(*args, out, err); };
    });
}

// Each Add... function declares a command and its arguments. An option given more than once
// takes one value each time, so a text with blanks left unquoted is an error, not two values.
void AddBuild(CLI::App& tpatch, Run* chosen) {
    auto args = std::make_shared<BuildArguments>();
    CLI::App* c = tpatch.add_subcommand("build", "compare old and new builds and write a patch");
    c->footer(kBuildNotes);
    c->add_option("--old", args->olds, "an old build; several make a multi-version patch")
        ->type_name("[VERSION=]DIR")
        ->required()
        ->allow_extra_args(false);
    c->add_option("--new", args->current, "the new build (--to-version sets its version)")
        ->type_name("[VERSION=]DIR")
        ->required()
        ->take_last();
    c->add_option("--version-file", args->versionFile,
                  "the file that identifies an installation, e.g. ts2.exe")
        ->type_name("NAME")
        ->required()
        ->take_last();
    c->add_option("--from-version", args->fromVersion,
                  "version named in the Versions line (default: the first old)")
        ->type_name("V")
        ->take_last();
    c->add_option("--to-version", args->toVersion, "the new build's version")
        ->type_name("V")
        ->take_last();
    c->add_option("--registry", args->registryKeys,
                  "a registry key below HKEY_LOCAL_MACHINE holding \"Install Path\"")
        ->type_name("KEY")
        ->allow_extra_args(false);
    c->add_option("--checksum-history", args->checksumHistory,
                  "a further build listed only in the checksum lines")
        ->type_name("[VERSION=]DIR")
        ->allow_extra_args(false);
    c->add_option("--key-file", args->keyFile,
                  "the second file in checksum lines (default: the largest file\nevery build has)")
        ->type_name("NAME")
        ->take_last();
    c->add_option("--level", args->level, "compression level, 1 to 22 (default 19)")
        ->type_name("N")
        ->check(CLI::Range(1, 22))
        ->take_last();
    c->add_option("--memory", args->memoryMib,
                  "memory for diffing one file (default 1024); files that would\nneed more are "
                  "diffed segment by segment, in bounded memory")
        ->type_name("MIB")
        ->check(CLI::Range(64u, 1u << 20))
        ->take_last();
    c->add_option("--threads", args->threads,
                  "files and segments diffed at once, 1 to 16 (default 2); the\npatch is the "
                  "same for any number")
        ->type_name("N")
        ->check(CLI::Range(1u, 16u))
        ->take_last();
    CLI::Option* keep = c->add_flag("--keep-links", args->keepLinks,
                                    "record each link as a link; POSIX installations get it back,\n"
                                    "the Windows engine refuses such a patch before changing "
                                    "anything");
    c->add_flag("--follow-links", args->followLinks,
                "store what each link leads to as a file or folder of its own")
        ->excludes(keep);
    c->add_flag("--quiet", args->quiet, "print errors only");
    c->add_option("-o,--output", args->output, "the patch file to write")
        ->type_name("PATCH")
        ->required()
        ->take_last();
    RunsAs(c, chosen, args, BuildCommand);
}

void AddAttach(CLI::App& tpatch, Run* chosen) {
    auto args = std::make_shared<AttachArguments>();
    CLI::App* c = tpatch.add_subcommand("attach", "append a patch to the update utility's program");
    c->footer(kAttachNotes);
    c->add_option("--patcher", args->patcher, "the update utility's program")
        ->type_name("PROGRAM.exe")
        ->required()
        ->take_last();
    c->add_option("PATCH", args->patch, "the patch file")->type_name("")->required();
    c->add_option("--product", args->product,
                  "the product the program is named after (default "
                  "Tessaly)")
        ->type_name("NAME")
        ->take_last();
    c->add_option("-o,--output", args->output, "the program to write")
        ->type_name("OUTPUT.exe")
        ->take_last();
    RunsAs(c, chosen, args, AttachCommand);
}

void AddList(CLI::App& tpatch, Run* chosen) {
    auto file = std::make_shared<std::string>();
    CLI::App* c = tpatch.add_subcommand("list", "print a patch's information lines");
    c->footer(
        "Prints the information lines of a patch file or of an update program carrying one.\n");
    c->add_option("FILE", *file, "a patch file or an update program")->type_name("")->required();
    RunsAs(c, chosen, file, ListCommand);
}

void AddEngineArguments(CLI::App* c, EngineArguments* args) {
    c->add_option("FILE", args->file, "a patch file or an update program")
        ->type_name("")
        ->required();
    c->add_option("INSTALL_DIR", args->folder, "the installation")->type_name("")->required();
}

void AddApply(CLI::App& tpatch, Run* chosen) {
    auto args = std::make_shared<EngineArguments>();
    CLI::App* c = tpatch.add_subcommand(
        "apply", "apply a patch to an installation (or check it with --dry-run)");
    c->footer(kApplyNotes);
    AddEngineArguments(c, args.get());
    c->add_flag("--dry-run", args->dryRun, "check every file and the free space; change nothing");
    c->add_option("--backup", args->backupFolder,
                  "keep the replaced and deleted originals in DIR, a folder inside\nINSTALL_DIR, "
                  "under their relative paths")
        ->type_name("DIR")
        ->take_last();
    c->add_flag("--quiet", args->quiet, "print errors only");
    RunsAs(c, chosen, args, ApplyCommand);
}

void AddVerify(CLI::App& tpatch, Run* chosen) {
    auto args = std::make_shared<EngineArguments>();
    CLI::App* c = tpatch.add_subcommand("verify", "check that an installation can take a patch");
    c->footer(kVerifyNotes);
    AddEngineArguments(c, args.get());
    c->add_flag("--quiet", args->quiet, "print errors only");
    RunsAs(c, chosen, args, VerifyCommand);
}

void AddDiff(CLI::App& tpatch, Run* chosen) {
    auto args = std::make_shared<DiffArguments>();
    CLI::App* c = tpatch.add_subcommand("diff", "write a delta between two files");
    c->footer(kDiffNotes);
    c->add_option("OLD", args->oldPath, "the old file")->type_name("")->required();
    c->add_option("NEW", args->newPath, "the new file")->type_name("")->required();
    c->add_option("DELTA", args->deltaPath, "the delta to write")->type_name("")->required();
    c->add_option("--level", args->level, "compression level, 1 to 22 (default 19)")
        ->type_name("N")
        ->check(CLI::Range(1, 22))
        ->take_last();
    c->add_option("--threads", args->threads,
                  "threads to use, 1 to 64 (default 1); the delta is the same. Two\ncompress the "
                  "diffs of executables side by side: somewhat faster,\nfor the memory of a "
                  "second compressor")
        ->type_name("N")
        ->check(CLI::Range(1u, 64u))
        ->take_last();
    RunsAs(c, chosen, args, DiffCommand);
}

void AddPatch(CLI::App& tpatch, Run* chosen) {
    auto args = std::make_shared<PatchArguments>();
    CLI::App* c = tpatch.add_subcommand("patch", "rebuild a file from its old version and a delta");
    c->footer(kPatchNotes);
    c->add_option("OLD", args->oldPath, "the old file")->type_name("")->required();
    c->add_option("DELTA", args->deltaPath, "a delta written by 'tpatch diff'")
        ->type_name("")
        ->required();
    c->add_option("NEW", args->newPath, "the file to write")->type_name("")->required();
    RunsAs(c, chosen, args, PatchCommand);
}

}  // namespace

int RunTpatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CLI::App tpatch("Builds patches and applies them; diffs and patches single files.", "tpatch");
    tpatch.get_formatter()->column_width(34);
    tpatch.get_formatter()->label("Usage", "usage");
    tpatch.require_subcommand(1);
    tpatch.footer("'tpatch COMMAND --help' describes a command.");
    Run chosen;
    for (auto add : {AddBuild, AddAttach, AddList, AddApply, AddVerify, AddDiff, AddPatch}) {
        add(tpatch, &chosen);
    }
    if (args.size() == 1 && args[0] == "help") {
        out << tpatch.help();
        return 0;
    }
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        tpatch.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << tpatch.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        if (args.empty()) {
            err << tpatch.help();
            return kExitUsage;
        }
        // Messages name the command whose arguments were wrong.
        const std::vector<CLI::App*> parsed = tpatch.get_subcommands();
        if (parsed.empty() && args[0].rfind('-', 0) != 0) {
            err << "tpatch: unknown command '" << args[0]
                << "'\n'tpatch --help' lists the commands\n";
            return kExitUsage;
        }
        const std::string name = parsed.empty() ? "tpatch" : "tpatch " + parsed[0]->get_name();
        // An argument nothing took explains a missing one better than the missing one does.
        const std::vector<std::string> unknown = tpatch.remaining(true);
        err << name << ": "
            << (unknown.empty() ? std::string(e.what()) : "unexpected argument " + unknown[0])
            << "\n"
            << "'" << name << " --help' lists " << (parsed.empty() ? "the commands" : "its options")
            << "\n";
        return kExitUsage;
    }
    return chosen(out, err);
}

}  // namespace tpatch
