// The Segments encoding: the x86 branch transform, and deltas of large files compressed segment
// by segment against the old ranges that hold their data.
#include <gtest/gtest.h>

#include "branch_transform.h"
#include "delta_format.h"
#include "delta_test_support.h"
#include "segments_encoder.h"

namespace tpe::test {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

Bytes EncodeSegments(const Bytes& oldData, const Bytes& newData, unsigned threads = 1) {
    MemoryOld old(oldData), now(newData);
    MemorySink sink;
    DeltaEncodeOptions options;
    options.level = 3;
    options.threads = threads;
    EXPECT_EQ(EncodeDeltaSegments(old, now, sink, options), WindowedEncodeResult::Ok);
    return sink.Data();
}

void ExpectRebuilds(const Bytes& oldData, const Bytes& newData, const Bytes& delta) {
    Bytes rebuilt;
    ASSERT_EQ(Decode(oldData, delta, newData.size(), &rebuilt), DeltaStatus::Ok);
    EXPECT_TRUE(rebuilt == newData);
}

// Random bytes thick with the opcodes the transform rewrites.
Bytes OpcodeSoup(size_t size, uint64_t seed) {
    Random random(seed);
    Bytes out = random.Fill(size);
    const uint8_t starts[] = {0xe8, 0xe9, 0x0f, 0x48, 0x4c, 0xff};
    for (size_t i = 0; i + 3 < size; i += 1 + random.Below(6)) {
        out[i] = starts[random.Below(sizeof starts)];
        if (out[i] == 0x0f)
            out[i + 1] = static_cast<uint8_t>(0x80 | random.Below(16));
        if (out[i] == 0x48 || out[i] == 0x4c) {
            out[i + 1] = 0x8b;
            out[i + 2] = 0x05;
        }
        if (out[i] == 0xff)
            out[i + 1] = 0x15;
    }
    return out;
}

TEST(BranchTransform, UndoesItselfOnAnyBytesAndWorksPageByPage) {
    const Bytes original = OpcodeSoup(10 * kBranchPage + 1234, 1);
    for (bool is64 : {false, true}) {
        // Code ranges that start and end inside pages; the file ends inside a page.
        BranchCode code{is64,
                        {{100, 3 * kBranchPage + 17}, {5 * kBranchPage - 3, original.size()}}};
        Bytes whole = original;
        EncodeBranches(code, 0, whole.data(), whole.size());
        EXPECT_NE(whole, original);
        // Any page-aligned pieces give the same bytes as the whole file at once.
        Bytes pieces = original;
        for (size_t at = 0; at < pieces.size();) {
            const size_t size = std::min<size_t>(kBranchPage * (1 + at % 3), pieces.size() - at);
            EncodeBranches(code, at, pieces.data() + at, size);
            at += size;
        }
        EXPECT_EQ(pieces, whole);
        // Outside the code ranges nothing changes.
        EXPECT_TRUE(std::equal(original.begin(), original.begin() + 100, whole.begin()));
        DecodeBranches(code, 0, whole.data(), whole.size());
        EXPECT_EQ(whole, original) << "is64 " << is64;
    }
}

TEST(BranchTransform, MovedCallsToUnmovedTargetsBecomeTheSameBytes) {
    // Calls into a table of functions at the start of the file; the calling code moves 4099
    // bytes further, so every call's relative operand changes.
    const Bytes caller = SyntheticCode(20 * kBranchPage, SIZE_MAX, 0, 7);
    Bytes oldFile(kBranchPage, 0xcc), newFile(kBranchPage + 4099, 0xcc);
    auto place = [&caller](Bytes& file) {
        const size_t base = file.size();
        file.insert(file.end(), caller.begin(), caller.end());
        // Re-aim every call of the synthetic code at offset 64 of the file.
        for (size_t i = base; i + 5 <= file.size(); ++i) {
            if (file[i] == 0xe8) {
                Put(file, i + 1, static_cast<uint32_t>(64 - (i + 5)), 4);
                i += 4;
            }
        }
    };
    place(oldFile);
    place(newFile);
    const BranchCode oldCode{true, {{0, oldFile.size()}}}, newCode{true, {{0, newFile.size()}}};
    Bytes a(oldFile.begin() + kBranchPage, oldFile.end());
    Bytes b(newFile.begin() + kBranchPage + 4099, newFile.end());
    size_t before = 0, after = 0;
    for (size_t i = 0; i < a.size(); ++i) before += a[i] != b[i];
    EncodeBranches(oldCode, 0, oldFile.data(), oldFile.size());
    EncodeBranches(newCode, 0, newFile.data(), newFile.size());
    std::copy(oldFile.begin() + kBranchPage, oldFile.end(), a.begin());
    std::copy(newFile.begin() + kBranchPage + 4099, newFile.end(), b.begin());
    for (size_t i = 0; i < a.size(); ++i) after += a[i] != b[i];
    EXPECT_GT(before, a.size() / 20);
    // Only instructions cut by a page edge in one file and not the other, and opcode bytes in
    // the random filler, stay different.
    EXPECT_LT(after * 10, before);
}

// Code calling into a table of functions that stays where it is, while the calling code moves
// by `shift` bytes; every call is re-aimed at the table.
Bytes CallsIntoATable(size_t shift) {
    Bytes file(kBranchPage + shift, 0xcc);
    const Bytes caller = SyntheticCode(3 * kMiB, SIZE_MAX, 0, 7);
    const size_t base = file.size();
    file.insert(file.end(), caller.begin(), caller.end());
    for (size_t i = base; i + 5 <= file.size(); ++i) {
        if (file[i] == 0xe8) {
            Put(file, i + 1, static_cast<uint32_t>(64 * ((i - base) % 50) - (i + 5)), 4);
            i += 4;
        }
    }
    return WrapElf64(file);
}

TEST(Segments, ExecutablesTransformTheSegmentsWhereThatPays) {
    // Calls to targets that did not move: transformed, the moved code matches its old self.
    const Bytes oldFile = CallsIntoATable(0), newFile = CallsIntoATable(4321);
    const Bytes transformed = EncodeSegments(oldFile, newFile);
    ExpectRebuilds(oldFile, newFile, transformed);
    const Bytes unwrappedOld(oldFile.begin() + kElfHeaderSize, oldFile.end());
    const Bytes unwrappedNew(newFile.begin() + kElfHeaderSize, newFile.end());
    EXPECT_LT(transformed.size() * 3, EncodeSegments(unwrappedOld, unwrappedNew).size());

    // Calls whose targets moved along with them: left as they are, so no worse than a file
    // that is no executable.
    const Bytes oldCode = SyntheticCode(3 * kMiB, 0, 0, 3);
    const Bytes newCode = SyntheticCode(3 * kMiB, kMiB, 4321, 3);
    const Bytes kept = EncodeSegments(WrapElf64(oldCode), WrapElf64(newCode));
    ExpectRebuilds(WrapElf64(oldCode), WrapElf64(newCode), kept);
    EXPECT_LE(kept.size(), EncodeSegments(oldCode, newCode).size() + 200);
}

TEST(Segments, ShuffledDataEditsAndGrowthRebuildTheSameForAnyThreadCount) {
    const Bytes oldData = Text(5 * kMiB, 11);
    Bytes newData;
    // Pieces of the old file out of order, with edits and new bytes between them.
    Random random(12);
    for (int piece = 0; piece < 40; ++piece) {
        const size_t at = random.Below(oldData.size() - 300000);
        newData.insert(newData.end(), oldData.begin() + long(at),
                       oldData.begin() + long(at + 200000));
        newData[newData.size() - 5000] ^= 0x21;
        const Bytes fresh = random.Fill(1000);
        newData.insert(newData.end(), fresh.begin(), fresh.end());
    }
    const Bytes one = EncodeSegments(oldData, newData, 1);
    EXPECT_EQ(EncodeSegments(oldData, newData, 3), one);
    ExpectRebuilds(oldData, newData, one);
    EXPECT_LT(one.size(), 40 * 1000 + 40 * 200);
    // An empty old file and an empty new one.
    ExpectRebuilds({}, newData, EncodeSegments({}, newData));
    ExpectRebuilds(oldData, {}, EncodeSegments(oldData, {}));
}

TEST(Segments, FailedReadsAndWritesAreReported) {
    const Bytes oldData = Random(5).Fill(kMiB);
    const Bytes newData = Random(6).Fill(kMiB);
    for (int side = 0; side < 3; ++side) {
        MemoryOld old(oldData), now(newData);
        MemorySink sink;
        old.failReads = side == 0;
        now.failReads = side == 1;
        sink.failAfter = side == 2 ? 40 : SIZE_MAX;
        const WindowedEncodeResult expected[] = {WindowedEncodeResult::OldReadFailed,
                                                 WindowedEncodeResult::NewReadFailed,
                                                 WindowedEncodeResult::WriteFailed};
        EXPECT_EQ(EncodeDeltaSegments(old, now, sink), expected[side]);
    }
}

}  // namespace
}  // namespace tpe::test
