#include <gtest/gtest.h>

#include "delta_test_support.h"

namespace tpe::test {
namespace {

// Encodes, decodes and checks the bytes; returns the delta's size.
size_t RoundTrip(const Bytes& oldData, const Bytes& newData, unsigned threads = 1) {
    Bytes delta = Encode(oldData, newData, 3, threads);
    Bytes rebuilt;
    EXPECT_EQ(Decode(oldData, delta, newData.size(), &rebuilt), DeltaStatus::Ok);
    EXPECT_TRUE(rebuilt == newData) << "rebuilt " << rebuilt.size() << " of " << newData.size();
    return delta.size();
}

// What the new file costs without any old file: plain compression or stored.
size_t AloneSize(const Bytes& newData) {
    return Encode({}, newData).size();
}

Bytes Splice(const Bytes& data, size_t at, size_t erase, const Bytes& insert) {
    Bytes out(data.begin(), data.begin() + at);
    out.insert(out.end(), insert.begin(), insert.end());
    out.insert(out.end(), data.begin() + at + erase, data.end());
    return out;
}

TEST(DeltaRoundTrip, EmptyFiles) {
    Bytes some = Text(5000, 1);
    RoundTrip({}, {});
    RoundTrip(some, {});
    RoundTrip({}, some);
    RoundTrip({1}, {2});
}

TEST(DeltaRoundTrip, IdenticalFilesCostAlmostNothing) {
    Bytes data = Random(2).Fill(300000);
    EXPECT_LT(RoundTrip(data, data), 200u);
}

TEST(DeltaRoundTrip, SmallEditsInsertionsAndDeletions) {
    Random random(3);
    Bytes oldData = random.Fill(200000);
    Bytes newData = oldData;
    for (int i = 0; i < 50; ++i) newData[random.Below(newData.size())] ^= 0x5a;
    newData = Splice(newData, 1000, 0, random.Fill(300));
    newData = Splice(newData, 90000, 5000, {});
    newData = Splice(newData, 150000, 10, random.Fill(700));
    size_t size = RoundTrip(oldData, newData);
    EXPECT_LT(size, 2000u) << "edits must cost about what they change";
}

TEST(DeltaRoundTrip, MovedAndRepeatedBlocks) {
    Random random(4);
    Bytes oldData = random.Fill(256 * 1024);
    Bytes newData;
    for (int block : {3, 0, 2, 1, 3, 3}) {
        auto start = oldData.begin() + block * 64 * 1024;
        newData.insert(newData.end(), start, start + 64 * 1024);
    }
    EXPECT_LT(RoundTrip(oldData, newData), 1000u);
}

// An archive whose members moved: short copies from all over the old file. Applying must read
// the old file about once, not a large page for every copy (it read 50 times over once).
TEST(DeltaRoundTrip, ShuffledShortMembersReadTheOldFileAboutOnce) {
    Random random(7);
    std::vector<Bytes> members;
    Bytes oldData;
    while (oldData.size() < (4u << 20)) {
        members.push_back(random.Fill(200 + random.Below(1800)));
        oldData.insert(oldData.end(), members.back().begin(), members.back().end());
    }
    Bytes newData;
    for (size_t i = 0; i < members.size(); ++i) {
        const Bytes& member = members[(i * 7919) % members.size()];
        newData.insert(newData.end(), member.begin(), member.end());
    }
    const Bytes delta = Encode(oldData, newData);
    MemoryOld old(oldData);
    MemoryPatch patch(delta);
    MemorySink sink;
    ASSERT_EQ(DecodeDelta(old, patch, sink, newData.size()), DeltaStatus::Ok);
    EXPECT_TRUE(sink.Data() == newData);
    EXPECT_LT(old.bytesRead, 8 * oldData.size()) << "members: " << members.size();
}

TEST(DeltaRoundTrip, UnrelatedFilesNeverCostMoreThanTheFileAlone) {
    Random random(5);
    Bytes noise = random.Fill(100000);
    Bytes text = Text(100000, 6);
    EXPECT_LE(RoundTrip(noise, text), AloneSize(text));
    EXPECT_LE(RoundTrip(text, noise), AloneSize(noise));
    // Incompressible and unrelated: stored, with only the fixed overhead.
    EXPECT_LE(RoundTrip(random.Fill(1000), noise), noise.size() + 64);
}

TEST(DeltaRoundTrip, EditedText) {
    Bytes oldData = Text(400000, 7);
    Bytes newData = Splice(oldData, 123456, 200, Text(1000, 8));
    newData = Splice(newData, 4000, 0, Text(50, 9));
    EXPECT_LT(RoundTrip(oldData, newData), AloneSize(newData) / 10);
}

TEST(DeltaRoundTrip, ExecutableWithShiftedCallTargets) {
    Bytes oldCode = SyntheticCode(500000, 0, 0, 10);
    Bytes newCode = SyntheticCode(500000, 250000, 37, 10);
    ASSERT_NE(oldCode, newCode);
    EXPECT_LT(RoundTrip(oldCode, newCode), AloneSize(newCode) / 4);
}

TEST(DeltaRoundTrip, FilesSpanningManyChunks) {
    Random random(11);
    Bytes oldData = random.Fill(3 * 1024 * 1024 + 17);
    Bytes newData = Splice(oldData, 1024 * 1024 - 3, 0, random.Fill(10));  // across a chunk end
    newData = Splice(newData, 2500000, 100000, {});
    newData.insert(newData.end(), oldData.begin(), oldData.begin() + 1500000);
    EXPECT_LT(RoundTrip(oldData, newData), 5000u);
}

TEST(DeltaRoundTrip, ThreadsDoNotChangeTheBytes) {
    Bytes oldData = Text(300000, 12);
    Bytes newData = Splice(oldData, 5000, 100, Random(13).Fill(3000));
    EXPECT_EQ(Encode(oldData, newData, 3, 1), Encode(oldData, newData, 3, 4));
}

}  // namespace
}  // namespace tpe::test
