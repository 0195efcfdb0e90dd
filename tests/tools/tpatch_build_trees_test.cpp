// tpatch on real build trees: links, the progress line and what it prints.
#include <gtest/gtest.h>
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
        CopyTree(dir / "v1", dir / "inst");
    }
    Outcome Build(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {
            "build",    "--old", "1=" + dir / "v1", "--new", "2=" + dir / "v2", "--version-file",
            "game.exe", "-o",    dir / "p.bin"};
        args.insert(args.end(), extra.begin(), extra.end());
        return Tpatch(args);
    }
    ScratchDir dir;
};

// What the engine does with modes is tested in the engine; here, what tpatch prints of it.
TEST_F(BuildTrees, BuildAndApplyPrintPlainLinesNamingFilesWithSlashes) {
    Outcome built = Build();
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_THAT(built.out, HasSubstr("of the new build's"));
    EXPECT_THAT(built.out, HasSubstr("peak memory"));
    Outcome applied = Tpatch({"apply", dir / "p.bin", dir / "inst"});
    ASSERT_EQ(applied.status, 0) << applied.err;
    EXPECT_THAT(applied.out, HasSubstr("Applying patch to data/a.pak"))
        << "names with this system's separator";
    EXPECT_EQ((applied.out + applied.err).find_first_of("\r\033"), std::string::npos)
        << "no terminal codes off a terminal:\n"
        << applied.out;
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
    EXPECT_THAT(verify.err, HasSubstr("failed"));
}

TEST_F(BuildTrees, LinksAreRefusedUnlessTheStudioChooses) {
    ASSERT_EQ(symlink("../game.exe", (dir / "v2/bin/game").c_str()), 0);
    ASSERT_EQ(symlink("a.pak", (dir / "v2/data/current.pak").c_str()), 0);
    EXPECT_EQ(Build().status, tpatch::kExitFailure);
    EXPECT_EQ(Build({"--keep-links", "--follow-links"}).status, tpatch::kExitUsage);

    Outcome kept = Build({"--keep-links"});
    ASSERT_EQ(kept.status, 0) << kept.err;
    ASSERT_EQ(Tpatch({"apply", dir / "p.bin", dir / "inst"}).status, 0);
    char target[64] = {};
    ASSERT_GT(readlink((dir / "inst/data/current.pak").c_str(), target, sizeof(target) - 1), 0);
    EXPECT_STREQ(target, "a.pak");
}

TEST(ProgressLine, OnATerminalOneLineMovesAtMostFourTimesASecond) {
    double now = 100;  // a clock the test moves by hand
    std::ostringstream out;
    tpatch::ProgressLine line(out, true, false, "applying", [&] { return now; });
    line.SetTotal(100u << 20);
    line.Begin("data/level1.dat", 50u << 20);
    now += 2;
    line.Update(25u << 20);
    const std::string first = out.str();
    EXPECT_THAT(first, HasSubstr("applying 25% 25.0 MiB of 100.0 MiB, 12.5 MiB/s, 0:06 left  "
                                 "data/level1.dat"));
    for (int i = 0; i < 10; ++i) {
        now += 0.01;
        line.Update((26u + unsigned(i)) << 20);
    }
    EXPECT_EQ(out.str(), first) << "redrawn within a quarter of a second";
    now += 0.3;
    line.Update(50u << 20, "a/very/long/path/" + std::string(200, 'x') + "/end.pak");
    const std::string last = out.str().substr(out.str().rfind('\r') + 1);
    EXPECT_LE(last.size(), 79u + 3u) << "no wider than the terminal (and the erase code)";
    EXPECT_THAT(last, HasSubstr("x/end.pak"));
    line.Clear();
    EXPECT_EQ(out.str().substr(out.str().size() - 4), "\r\033[K");
}

TEST(ProgressLine, ElsewhereEachFileGetsOnePlainLineAndQuietNone) {
    std::ostringstream out, silent;
    tpatch::ProgressLine line(out, false, false, "checking", [] { return 100.0; });
    tpatch::ProgressLine quiet(silent, true, true, "checking", [] { return 100.0; });
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
