// The Segments encoding: content anchors, the x86 branch transform, and deltas of large files
// compressed segment by segment against the old ranges that hold their data, which must rebuild
// the file and find data that moved far.
#include <gtest/gtest.h>

#include <algorithm>

#include "branch_transform.h"
#include "content_anchors.h"
#include "delta_test_support.h"

namespace tpe::test {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

// The old file cut into `pieceSize` pieces, shuffled, a few of them changed.
Bytes Shuffled(const Bytes& oldData, size_t pieceSize, uint64_t seed) {
    std::vector<size_t> order;
    for (size_t at = 0; at < oldData.size(); at += pieceSize) order.push_back(at);
    Random random(seed);
    for (size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[random.Below(i)]);
    Bytes out;
    for (size_t at : order) {
        size_t end = std::min(at + pieceSize, oldData.size());
        out.insert(out.end(), oldData.begin() + long(at), oldData.begin() + long(end));
        out[out.size() - 100] ^= 0x5a;
    }
    return out;
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

TEST(ContentAnchors, FollowTheDataAndIgnoreRuns) {
    const Bytes data = Random(7).Fill(1 << 20);
    Bytes shifted = Random(8).Fill(12345);
    shifted.insert(shifted.end(), data.begin(), data.end());
    std::vector<AnchorScanner::Anchor> a, b;
    AnchorScanner(256).Scan(data.data(), data.size(), a);
    AnchorScanner scanner(256);
    for (size_t at = 0; at < shifted.size(); at += 1000)  // fed in pieces
        scanner.Scan(shifted.data() + at, std::min<size_t>(1000, shifted.size() - at), b);
    // About one per 256 bytes, and the same ones 12345 bytes later.
    EXPECT_GT(a.size(), data.size() / 512);
    EXPECT_LT(a.size(), data.size() / 128);
    size_t same = 0;
    for (const auto& anchor : b)
        same += std::any_of(a.begin(), a.end(), [&](const AnchorScanner::Anchor& x) {
            return x.key == anchor.key && x.position + 12345 == anchor.position;
        });
    EXPECT_GE(same + 2, a.size());

    // A long run of one byte gives at most one anchor, whatever the byte.
    for (int value : {0, 0x41, 0xff}) {
        std::vector<AnchorScanner::Anchor> run;
        const Bytes bytes(4 << 20, uint8_t(value));
        AnchorScanner(256).Scan(bytes.data(), bytes.size(), run);
        EXPECT_LE(run.size(), 1u) << value;
    }
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
    const Bytes unwrappedOld(oldFile.begin() + kElfHeaderSize, oldFile.end());
    const Bytes unwrappedNew(newFile.begin() + kElfHeaderSize, newFile.end());
    EXPECT_LT(transformed.size() * 3, EncodeSegments(unwrappedOld, unwrappedNew).size());
}

TEST(Segments, FindsPiecesMovedAnywhereInTheOldFile) {
    const Bytes oldData = Random(1).Fill(12 * kMiB + 12345);
    for (size_t piece : {size_t{64} << 10, size_t{700} << 10}) {
        const Bytes newData = Shuffled(oldData, piece, piece);
        EXPECT_LT(EncodeSegments(oldData, newData).size(), newData.size() / 50)
            << "pieces of " << piece;
    }
}

TEST(Segments, EditsInsertionsAndGrowth) {
    Random random(2);
    const Bytes oldData = random.Fill(5 * kMiB);
    Bytes newData = oldData;
    newData.insert(newData.begin() + 3000000, 70000, 'x');
    newData.erase(newData.begin() + 100, newData.begin() + 50000);
    for (size_t at = 0; at < newData.size(); at += 99999) newData[at] ^= 1;
    const Bytes tail = random.Fill(2 * kMiB + 7);  // new data the old file never had
    newData.insert(newData.end(), tail.begin(), tail.end());
    EXPECT_LT(EncodeSegments(oldData, newData).size(), tail.size() + 200000);

    // Shrunk to less than one segment, against an empty old file, and to nothing.
    const Bytes small(oldData.begin() + 777, oldData.begin() + 300000);
    EncodeSegments(oldData, small);
    EncodeSegments(Bytes(), small);
    EncodeSegments(oldData, Bytes());
}

TEST(Segments, UnchangedStretchesOfAHugeFileAreCopiedNotCompressed) {
    // 64 KiB of new data in 20 MiB: the segments before and after it are copied whole.
    const Bytes oldData = Random(13).Fill(20 * kMiB);
    Bytes newData = oldData;
    const Bytes fresh = Random(14).Fill(64 << 10);
    newData.insert(newData.begin() + 12 * kMiB, fresh.begin(), fresh.end());
    const Bytes delta = EncodeSegments(oldData, newData);
    // About 14 bytes per 128 KiB block of the one compressed segment; two more would double it.
    EXPECT_LT(delta.size(), fresh.size() + 1200) << "the unchanged segments must be copied";
    // A copy that reaches past the old file is refused.
    Bytes shorter(oldData.begin(), oldData.end() - kMiB);
    EXPECT_EQ(Decode(shorter, delta, newData.size()), DeltaStatus::OldMismatch);
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
        const SegmentsEncodeResult expected[] = {SegmentsEncodeResult::OldReadFailed,
                                                 SegmentsEncodeResult::NewReadFailed,
                                                 SegmentsEncodeResult::WriteFailed};
        EXPECT_EQ(EncodeDeltaSegments(old, now, sink), expected[side]);
    }
}

}  // namespace
}  // namespace tpe::test
