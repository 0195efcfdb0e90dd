// tpatch as a studio uses it: build, attach, list, verify and apply, with clear refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "engine_test_support.h"
#include "tpatch_test_support.h"

using namespace tpe_test;

namespace {

// An identifying file with the version stamp the utility reads.
std::string Stamped(const std::string& version, const std::string& body) {
    std::string field = version;
    field.resize(16, '\0');
    return std::string(78, 'x') + "Windows only.\r\n " + field + body;
}

class TpatchCommands : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTree(dir / "v1", {{"ts2.exe", Stamped("1.0.0", "one")}, {"data.pak", "aaaa"}});
        WriteTree(dir / "v2", {{"ts2.exe", Stamped("1.1.0", "two")}, {"data.pak", "bbbb"}});
        WriteTree(dir / "v3", {{"ts2.exe", Stamped("1.10.0", "three")}, {"data.pak", "cccc"}});
    }
    Outcome Build(std::vector<std::string> extra) {
        std::vector<std::string> args = {"build",   "--old",    dir / "v1",
                                         "--new",   dir / "v3", "--version-file",
                                         "ts2.exe", "-o",       dir / "p.bin"};
        args.insert(args.end(), extra.begin(), extra.end());
        return Tpatch(args);
    }
    Outcome Attach(const std::string& program, const std::string& patch,
                   const std::string& output) {
        return Tpatch({"attach", "--patcher", dir / program, dir / patch, "-o", dir / output});
    }
    ScratchDir dir;
};

