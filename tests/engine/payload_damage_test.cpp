// Any damage to a payload, alone or attached to a program, is refused before anything is
// changed.
#include <gtest/gtest.h>

#include <map>

#include "byte_io.h"
#include "crc32.h"
#include "engine_test_support.h"
#include "full_block_writer.h"
#include "payload_format.h"

using namespace tpe_test;
using tpe::EngineMode;
using tpe::EngineResult;

namespace {

class PayloadDamage : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTree(dir / "old", {{"game.exe", "one"}, {"a/b.txt", "old text"}, {"gone", "x"}});
        WriteTree(dir / "new", {{"game.exe", "two"}, {"a/b.txt", "new text"}, {"c/d", "add"}});
        BuildPatchFile({{"1.0", dir / "old"}}, {"1.1", dir / "new"}, dir / "patch.bin");
        payload = ReadFile(dir / "patch.bin");
        WriteTree(dir / "inst", {{"game.exe", "one"}, {"a/b.txt", "old text"}, {"gone", "x"}});
    }
    EngineResult List(const std::string& file, Recorder& recorder) {
        return RunPass(EngineMode::List, file, "", recorder);
    }
    ScratchDir dir;
    std::string payload;
};

TEST_F(PayloadDamage, ProgramWithoutPayloadIsReportedAsAListingError) {
    WriteFile(dir / "update.exe", FakeProgram());
    Recorder recorder;
    EXPECT_EQ(List(dir / "update.exe", recorder), EngineResult::PayloadMissing);
    EXPECT_EQ(recorder.Ids(), std::vector<unsigned>{kEngineError});
}

TEST_F(PayloadDamage, EverySingleByteChangeIsDetectedAndChangesNothing) {
    const std::string program = FakeProgram();
    const TreeSpec before = ReadTree(dir / "inst");
    for (size_t i = 0; i < payload.size(); ++i) {
        for (int mask : {0x01, 0xFF}) {
            std::string damaged = program + payload;
            damaged[program.size() + i] = char(damaged[program.size() + i] ^ mask);
            WriteFile(dir / "update.exe", damaged);
            Recorder listing;
            EXPECT_NE(List(dir / "update.exe", listing), EngineResult::Ok) << "byte " << i;
            ASSERT_FALSE(listing.messages.empty());
            EXPECT_EQ(listing.messages.back().id, kEngineError) << "byte " << i;

            Recorder apply;
            EXPECT_NE(RunPass(EngineMode::Apply, dir / "update.exe", dir / "inst", apply),
                      EngineResult::Ok)
                << "byte " << i;
            EXPECT_EQ(apply.Ids(), std::vector<unsigned>{kEnginePatchFileInvalid}) << "byte " << i;
        }
    }
    EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), before), "");
}

TEST_F(PayloadDamage, EveryTruncationIsDetected) {
    const std::string program = FakeProgram() + payload;
    for (size_t keep = 0; keep < program.size(); ++keep) {
        WriteFile(dir / "update.exe", program.substr(0, keep));
        Recorder recorder;
        EXPECT_NE(List(dir / "update.exe", recorder), EngineResult::Ok) << "kept " << keep;
    }
}

TEST_F(PayloadDamage, NewerFormatVersionIsRefusedByName) {
    std::string newer = payload;
    newer[8] = char(tpe::kFormatVersion + 1);  // the version field; its checksum is fixed below
    uint32_t crc = tpe::Crc32(newer.data(), tpe::HeaderLayout::kCrc);
    tpe::PutLe(reinterpret_cast<uint8_t*>(&newer[tpe::HeaderLayout::kCrc]), crc, 4);
    WriteFile(dir / "newer.bin", newer);
    Recorder recorder;
    EXPECT_EQ(List(dir / "newer.bin", recorder), EngineResult::PayloadDamaged);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_NE(
        recorder.messages[0].text.find("format version " + std::to_string(tpe::kFormatVersion + 1) +
                                       " is not supported"),
        std::string::npos)
        << recorder.messages[0].text;
}

