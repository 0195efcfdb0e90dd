// The exact messages of each pass, as the update utility receives them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine_test_support.h"
#include "utility_checksum.h"

using namespace tpe_test;
using tpe::EngineMode;
using tpe::EngineResult;

namespace {

const std::string kBig = BinaryOf((5u << 20) / 2, 4);  // 2.5 MiB: three ticks

class Messages : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTree(dir / "old", {{"game.exe", "old" + BinaryOf(500, 1)},
                                {"del.txt", "remove me"},
                                {"big.dat", kBig},
                                {"keep.txt", "same"}});
        std::string bigNew = kBig;
        bigNew[100] ^= 1;
        WriteTree(dir / "new", {{"game.exe", "new" + BinaryOf(500, 1)},
                                {"add/new.txt", "hello"},
                                {"big.dat", bigNew},
                                {"keep.txt", "same"}});
        BuildPatchFile({{"1.0", dir / "old"}}, {"1.1", dir / "new"}, dir / "patch.bin");
        CopyTree(dir / "old", dir / "inst");
    }
    std::vector<Message> Run(EngineMode mode, EngineResult expected) {
        recorder.messages.clear();
        EXPECT_EQ(RunPass(mode, dir / "patch.bin", dir / "inst", recorder, fs), expected);
        return recorder.messages;
    }
    // An apply that ends with `expected` leaves the installation as it was.
    void ExpectApplyChangesNothing(EngineResult expected) {
        const TreeSpec before = ReadTree(dir / "inst");
        Run(EngineMode::Apply, expected);
        EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), before), "");
    }
    ScratchDir dir;
    Recorder recorder;
    FaultyFileSystem fs;
};

const Message kEnd{kEngineFileDone, ""};
const Message kTick{kEngineTick, ""};
const Message kWhole{kEngineFileFraction, "32768"};
Message Notice(const std::string& text) {
    return {kEngineNotice, text};
}
Message Info(const std::string& text) {
    return {kEngineInformation, text};
}
// The messages of one file: its name, `between`, and its end.
std::vector<Message> File(const std::string& name, std::vector<Message> between) {
    between.insert(between.begin(), Message{kEngineFileBegins, name});
    between.push_back(kEnd);
    return between;
}
std::vector<Message> Join(std::initializer_list<std::vector<Message>> parts) {
    std::vector<Message> all;
    for (const std::vector<Message>& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}
const std::vector<Message> kCount{{kEngineFileCount, "4"}};

TEST_F(Messages, ListingSendsEveryInformationLineInOrderAndNothingElse) {
    // The checksum line of `file` in build `version` (the folder old or new).
    auto line = [&](const std::string& file, const std::string& version, const char* folder) {
        uint32_t sum = 0;
        tpe::UtilityFileChecksum(fs, dir / folder + "/" + file, 65536, &sum);
        return Info("checksum," + file + "," + std::to_string(sum) + ",65536," + version);
    };
    std::vector<Message> expected = {Info("Versions,game.exe,1.0,1.1"),
                                     line("game.exe", "1.0", "old"), line("big.dat", "1.0", "old"),
                                     line("game.exe", "1.1", "new"), line("big.dat", "1.1", "new")};
    EXPECT_EQ(Run(EngineMode::List, EngineResult::Ok), expected);
}

// The analysis: each file with its ticks, `gameExe` ending the last one.
std::vector<Message> Analysis(std::vector<Message> gameExe = {kTick, kWhole}) {
    const Message third{kEngineFileFraction, "13107"}, twoThirds{kEngineFileFraction, "26214"};
    return Join({kCount, File("add\\new.txt", {kTick, kWhole}),
                 File("big.dat", {kTick, third, kTick, twoThirds, kTick, kWhole}),
                 File("del.txt", {kTick, kWhole}), File("game.exe", gameExe)});
}

TEST_F(Messages, AnalysisReportsCountThenEachFileWithTicksPerMebibyte) {
    EXPECT_EQ(Run(EngineMode::Analyse, EngineResult::Ok), Analysis());
}

TEST_F(Messages, ApplyAnnouncesEachChangeBeforeMakingIt) {
    recorder.answer = [](size_t, unsigned id) { return id == kEngineFileCount ? "COMBINE" : ""; };
    const std::vector<Message> expected =
        Join({kCount,
              File("add\\new.txt", {Notice("Applying patch to add\\new.txt (new file)"), kWhole}),
              File("big.dat", {Notice("Applying patch to big.dat"), kWhole}),
              File("del.txt", {Notice("Applying patch to del.txt (removing it)")}),
              File("game.exe", {Notice("Applying patch to game.exe"), kWhole}),
              {Info("Created folder add"), Info("Update complete: 3 files written, 1 removed")}});
    // How often the fraction moves within a file depends on the codec's buffers: it must only
    // rise, and end at the whole file.
    std::vector<Message> messages = Run(EngineMode::Apply, EngineResult::Ok), fixed;
    int last = -1;
    for (const Message& m : messages) {
        if (m.id == kEngineFileFraction) {
            EXPECT_GT(std::stoi(m.text), last);
            last = std::stoi(m.text);
            if (last < 32768) {
                continue;
            }
        } else if (m.id == kEngineFileBegins) {
            last = -1;
        }
        fixed.push_back(m);
    }
    EXPECT_EQ(fixed, expected);
}

TEST_F(Messages, FileMatchingNeitherVersionIsAWarningAndIsLeftAlone) {
    WriteFile(dir / "inst/game.exe", "modified by the player");
    const Message warning{kEngineWarning,
                          "game.exe: a file of the same name exists, but it matches neither the "
                          "old nor the new version; it is left as it is"};
    EXPECT_EQ(Run(EngineMode::Analyse, EngineResult::Ok), Analysis({kTick, kWhole, warning}));
    Run(EngineMode::Apply, EngineResult::Ok);
    EXPECT_EQ(ReadFile(dir / "inst/game.exe"), "modified by the player");
    EXPECT_EQ(ReadFile(dir / "inst/add/new.txt"), "hello");
}

TEST_F(Messages, MissingFileToModifyIsAnError) {
    RemoveTree(dir / "inst/game.exe");
    std::vector<Message> messages = Run(EngineMode::Analyse, EngineResult::ContentsMismatch);
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2],
              (Message{kEngineError,
                       "No update done since file contents do not match: game.exe is missing"}));
    ExpectApplyChangesNothing(EngineResult::ContentsMismatch);
}

