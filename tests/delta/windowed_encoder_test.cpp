// The windowed encoder: deltas of files diffed window by window must rebuild the file, find
// data that moved far, stay the same for any thread count, and report failed reads and writes.
#include <gtest/gtest.h>

#include <algorithm>

#include "content_anchors.h"
#include "delta_test_support.h"
#include "windowed_encoder.h"

namespace tpe::test {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

Bytes EncodeWindowed(const Bytes& oldData, const Bytes& newData, unsigned threads = 1,
                     uint64_t windowBytes = kMiB) {
    MemoryOld old(oldData);
    MemoryOld now(newData);
    MemorySink sink;
    DeltaEncodeOptions options;
    options.level = 3;
    options.threads = threads;
    options.windowBytes = windowBytes;
    EXPECT_EQ(EncodeDeltaWindowed(old, now, sink, options), WindowedEncodeResult::Ok);
    return sink.Data();
}

void ExpectRebuilds(const Bytes& oldData, const Bytes& newData, const Bytes& delta) {
    Bytes rebuilt;
    ASSERT_EQ(Decode(oldData, delta, newData.size(), &rebuilt), DeltaStatus::Ok);
    EXPECT_TRUE(rebuilt == newData);
}

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

TEST(WindowedEncoder, FindsPiecesMovedAnywhereInTheOldFile) {
    const Bytes oldData = Random(1).Fill(12 * kMiB + 12345);
    for (size_t piece : {size_t{64} << 10, size_t{700} << 10}) {
        const Bytes newData = Shuffled(oldData, piece, piece);
        const Bytes delta = EncodeWindowed(oldData, newData);
        ExpectRebuilds(oldData, newData, delta);
        EXPECT_LT(delta.size(), newData.size() / 50) << "pieces of " << piece;
    }
}

TEST(WindowedEncoder, EditsInsertionsAndGrowth) {
    Random random(2);
    const Bytes oldData = random.Fill(5 * kMiB);
    Bytes newData = oldData;
    newData.insert(newData.begin() + 3000000, 70000, 'x');
    newData.erase(newData.begin() + 100, newData.begin() + 50000);
    for (size_t at = 0; at < newData.size(); at += 99999) newData[at] ^= 1;
    const Bytes tail = random.Fill(2 * kMiB + 7);  // new data the old file never had
    newData.insert(newData.end(), tail.begin(), tail.end());
    const Bytes delta = EncodeWindowed(oldData, newData);
    ExpectRebuilds(oldData, newData, delta);
    EXPECT_LT(delta.size(), tail.size() + 200000);

    // Shrunk to less than one window, and against an empty old file.
    const Bytes small(oldData.begin() + 777, oldData.begin() + 300000);
    ExpectRebuilds(oldData, small, EncodeWindowed(oldData, small));
    ExpectRebuilds(Bytes(), small, EncodeWindowed(Bytes(), small));
}

TEST(WindowedEncoder, MostlyZeroFilesLikeSparseImages) {
    Bytes oldData(9 * kMiB, 0);
    Random random(3);
    const Bytes island = random.Fill(300000);
    std::copy(island.begin(), island.end(), oldData.begin() + 6 * kMiB);
    Bytes newData(10 * kMiB, 0);
    std::copy(island.begin(), island.end(), newData.begin() + 1 * kMiB);  // moved far back
    newData[8 * kMiB] = 1;
    const Bytes delta = EncodeWindowed(oldData, newData);
    ExpectRebuilds(oldData, newData, delta);
    EXPECT_LT(delta.size(), 20000u);
}

TEST(WindowedEncoder, ThreadsDoNotChangeTheBytes) {
    const Bytes oldData = Random(4).Fill(6 * kMiB);
    const Bytes newData = Shuffled(oldData, 200000, 4);
    const Bytes one = EncodeWindowed(oldData, newData, 1);
    EXPECT_TRUE(EncodeWindowed(oldData, newData, 2) == one);
    EXPECT_TRUE(EncodeWindowed(oldData, newData, 3) == one);
    ExpectRebuilds(oldData, newData, one);
}

TEST(WindowedEncoder, FailedReadsAndWritesAreReported) {
    const Bytes oldData = Random(5).Fill(2 * kMiB);
    const Bytes newData = Shuffled(oldData, 100000, 5);
    DeltaEncodeOptions options;
    options.level = 1;
    options.windowBytes = kMiB;
    {
        MemoryOld old(oldData), now(newData);
        old.failReads = true;
        MemorySink sink;
        EXPECT_EQ(EncodeDeltaWindowed(old, now, sink, options),
                  WindowedEncodeResult::OldReadFailed);
    }
    {
        MemoryOld old(oldData), now(newData);
        now.failReads = true;
        MemorySink sink;
        EXPECT_EQ(EncodeDeltaWindowed(old, now, sink, options),
                  WindowedEncodeResult::NewReadFailed);
    }
    {
        MemoryOld old(oldData), now(newData);
        MemorySink sink;
        sink.failAfter = 40;  // the header fits, the body does not
        EXPECT_EQ(EncodeDeltaWindowed(old, now, sink, options), WindowedEncodeResult::WriteFailed);
    }
}

}  // namespace
}  // namespace tpe::test
