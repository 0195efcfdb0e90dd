// A build tree is more than contents: permission bits and symbolic links must come out of an
// apply as they are in the new build, and older payloads must apply as they always did.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "engine_test_support.h"
#include "payload_reader.h"

using namespace tpe_test;
using tpe::EngineMode;
using tpe::EngineResult;

namespace {

std::string LinkOf(const std::string& path) {
    char buffer[1024];
    ssize_t got = readlink(path.c_str(), buffer, sizeof(buffer));
    return got < 0 ? std::string("(not a link)") : std::string(buffer, size_t(got));
}

tpe::BuildRequest Request(const ScratchDir& dir, tpe::LinkPolicy links) {
    tpe::BuildRequest request = RequestFor(dir / "old", dir / "new");
    request.links = links;
    return request;
}

// game.exe and bin/tool are programs, one of them changing; notes.txt only becomes executable;
// locked.dat is read-only; data changes at 0640.
class Modes : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTree(dir / "old", {{"game.exe", "old" + BinaryOf(4000, 1)},
                                {"bin/tool", "#!/bin/sh\necho old\n"},
                                {"notes.txt", "run me\n"},
                                {"locked.dat", "old lock"},
                                {"data.bin", BinaryOf(9000, 2)}});
        WriteTree(dir / "new", {{"game.exe", "new" + BinaryOf(4000, 1)},
                                {"bin/tool", "#!/bin/sh\necho new\n"},
                                {"bin/added", "#!/bin/sh\n"},
                                {"notes.txt", "run me\n"},
                                {"locked.dat", "new lock"},
                                {"data.bin", BinaryOf(9100, 2)}});
        CopyTree(dir / "old", dir / "inst");
        for (const char* tree : {"old/", "new/", "inst/"}) {
            chmod((dir / tree + "game.exe").c_str(), 0755);
            chmod((dir / tree + "bin/tool").c_str(), 0755);
        }
        for (const auto& [path, mode] : {std::pair<const char*, mode_t>{"bin/added", 0750},
                                         {"notes.txt", 0755},
                                         {"locked.dat", 0444},
                                         {"data.bin", 0640}}) {
            chmod((dir / "new/" + path).c_str(), mode);
        }
        BuildPatchFile({{"1.0", dir / "old"}}, {"1.1", dir / "new"}, dir / "patch.bin");
    }
    void ExpectNewModes() {
        for (const char* path :
             {"game.exe", "bin/tool", "bin/added", "notes.txt", "locked.dat", "data.bin"}) {
            EXPECT_EQ(ModeOf(dir / "inst/" + path), ModeOf(dir / "new/" + path)) << path;
        }
    }
    ScratchDir dir;
    Recorder recorder;
};

// notes.txt changes its mode alone: the patch must carry it all the same, and only once.
TEST_F(Modes, ApplyGivesTheNewModesOnceAndRestoresALostExecuteBit) {
    ASSERT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", dir / "inst"), EngineResult::Ok);
    ExpectNewModes();
    chmod((dir / "inst/game.exe").c_str(), 0644);
    Recorder check;
    EXPECT_EQ(RunPass(EngineMode::Analyse, dir / "patch.bin", dir / "inst", check),
              EngineResult::Ok);
    EXPECT_TRUE(check.Has(kEngineWarning,
                          "game.exe: the new version is in place, but with the permissions "
                          "rw-r--r-- instead of rwxr-xr-x"))
        << ::testing::PrintToString(check.messages);
    Recorder repair;
    ASSERT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", dir / "inst", repair),
              EngineResult::Ok);
    ExpectNewModes();
    EXPECT_TRUE(repair.Has(kEngineNotice, "notes.txt: New Version already in place"));
    EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), ReadTree(dir / "new")), "");
}

TEST_F(Modes, AFailedApplyLeavesTheOldModes) {
    recorder.answer = [](size_t, unsigned id) { return id == kEngineFileDone ? nullptr : ""; };
    EXPECT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", dir / "inst", recorder),
              EngineResult::Cancelled);
    EXPECT_EQ(ModeOf(dir / "inst/notes.txt"), ModeOf(dir / "old/notes.txt"));
    EXPECT_EQ(ModeOf(dir / "inst/game.exe"), 0755);
}

// Payloads written before modes were recorded apply exactly as they did: new files get the
// engine's default mode, and nothing else is touched.
TEST_F(Modes, AFormatOnePayloadAppliesAsBefore) {
    tpe::BuildRequest request = Request(dir, tpe::LinkPolicy::Refuse);
    request.formatVersion = 1;
    std::string error;
    ASSERT_TRUE(TryBuild(request, dir / "v1.bin", &error)) << error;
    EXPECT_EQ(ReadFile(dir / "v1.bin")[8], 1) << "the header must say format version 1";
    const mode_t mask = umask(0);
    umask(mask);
    ASSERT_EQ(RunPass(EngineMode::Apply, dir / "v1.bin", dir / "inst", recorder), EngineResult::Ok);
    EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), ReadTree(dir / "new")), "");
    EXPECT_EQ(ModeOf(dir / "inst/game.exe"), int(0644 & ~mask));
    EXPECT_EQ(ModeOf(dir / "inst/notes.txt"), int(0644 & ~mask)) << "left as it was";
}