TEST_F(Messages, ShortageOfSpaceNamesTheBytesTheApplyWrites) {
    fs.freeSpace = 1000;
    const uint64_t needed = 5 + kBig.size() + 503;  // add/new.txt, big.dat, game.exe
    EXPECT_EQ(Run(EngineMode::Analyse, EngineResult::InsufficientSpace).back(),
              (Message{kEngineError,
                       "Insufficient Storage, " + std::to_string(needed) + " bytes needed"}));
}

TEST_F(Messages, ReadOnlyFileIsReplacedOnlyWithConsent) {
    chmod((dir / "inst/game.exe").c_str(), 0444);
    recorder.answer = [](size_t, unsigned id) { return id == kEngineQuestion ? "N" : ""; };
    ExpectApplyChangesNothing(EngineResult::ConsentRefused);
    EXPECT_EQ(ModeOf(dir / "inst/game.exe") & 0222, 0) << "still read-only after the rollback";
    recorder.answer = [](size_t, unsigned id) { return id == kEngineQuestion ? "Y" : ""; };
    std::vector<Message> messages = Run(EngineMode::Apply, EngineResult::Ok);
    EXPECT_NE(
        std::find(messages.begin(), messages.end(),
                  Message{kEngineQuestion, "game.exe is read-only. Replace it anyway? (Y/N)"}),
        messages.end());
    EXPECT_EQ(ReadFile(dir / "inst/game.exe"), ReadFile(dir / "new/game.exe"));
}

// Receivers keep texts in buffers of kEngineMaxTextLength + 1 bytes, and an answer comes from a
// buffer the engine does not own: neither may be read or handed on past its bound.
TEST(Reporter, TextsAndAnswersStayWithinTheirBounds) {
    std::string received;
    std::string answer(5000, 'Y');
    tpe::Reporter reporter([&](unsigned, void* parameter) {
        received = static_cast<const char*>(parameter);
        return answer.c_str();
    });
    EXPECT_TRUE(reporter.Text(kEngineError, std::string(kEngineMaxTextLength, 'a')));
    EXPECT_EQ(received.size(), kEngineMaxTextLength);
    EXPECT_TRUE(reporter.Text(kEngineError, std::string(3 * kEngineMaxTextLength, 'b')));
    EXPECT_EQ(received, std::string(kEngineMaxTextLength, 'b'));
    EXPECT_LT(reporter.Answer().size(), answer.size());

    tpe::Reporter stopped([](unsigned, void*) -> const char* { return nullptr; });
    EXPECT_FALSE(stopped.Text(kEngineError, "stop"));
    EXPECT_TRUE(stopped.Answer().empty());
}

}  // namespace