TEST_F(TpatchCommands, EveryCommandHasHelpAndBadArgumentsAreUsageErrors) {
    for (const char* command : {"build", "attach", "list", "apply", "verify", "diff", "patch"}) {
        Outcome help = Tpatch({command, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_THAT(help.out, HasSubstr(std::string("usage: tpatch ") + command));
        Outcome unknown = Tpatch({command, "--no-such-option"});
        EXPECT_EQ(unknown.status, tpatch::kExitUsage) << command;
        EXPECT_EQ(unknown.err.rfind(std::string("tpatch ") + command + ": ", 0), 0u) << unknown.err;
        EXPECT_THAT(unknown.err, HasSubstr("--no-such-option"));
    }
    EXPECT_EQ(Tpatch({}).status, tpatch::kExitUsage);
    EXPECT_EQ(Tpatch({"frobnicate"}).status, tpatch::kExitUsage);
    Outcome help = Tpatch({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("attach"));

    // A bad value names its option and changes nothing; a key left unquoted is two arguments,
    // refused rather than read as two keys.
    const std::pair<std::vector<std::string>, const char*> bad[] = {
        {{"--level", "x"}, "--level"},
        {{"--threads", "17"}, "--threads"},
        {{"--registry", "Software\\Quillon,", "Inc"}, "unexpected argument Inc"},
        {{"--key-file"}, "--key-file"}};
    for (const auto& [extra, named] : bad) {
        Outcome refused = Build(extra);
        EXPECT_EQ(refused.status, tpatch::kExitUsage) << named;
        EXPECT_THAT(refused.err, HasSubstr(named));
    }
}

TEST_F(TpatchCommands, BuildReadsVersionStampsAndWritesTheInformationLines) {
    Outcome built = Build({"--old", dir / "v2", "--registry", "Software\\Quillon, Inc\\Tessaly",
                           "--checksum-history", "0.9=" + dir / "v1"});
    ASSERT_EQ(built.status, 0) << built.err;
    Outcome listed = Tpatch({"list", dir / "p.bin"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::istringstream lines(listed.out);
    std::vector<std::string> keys;
    for (std::string line; std::getline(lines, line);) {
        keys.push_back(line.substr(0, line.find(',', line.find(',') + 1)));
        if (line.rfind("checksum", 0) == 0) {
            keys.back() = "checksum " + line.substr(line.rfind(',') + 1);
        }
    }
    // Versions ascending by their numbers: 0.9, 1.0.0, 1.1.0, 1.10.0.
    EXPECT_EQ(keys, (std::vector<std::string>{"Versions,ts2.exe", "Registry,\"Software\\Quillon",
                                              "checksum 0.9", "checksum 0.9", "checksum 1.0.0",
                                              "checksum 1.0.0", "checksum 1.1.0", "checksum 1.1.0",
                                              "checksum 1.10.0", "checksum 1.10.0", "history,1.0.0",
                                              "history,1.1.0"}))
        << listed.out;
    EXPECT_THAT(listed.out, HasSubstr("Versions,ts2.exe,1.0.0,1.10.0\n"));
}

TEST_F(TpatchCommands, BuildRefusesIdenticalMissingAndUnversionedTrees) {
    CopyTree(dir / "v3", dir / "same");
    WriteTree(dir / "plain", {{"ts2.exe", "no stamp"}});
    WriteTree(dir / "folder", {{"ts2.exe", Stamped("2.0", "x")}, {"data.pak/inner", "x"}});
    // Old and new build, and what the refusal names; shapes the engine cannot take included.
    const struct {
        const char *old, *current, *named;
    } refused[] = {{"same", "v3", "identical"},
                   {"nowhere", "v3", "nowhere"},
                   {"plain", "v3", "VERSION="},
                   {"v1", "folder", "data.pak is a file in one build and a folder in another"}};
    for (const auto& r : refused) {
        Outcome built = Tpatch({"build", "--old", dir / r.old, "--new", dir / r.current,
                                "--version-file", "ts2.exe", "-o", dir / "p.bin"});
        EXPECT_EQ(built.status, tpatch::kExitFailure) << r.named;
        EXPECT_THAT(built.err, HasSubstr(r.named));
        EXPECT_EQ(ReadFile(dir / "p.bin"), "") << "no output after a refusal";
    }

    // Versions name the utility's backup folder: nothing that could leave it or split it.
    for (const char* version : {"../../x", "1.0 beta", "1,0", "C:1", "a\\b"}) {
        Outcome bad = Build({"--from-version", version});
        EXPECT_EQ(bad.status, tpatch::kExitFailure) << version;
        EXPECT_THAT(bad.err, HasSubstr("a version may not hold"));
    }
}

TEST_F(TpatchCommands, NoKeyFileIsOneThatSumsToZero) {
    // The largest file, but its first 64 KiB are zeros: the utility would read its checksum 0 as
    // a missing file and refuse every installation.
    for (const char* build : {"v1", "v3"}) {
        WriteFile(dir / (std::string(build) + "/zeros.pak"), std::string(70000, '\0') + build);
    }
    ASSERT_EQ(Build({}).status, 0);
    Outcome listed = Tpatch({"list", dir / "p.bin"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out.find("checksum,zeros.pak"), std::string::npos) << listed.out;
    EXPECT_THAT(listed.out, HasSubstr("checksum,data.pak,"));

    std::remove((dir / "p.bin").c_str());
    Outcome asked = Build({"--key-file", "zeros.pak"});
    EXPECT_EQ(asked.status, tpatch::kExitFailure);
    EXPECT_THAT(asked.err, HasSubstr("the key file zeros.pak sums to 0 in "));
    EXPECT_THAT(asked.err, HasSubstr("choose another with --key-file"));
    EXPECT_EQ(ReadFile(dir / "p.bin"), "") << "no output after a refusal";
}

TEST_F(TpatchCommands, AttachedPatchListsVerifiesAndApplies) {
    ASSERT_EQ(Build({}).status, 0);
    WriteFile(dir / "TessalyUpdate.exe", FakeProgram());
    Outcome attached = Attach("TessalyUpdate.exe", "p.bin", "Update.exe");
    ASSERT_EQ(attached.status, 0) << attached.err;

    CopyTree(dir / "v1", dir / "inst");
    EXPECT_EQ(Tpatch({"verify", dir / "Update.exe", dir / "inst"}).status, 0);
    Outcome dry = Tpatch({"apply", "--dry-run", dir / "Update.exe", dir / "inst"});
    EXPECT_EQ(dry.status, 0);
    EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), ReadTree(dir / "v1")), "");

    Outcome applied =
        Tpatch({"apply", "--backup", "Update_1.0.0_Backup", dir / "Update.exe", dir / "inst"});
    EXPECT_EQ(applied.status, 0) << applied.err;
    EXPECT_EQ(ReadFile(dir / "inst/data.pak"), "cccc");
    EXPECT_EQ(ReadFile(dir / "inst/Update_1.0.0_Backup/data.pak"), "aaaa");
}

TEST_F(TpatchCommands, AttachNamesTheProgramAfterTheUpdateUnlessTold) {
    ASSERT_EQ(Build({}).status, 0);
    WriteFile(dir / "TessalyUpdate.exe", FakeProgram());
    std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    Outcome named = Tpatch({"attach", "--patcher", "TessalyUpdate.exe", "p.bin"});
    Outcome product = Tpatch(
        {"attach", "--patcher", "TessalyUpdate.exe", "p.bin", "--product", "Tessaly Gold/2"});
    std::filesystem::current_path(before);
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(Tpatch({"list", dir / "Tessaly_1.0.0_to_1.10.0.exe"}).out,
              Tpatch({"list", dir / "p.bin"}).out);
    ASSERT_EQ(product.status, 0) << product.err;
    EXPECT_NE(ReadFile(dir / "Tessaly_Gold_2_1.0.0_to_1.10.0.exe"), "");
}

TEST_F(TpatchCommands, AttachRefusesWhatCannotCarryAPatch) {
    ASSERT_EQ(Build({}).status, 0);
    WriteFile(dir / "notes.txt", "not a program");
    WriteFile(dir / "prog.exe", FakeProgram());
    EXPECT_EQ(Attach("notes.txt", "p.bin", "u.exe").status, tpatch::kExitFailure);
    ASSERT_EQ(Attach("prog.exe", "p.bin", "u.exe").status, 0);
    Outcome twice = Attach("u.exe", "p.bin", "u2.exe");
    EXPECT_EQ(twice.status, tpatch::kExitFailure);
    EXPECT_THAT(twice.err, HasSubstr("already carries a patch"));
    EXPECT_EQ(Attach("prog.exe", "notes.txt", "u3.exe").status, tpatch::kExitFailure);
    EXPECT_EQ(ReadFile(dir / "u3.exe"), "");
}

TEST_F(TpatchCommands, DamagedPatchAndMismatchedInstallationFailWithClearMessages) {
    ASSERT_EQ(Build({}).status, 0);
    std::string bytes = ReadFile(dir / "p.bin");
    bytes[bytes.size() / 2] ^= 0x10;
    WriteFile(dir / "bad.bin", bytes);
    CopyTree(dir / "v1", dir / "inst");
    Outcome damaged = Tpatch({"apply", dir / "bad.bin", dir / "inst"});
    EXPECT_EQ(damaged.status, int(tpe::EngineResult::PayloadDamaged));
    EXPECT_THAT(damaged.err, HasSubstr("damaged"));
    EXPECT_EQ(Tpatch({"list", dir / "bad.bin"}).status, int(tpe::EngineResult::PayloadDamaged));

    WriteFile(dir / "inst/data.pak", "edited");
    Outcome verify = Tpatch({"verify", dir / "p.bin", dir / "inst"});
    EXPECT_EQ(verify.status, int(tpe::EngineResult::ContentsMismatch));
    EXPECT_THAT(verify.err, HasSubstr("file of the same name"));
}

}  // namespace