// A payload giving each file of `olds` (path and its old contents; none for an added file) the
// contents `target` from the Full `block`.
std::string SameTargetPayload(const std::map<std::string, tpe::Contents>& olds,
                              const tpe::Contents& target, const std::vector<uint8_t>& block) {
    tpe::PatchModel model = HandMadeModel();
    for (const auto& [path, old] : olds) {
        tpe::FileEntry file;
        file.path = path;
        file.target = target;
        file.states.resize(1);
        file.states[0].old = old;
        model.files.push_back(file);
    }
    return PayloadOf(model, block);
}

tpe::Contents ContentsOf(const std::string& text) {
    return {true, text.size(), tpe::Sha256Of(text.data(), text.size())};
}

std::vector<uint8_t> Compressed(const std::string& text) {
    return tpe::CompressFullBlock(reinterpret_cast<const uint8_t*>(text.data()), text.size(), 3);
}

// A payload adding one file from a Full block that holds `contents`, while the table promises
// `promised`.
std::string FullBlockPayload(const std::string& contents, const std::string& promised) {
    return SameTargetPayload({{"data/a.bin", {}}}, ContentsOf(promised), Compressed(contents));
}

TEST(FullBlocks, BlockInflatingPastItsFileIsRefusedAndLeavesNothing) {
    ScratchDir dir;
    WriteTree(dir / "inst", {{"game.exe", "1"}});
    const TreeSpec before = ReadTree(dir / "inst");
    for (const std::string& promised : {std::string("tiny"), std::string(64 << 20, 'x')}) {
        // 64 MiB of zeros compress to almost nothing: a bomb unless the size bounds it.
        WriteFile(dir / "patch.bin", FullBlockPayload(std::string(64 << 20, '\0'), promised));
        EXPECT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", dir / "inst"),
                  EngineResult::PayloadDamaged);
        EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), before), "");
    }
}

// Sizes a hostile table may claim: the checks of free space neither wrap round nor wait for the
// disk to fill.
TEST(SizeBombs, HugeDeclaredSizesAddUpWithoutWrappingRound) {
    ScratchDir dir;
    WriteTree(dir / "inst", {{"a.bin", "a"}, {"b.bin", "b"}});
    const tpe::Contents huge = {true, uint64_t(1) << 63, tpe::Sha256Of("new", 3)};
    WriteFile(dir / "patch.bin",
              SameTargetPayload({{"a.bin", ContentsOf("a")}, {"b.bin", ContentsOf("b")}}, huge,
                                {1, 2, 3}));
    const TreeSpec before = ReadTree(dir / "inst");
    for (EngineMode mode : {EngineMode::Analyse, EngineMode::Apply}) {
        EXPECT_EQ(RunPass(mode, dir / "patch.bin", dir / "inst"), EngineResult::InsufficientSpace);
        EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), before), "");
    }
}

// The volume has 1 MiB left: a 64 MiB file whose block is tiny, and two files of 600 KiB that
// fit one by one but not together, are refused before anything is staged.
TEST(SizeBombs, PatchThatCannotFitIsRefusedBeforeAnyFileIsStaged) {
    const std::string big(64 << 20, '\0'), small(600 << 10, '\0');
    const struct {
        std::string payload, needed;
    } cases[] = {
        {FullBlockPayload(big, big), std::to_string(big.size())},
        {SameTargetPayload({{"a.bin", {}}, {"b.bin", {}}}, ContentsOf(small), Compressed(small)),
         "1228800"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.needed);
        ScratchDir dir;
        WriteTree(dir / "inst", {{"game.exe", "1"}});
        WriteFile(dir / "patch.bin", c.payload);
        FaultyFileSystem fs;
        fs.freeSpace = 1 << 20;
        Recorder recorder;
        EXPECT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", dir / "inst", recorder, fs),
                  EngineResult::InsufficientSpace);
        EXPECT_TRUE(recorder.Has(kEngineError, "Insufficient Storage, " + c.needed + " bytes"));
        EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), {{"game.exe", "1"}}), "");
    }
}

}  // namespace
