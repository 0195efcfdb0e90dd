// tpatch on real build trees: modes, links, the progress line and what it prints.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "engine_test_support.h"
#include "progress_line.h"
#include "tpatch_test_support.h"

using namespace tpe_test;

namespace {

class BuildTrees : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTree(dir / "v1", {{"game.exe", "one" + BinaryOf(3000, 1)},
                               {"bin/run.sh", "#!/bin/sh\n"},
                               {"data/a.pak", BinaryOf(20000, 2)}});
        WriteTree(dir / "v2", {{"game.exe", "two" + BinaryOf(3000, 1)},
                               {"bin/run.sh", "#!/bin/sh\n"},
                               {"data/a.pak", BinaryOf(20500, 2)}});
        chmod((dir / "v1/game.exe").c_str(), 0755);
        chmod((dir / "v2/game.exe").c_str(), 0755);
        chmod((dir / "v2/bin/run.sh").c_str(), 0755);
        CopyTree(dir / "v1", dir / "inst");
        chmod((dir / "inst/game.exe").c_str(), 0755);
    }
    Outcome Build(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {
            "build",    "--old", "1=" + dir / "v1", "--new", "2=" + dir / "v2", "--version-file",
            "game.exe", "-o",    dir / "p.bin"};
        args.insert(args.end(), extra.begin(), extra.end());
        return Tpatch(args);
    }
    static bool Plain(const std::string& text) {
        return text.find('\r') == std::string::npos && text.find('\033') == std::string::npos;
    }
    ScratchDir dir;
};

TEST_F(BuildTrees, VerifyFailsOnALostExecuteBitAndApplyMendsIt) {
    Outcome built = Build();
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_NE(built.out.find("of the new build's"), std::string::npos) << built.out;
    EXPECT_NE(built.out.find("peak memory"), std::string::npos) << built.out;
    Outcome applied = Tpatch({"apply", dir / "p.bin", dir / "inst"});
    ASSERT_EQ(applied.status, 0) << applied.err;
    EXPECT_NE(applied.out.find("Applying patch to data/a.pak"), std::string::npos)
        << "names with this system's separator:\n"
        << applied.out;
    EXPECT_NE(applied.out.find("Applying patch to bin/run.sh"), std::string::npos)
        << "a file whose mode alone changed must be updated\n"
        << applied.out;
    EXPECT_TRUE(Plain(applied.out + applied.err)) << applied.out;
    EXPECT_EQ(Tpatch({"verify", dir / "p.bin", dir / "inst"}).status, 0);

    chmod((dir / "inst/bin/run.sh").c_str(), 0644);
    Outcome verify = Tpatch({"verify", dir / "p.bin", dir / "inst"});
    EXPECT_EQ(verify.status, int(tpe::EngineResult::ContentsMismatch));
    EXPECT_NE(verify.err.find("bin/run.sh: the new version is in place, but with the "
                              "permissions rw-r--r-- instead of rwxr-xr-x"),
              std::string::npos)
        << verify.err;
    ASSERT_EQ(Tpatch({"apply", dir / "p.bin", dir / "inst"}).status, 0);
    EXPECT_EQ(ModeOf(dir / "inst/bin/run.sh"), 0755);
}

TEST_F(BuildTrees, QuietPrintsOnlyErrors) {
    Outcome built = Build({"--quiet"});
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(built.out + built.err, "");
    Outcome applied = Tpatch({"apply", "--quiet", dir / "p.bin", dir / "inst"});
    EXPECT_EQ(applied.status, 0);
    EXPECT_EQ(applied.out + applied.err, "");
    WriteFile(dir / "inst/data/a.pak", "edited");
    Outcome verify = Tpatch({"verify", "--quiet", dir / "p.bin", dir / "inst"});
    EXPECT_NE(verify.status, 0);
    EXPECT_EQ(verify.out, "");
    EXPECT_NE(verify.err.find("failed"), std::string::npos) << verify.err;
}

TEST_F(BuildTrees, LinksAreNamedAllAtOnceUnlessTheStudioChooses) {
    ASSERT_EQ(symlink("../game.exe", (dir / "v2/bin/game").c_str()), 0);
    ASSERT_EQ(symlink("a.pak", (dir / "v2/data/current.pak").c_str()), 0);
    Outcome refused = Build();
    EXPECT_EQ(refused.status, tpatch::kExitFailure);
    EXPECT_NE(refused.err.find("v2/bin/game -> ../game.exe"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("v2/data/current.pak -> a.pak"), std::string::npos) << refused.err;
    EXPECT_EQ(Build({"--keep-links", "--follow-links"}).status, tpatch::kExitUsage);

    Outcome kept = Build({"--keep-links"});
    ASSERT_EQ(kept.status, 0) << kept.err;
    ASSERT_EQ(Tpatch({"apply", dir / "p.bin", dir / "inst"}).status, 0);
    char target[64] = {};
    ASSERT_GT(readlink((dir / "inst/data/current.pak").c_str(), target, sizeof(target) - 1), 0);
    EXPECT_STREQ(target, "a.pak");
    EXPECT_EQ(Tpatch({"verify", dir / "p.bin", dir / "inst"}).status, 0);
}

// A clock the test moves by hand.
struct FakeClock {
    double now = 100;
    std::function<double()> Function() {
        return [this] { return now; };
    }
};

TEST(ProgressLine, OnATerminalOneLineMovesAtMostFourTimesASecond) {
    FakeClock clock;
    std::ostringstream out;
    tpatch::ProgressLine line(out, true, false, "applying", clock.Function());
    line.SetTotal(100u << 20);
    line.Begin("data/level1.dat", 50u << 20);
    clock.now += 2;
    line.Update(25u << 20);
    const std::string first = out.str();
    EXPECT_NE(first.find("applying 25% 25.0 MiB of 100.0 MiB, 12.5 MiB/s, 0:06 left  "
                         "data/level1.dat"),
              std::string::npos)
        << first;
    for (int i = 0; i < 10; ++i) {
        clock.now += 0.01;
        line.Update((26u + unsigned(i)) << 20);
    }
    EXPECT_EQ(out.str(), first) << "redrawn within a quarter of a second";
    clock.now += 0.3;
    line.Update(50u << 20, "a/very/long/path/" + std::string(200, 'x') + "/end.pak");
    const std::string last = out.str().substr(out.str().rfind('\r') + 1);
    EXPECT_LE(last.size(), 79u + 3u) << "no wider than the terminal (and the erase code)";
    EXPECT_NE(last.find("x/end.pak"), std::string::npos) << last;
    line.Clear();
    EXPECT_EQ(out.str().substr(out.str().size() - 4), "\r\033[K");
}

TEST(ProgressLine, ElsewhereEachFileGetsOnePlainLineAndQuietNone) {
    FakeClock clock;
    std::ostringstream out, silent;
    tpatch::ProgressLine line(out, false, false, "checking", clock.Function());
    tpatch::ProgressLine quiet(silent, true, true, "checking", clock.Function());
    line.SetTotal(3000);
    for (tpatch::ProgressLine* l : {&line, &quiet}) {
        l->Begin("a.dat", 1000);
        l->Update(1000);
        l->Begin("b/c.dat", 2000);
        l->Update(3000);
        l->Clear();
    }
    EXPECT_EQ(out.str(), "checking a.dat (1000 bytes)\nchecking b/c.dat (2.0 KiB)\n");
    EXPECT_EQ(silent.str(), "");
    EXPECT_EQ(tpatch::DurationText(7300), "2:01:40");
}

}  // namespace