TEST(OlderPayloads, TheCommittedFormatOnePayloadStillReads) {
    const char* seed = std::getenv("TESSALY_FORMAT1_PAYLOAD");
    ASSERT_NE(seed, nullptr) << "run through ctest, which names the committed payload";
    auto file = tpe::NativeFileSystem().OpenRead(seed);
    ASSERT_TRUE(file) << seed;
    tpe::OpenedPayload payload;
    std::string error;
    ASSERT_EQ(tpe::ReadPayload(*file, &payload, &error), tpe::PayloadStatus::Ok) << error;
    ASSERT_FALSE(payload.model.files.empty());
    for (const tpe::FileEntry& entry : payload.model.files) {
        EXPECT_FALSE(entry.hasMode) << entry.path;
        EXPECT_EQ(entry.kind, tpe::EntryKind::File) << entry.path;
    }
}

// Links inside the build: lib/libgame.so.1 moves to a new library, bin/game points into lib,
// share/old-name goes away, share/latest is added.
class Links : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTree(dir / "old", {{"game.exe", "old" + BinaryOf(2000, 1)},
                                {"lib/libgame.so.1.0", BinaryOf(5000, 3)},
                                {"share/readme", "read me"}});
        WriteTree(dir / "new", {{"game.exe", "new" + BinaryOf(2000, 1)},
                                {"lib/libgame.so.1.1", BinaryOf(5100, 3)},
                                {"share/readme", "read me"}});
        Link("old", "lib/libgame.so.1", "libgame.so.1.0");
        Link("new", "lib/libgame.so.1", "libgame.so.1.1");
        Link("old", "bin/game", "../lib/libgame.so.1");
        Link("new", "bin/game", "../lib/libgame.so.1");
        Link("old", "share/old-name", "readme");
        Link("new", "share/latest", "../share/readme");
        CopyWithLinks(dir / "old", dir / "inst");
    }
    // CopyTree follows links: the old build's links are made again in the copy.
    static void CopyWithLinks(const std::string& from, const std::string& to) {
        CopyTree(from, to);
        for (const char* link : {"lib/libgame.so.1", "bin/game", "share/old-name"}) {
            unlink((to + "/" + link).c_str());
            symlink(LinkOf(from + "/" + link).c_str(), (to + "/" + link).c_str());
        }
    }
    void Link(const std::string& tree, const std::string& path, const std::string& target) {
        mkdir((dir / tree + "/" + tpe::ParentPath(path)).c_str(), 0755);
        ASSERT_EQ(symlink(target.c_str(), (dir / tree + "/" + path).c_str()), 0) << path;
    }
    ScratchDir dir;
    Recorder recorder;
};

TEST_F(Links, ABuildWithLinksNamesEveryOneAndStops) {
    std::string error;
    EXPECT_FALSE(TryBuild(Request(dir, tpe::LinkPolicy::Refuse), dir / "patch.bin", &error));
    EXPECT_NE(error.find("6 symbolic link(s)"), std::string::npos) << error;
    for (const char* shown :
         {"old/lib/libgame.so.1 -> libgame.so.1.0", "new/share/latest -> ../share/readme",
          "--keep-links", "--follow-links"}) {
        EXPECT_NE(error.find(shown), std::string::npos) << shown << " in " << error;
    }
    EXPECT_EQ(ModeOf(dir / "patch.bin"), -1);
}

TEST_F(Links, KeptLinksAreCreatedReplacedAndRemovedByTheApply) {
    std::string error;
    ASSERT_TRUE(TryBuild(Request(dir, tpe::LinkPolicy::Keep), dir / "patch.bin", &error)) << error;
    ASSERT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", dir / "inst", recorder),
              EngineResult::Ok)
        << ::testing::PrintToString(recorder.messages);
    EXPECT_EQ(LinkOf(dir / "inst/lib/libgame.so.1"), "libgame.so.1.1");
    EXPECT_EQ(LinkOf(dir / "inst/bin/game"), "../lib/libgame.so.1");
    EXPECT_EQ(LinkOf(dir / "inst/share/latest"), "../share/readme");
    EXPECT_EQ(ModeOf(dir / "inst/share/old-name"), -1);
    EXPECT_EQ(ReadFile(dir / "inst/bin/game"), ReadFile(dir / "new/lib/libgame.so.1.1"));
    Recorder check;
    EXPECT_EQ(RunPass(EngineMode::Analyse, dir / "patch.bin", dir / "inst", check),
              EngineResult::Ok);
    EXPECT_FALSE(check.Has(kEngineWarning, ""));
    // A link changed by hand is neither version: left alone, and verify hears of it.
    unlink((dir / "inst/lib/libgame.so.1").c_str());
    Link("inst", "lib/libgame.so.1", "libgame.so.2");
    Recorder changed;
    RunPass(EngineMode::Analyse, dir / "patch.bin", dir / "inst", changed);
    EXPECT_TRUE(changed.Has(kEngineWarning, "lib\\libgame.so.1: a file of the same"));
}

TEST_F(Links, EveryFailureOfAnApplyWithLinksRollsBackToTheOldLinks) {
    std::string error;
    ASSERT_TRUE(TryBuild(Request(dir, tpe::LinkPolicy::Keep), dir / "patch.bin", &error)) << error;
    for (long failAt = 0;; ++failAt) {
        const std::string inst = dir / ("try" + std::to_string(failAt));
        CopyWithLinks(dir / "inst", inst);
        FaultyFileSystem faulty;
        faulty.failAt = failAt;
        Recorder run;
        EngineResult result = RunPass(EngineMode::Apply, dir / "patch.bin", inst, run, faulty);
        if (!faulty.failed) {
            EXPECT_EQ(result, EngineResult::Ok);
            break;
        }
        // A failure while cleaning up after the swap leaves the update done.
        const bool updated = result == EngineResult::Ok;
        EXPECT_EQ(LinkOf(inst + "/lib/libgame.so.1"), updated ? "libgame.so.1.1" : "libgame.so.1.0")
            << failAt;
        EXPECT_EQ(LinkOf(inst + "/share/old-name"), updated ? "(not a link)" : "readme") << failAt;
        EXPECT_EQ(LinkOf(inst + "/share/latest"), updated ? "../share/readme" : "(not a link)")
            << failAt;
        RemoveTree(inst);
    }
}

TEST_F(Links, FollowedLinksAreStoredAsWhatTheyLeadTo) {
    std::string error;
    ASSERT_TRUE(TryBuild(Request(dir, tpe::LinkPolicy::Follow), dir / "patch.bin", &error))
        << error;
    RemoveTree(dir / "plain");
    WriteTree(dir / "plain", ReadTree(dir / "old"));  // links read as the files they lead to
    ASSERT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", dir / "plain", recorder),
              EngineResult::Ok)
        << ::testing::PrintToString(recorder.messages);
    EXPECT_EQ(LinkOf(dir / "plain/lib/libgame.so.1"), "(not a link)");
    EXPECT_EQ(ReadFile(dir / "plain/lib/libgame.so.1"), ReadFile(dir / "new/lib/libgame.so.1.1"));
    EXPECT_EQ(ReadFile(dir / "plain/share/latest"), "read me");
}

TEST_F(Links, LinksLeadingOutsideAreRefusedWhateverTheChoice) {
    Link("new", "bin/absolute", "/etc/passwd");
    Link("new", "bin/climbing", "../../outside");
    Link("new", "bin/sneaky", "../lib/../../outside");
    for (tpe::LinkPolicy policy : {tpe::LinkPolicy::Keep, tpe::LinkPolicy::Follow}) {
        std::string error;
        EXPECT_FALSE(TryBuild(Request(dir, policy), dir / "patch.bin", &error));
        EXPECT_NE(error.find("lead outside"), std::string::npos) << error;
        for (const char* name : {"bin/absolute", "bin/climbing", "bin/sneaky"}) {
            EXPECT_NE(error.find(name), std::string::npos) << name << " in " << error;
        }
        EXPECT_EQ(error.find("libgame.so.1 ->"), std::string::npos) << error;
    }
}

TEST_F(Links, ALinkThatBecomesAFileIsRefused) {
    unlink((dir / "new/share/latest").c_str());
    unlink((dir / "new/lib/libgame.so.1").c_str());
    WriteFile(dir / "new/lib/libgame.so.1", "a file now");
    std::string error;
    EXPECT_FALSE(TryBuild(Request(dir, tpe::LinkPolicy::Keep), dir / "patch.bin", &error));
    EXPECT_NE(error.find("lib/libgame.so.1 is a link in one build and a file in another"),
              std::string::npos)
        << error;
}

TEST(LinkTargets, OnlyPlainTargetsInsideTheTreePass) {
    tpe::PatchModel model = HandMadeModel();
    // `contents` differs from the target only in a damaged entry.
    auto problem = [&](const std::string& path, const std::string& target,
                       const char* contents = nullptr) {
        tpe::FileEntry entry;
        entry.path = path;
        entry.kind = tpe::EntryKind::Link;
        entry.linkTarget = target;
        entry.target = tpe::LinkContents(contents ? contents : target);
        entry.states.resize(1);
        model.files = {entry};
        return tpe::ModelProblem(model, 0);
    };
    EXPECT_EQ(problem("a/b/link", "../../c/d"), "");
    for (const char* bad :
         {"/etc/passwd", "../x", "c/../../x", "./c", "..", "", "C:/x", "c\\d", "x/..", "c//d"}) {
        EXPECT_NE(problem("link", bad), "") << bad;
    }
    EXPECT_NE(problem("a/link", "../.."), "");
    EXPECT_NE(problem("a/link", ".."), "");  // the folder that holds it
    EXPECT_NE(problem("link", "c", "d"), "");
}

}  // namespace
