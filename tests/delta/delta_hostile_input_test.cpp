// The decoder facing damaged, truncated and hostile deltas, and failing callers.
#include <gtest/gtest.h>
#include <zstd.h>

#if defined(_WIN32)
#include <windows.h>
// windows.h first: psapi.h needs its types.
#include <psapi.h>
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

#include "counting_sink.h"
#include "delta_format.h"
#include "delta_hash.h"
#include "delta_test_support.h"
#include "diff_writer.h"
#include "varint.h"

namespace tpe::test {
namespace {

// Builds a delta around a hand-made body, with a valid header and trailer.
Bytes Seal(DeltaEncoding encoding, uint64_t oldSize, uint64_t newSize, uint64_t newHash,
           const Bytes& body) {
    Bytes delta(kDeltaHeaderSize);
    WriteDeltaHeader({encoding, oldSize, newSize, newHash}, delta.data());
    delta.insert(delta.end(), body.begin(), body.end());
    uint8_t trailer[kDeltaTrailerSize];
    PutLe64(trailer, DeltaHash::Of(delta.data(), delta.size()));
    delta.insert(delta.end(), trailer, trailer + sizeof trailer);
    return delta;
}

Bytes Body(const Bytes& delta) {
    return Bytes(delta.begin() + kDeltaHeaderSize, delta.end() - kDeltaTrailerSize);
}

struct Pair {
    const char* name;
    Bytes oldData, newData;
    bool segments = false;  // made by the Segments encoder, which the codec keeps for large files
};

// The pair's delta, checked to rebuild the new file.
Bytes EncodePair(const Pair& pair) {
    return pair.segments ? EncodeSegments(pair.oldData, pair.newData)
                         : RoundTrip(pair.oldData, pair.newData);
}

// One small pair per encoding the encoder picks.
std::vector<Pair> SmallPairs() {
    Bytes text = Text(6000, 1);
    Bytes edited = text;
    edited[3000] ^= 1;
    edited.insert(edited.begin() + 100, {'n', 'e', 'w'});
    Bytes oldCode = WrapElf64(SyntheticCode(30000, 0, 0, 3));
    Bytes newCode = WrapElf64(SyntheticCode(30000, 15000, 5, 3));
    return {{"diff", text, edited},
            {"references", oldCode, newCode},
            {"compressed", {}, text},
            {"stored", {}, Random(2).Fill(200)},
            {"segments", oldCode, newCode, true},
            {"copied segment", text, text, true}};
}

TEST(DeltaHostileInput, EveryFlippedByteIsRefused) {
    for (const Pair& pair : SmallPairs()) {
        Bytes delta = EncodePair(pair);
        if (std::string(pair.name) == "references") {
            ASSERT_EQ(EncodingOf(delta), uint8_t(DeltaEncoding::DiffWithReferences));
        }
        for (size_t at = 0; at < delta.size(); ++at) {
            for (uint8_t mask : {0x01, 0x80, 0xff}) {
                Bytes damaged = delta;
                damaged[at] ^= mask;
                EXPECT_NE(Decode(pair.oldData, damaged, pair.newData.size()), DeltaStatus::Ok)
                    << pair.name << " byte " << at << " mask " << int(mask);
            }
        }
    }
}

// Damage with a recomputed trailer reaches every parser instead of failing the final check: the
// decoder must refuse it or, if the damage was harmless, rebuild the exact file.
TEST(DeltaHostileInput, ResealedRandomDamageIsRefusedOrHarmless) {
    Random random(9);
    for (const Pair& pair : SmallPairs()) {
        Bytes delta = EncodePair(pair);
        Bytes body = Body(delta);
        DeltaHeader header;
        ASSERT_TRUE(ReadDeltaHeader(delta.data(), header));
        for (int round = 0; round < 400; ++round) {
            Bytes damaged = body;
            for (size_t n = 1 + random.Below(4); n > 0; --n)
                damaged[random.Below(damaged.size())] = static_cast<uint8_t>(random.Next());
            Bytes rebuilt;
            DeltaStatus status = Decode(
                pair.oldData,
                Seal(header.encoding, header.oldSize, header.newSize, header.newHash, damaged),
                pair.newData.size(), &rebuilt);
            if (status == DeltaStatus::Ok) {
                EXPECT_EQ(rebuilt, pair.newData) << pair.name << " round " << round;
            }
            EXPECT_LE(rebuilt.size(), pair.newData.size());
        }
    }
}

TEST(DeltaHostileInput, EveryTruncationAndTrailingGarbageIsRefused) {
    for (const Pair& pair : SmallPairs()) {
        Bytes delta = EncodePair(pair);
        for (size_t size = 0; size < delta.size(); ++size) {
            Bytes cut(delta.begin(), delta.begin() + size);
            EXPECT_EQ(Decode(pair.oldData, cut, pair.newData.size()), DeltaStatus::Corrupt)
                << pair.name << " cut at " << size;
        }
        Bytes longer = delta;
        longer.push_back(0);
        EXPECT_EQ(Decode(pair.oldData, longer, pair.newData.size()), DeltaStatus::Corrupt);
    }
}

TEST(DeltaHostileInput, SizeOtherThanExpectedIsRefusedBeforeWriting) {
    Pair pair = SmallPairs()[0];
    Bytes delta = EncodePair(pair);
    for (uint64_t expected :
         {uint64_t{0}, uint64_t{pair.newData.size() - 1}, uint64_t{pair.newData.size() + 1}}) {
        Bytes written;
        EXPECT_EQ(Decode(pair.oldData, delta, expected, &written), DeltaStatus::Corrupt);
        EXPECT_TRUE(written.empty());
    }
}

TEST(DeltaHostileInput, BodyInflatingPastItsSizeStopsAtTheLimit) {
    Bytes big(4 << 20, 'x');
    Bytes body = Body(Encode({}, big));
    const uint64_t claimed = 1000;
    Bytes bomb =
        Seal(DeltaEncoding::Compressed, 0, claimed, DeltaHash::Of(big.data(), claimed), body);
    Bytes written;
    EXPECT_EQ(Decode({}, bomb, claimed, &written), DeltaStatus::Corrupt);
    EXPECT_LE(written.size(), claimed);
}

TEST(DeltaHostileInput, FrameAskingForAHugeWindowIsRefused) {
    Bytes data = Text(100000, 4);
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, kCompressedWindowLog + 2);
    Bytes frame(ZSTD_compressBound(data.size()) + 64);
    ZSTD_outBuffer out = {frame.data(), frame.size(), 0};
    ZSTD_inBuffer in = {data.data(), data.size(), 0};
    // Fed in two steps so the frame leaves its size unknown and keeps the window asked for.
    ZSTD_compressStream2(context, &out, &in, ZSTD_e_continue);
    ZSTD_inBuffer none = {nullptr, 0, 0};
    ASSERT_EQ(ZSTD_compressStream2(context, &out, &none, ZSTD_e_end), 0u);
    ZSTD_freeCCtx(context);
    frame.resize(out.pos);
    Bytes body;
    PutVarint(frame.size(), body);
    body.insert(body.end(), frame.begin(), frame.end());
    Bytes delta = Seal(DeltaEncoding::Compressed, 0, data.size(),
                       DeltaHash::Of(data.data(), data.size()), body);
    EXPECT_EQ(Decode({}, delta, data.size()), DeltaStatus::Corrupt);
}

// A one-chunk Diff body written by hand, so that it can hold what the encoder never writes.
// `literalFrame`, when given, is what the literal stream's frame holds in place of `literals`
// (whose size the chunk header declares).
Bytes HandMadeDiffBody(const std::vector<DiffOp>& ops, const Bytes& differences,
                       const Bytes& literals, const Bytes* literalFrame = nullptr) {
    Bytes control, runs;
    for (const DiffOp& op : ops) {
        PutVarint(ZigZag(op.seek), control);
        PutVarint(op.copyLen, control);
        PutVarint(op.literalLen, control);
    }
    if (!differences.empty()) {
        PutVarint(0, runs);  // every difference byte as a "changed" byte
        PutVarint(differences.size(), runs);
    }
    const Bytes* parts[] = {&control, &runs, &differences, &literals};
    Bytes body;
    PutVarint(differences.size() + literals.size(), body);
    PutVarint(differences.size(), body);
    for (const Bytes* part : parts) PutVarint(part->size(), body);
    Bytes frames;
    parts[3] = literalFrame ? literalFrame : parts[3];
    for (const Bytes* part : parts) {
        Bytes frame(ZSTD_compressBound(part->size()));
        frame.resize(ZSTD_compress(frame.data(), frame.size(), part->data(), part->size(), 1));
        PutVarint(frame.size(), body);
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    body.insert(body.end(), frames.begin(), frames.end());
    return body;
}

// A diff whose single op is given by the test, against a 1000-byte old file.
DeltaStatus DecodeOneOp(int64_t seek, uint64_t copyLen, uint64_t literalLen) {
    Bytes oldData = Random(5).Fill(1000);
    Bytes body =
        HandMadeDiffBody({{seek, copyLen, literalLen}}, Bytes(copyLen, 0), Bytes(literalLen, 'L'));
    uint64_t newSize = copyLen + literalLen;
    return Decode(oldData, Seal(DeltaEncoding::Diff, oldData.size(), newSize, 0, body), newSize);
}

TEST(DeltaHostileInput, OpsReachingOutsideTheOldFileAreRefused) {
    // In range, but the zero checksum cannot match: decoded fully, then refused. This also
    // shows the hand-made body is otherwise valid.
    EXPECT_EQ(DecodeOneOp(10, 990, 5), DeltaStatus::OldMismatch);
    EXPECT_EQ(DecodeOneOp(-1, 10, 0), DeltaStatus::Corrupt);
    EXPECT_EQ(DecodeOneOp(INT64_MIN, 10, 0), DeltaStatus::Corrupt);
    EXPECT_EQ(DecodeOneOp(1001, 0, 0 + 1), DeltaStatus::Corrupt);
    EXPECT_EQ(DecodeOneOp(10, 991, 0), DeltaStatus::Corrupt);
    EXPECT_EQ(DecodeOneOp(INT64_MAX, 1, 0), DeltaStatus::Corrupt);
}

TEST(DeltaHostileInput, StreamPartHoldingMoreOrLessThanDeclaredIsRefused) {
    const Bytes oldData = Random(5).Fill(1000);
    const Bytes literals(4, 'L');
    const uint64_t hash = DeltaHash::Of(literals.data(), literals.size());
    auto decode = [&](size_t held) {
        const Bytes frame(held, 'L');
        Bytes body = HandMadeDiffBody({{0, 0, 4}}, {}, literals, &frame);
        return Decode(oldData, Seal(DeltaEncoding::Diff, oldData.size(), 4, hash, body), 4);
    };
    EXPECT_EQ(decode(4), DeltaStatus::Ok);
    for (size_t held : {size_t(0), size_t(3), size_t(5), size_t(300000)})
        EXPECT_EQ(decode(held), DeltaStatus::Corrupt) << held;
}

TEST(DeltaFailingCallers, ReadWriteAndPatchErrorsAreReported) {
    Pair pair = SmallPairs()[0];
    Bytes delta = EncodePair(pair);
    // A failing old file, sink or patch source; the last case hands out one byte per read.
    const struct {
        bool failOld;
        size_t sinkLimit, piece, failPatchAt;
        DeltaStatus expected;
    } cases[] = {{true, SIZE_MAX, 1 << 16, SIZE_MAX, DeltaStatus::OldReadFailed},
                 {false, 0, 1 << 16, SIZE_MAX, DeltaStatus::WriteFailed},
                 {false, SIZE_MAX, 7, 14, DeltaStatus::Corrupt},
                 {false, SIZE_MAX, 1, SIZE_MAX, DeltaStatus::Ok}};
    for (const auto& c : cases) {
        MemoryOld old(pair.oldData);
        old.failReads = c.failOld;
        MemoryPatch patch(delta, c.piece);
        patch.failAt = c.failPatchAt;
        MemorySink sink;
        sink.failAfter = c.sinkLimit;
        EXPECT_EQ(DecodeDelta(old, patch, sink, pair.newData.size()), c.expected);
        if (c.expected == DeltaStatus::Ok) {
            EXPECT_EQ(sink.data, pair.newData);
        }
    }
}

TEST(DeltaProgress, ReportsEveryMebibyteAndCancels) {
    Random random(6);
    Bytes oldData = random.Fill(3 << 20);
    Bytes newData = oldData;
    newData[2 << 20] ^= 1;
    Bytes delta = Encode(oldData, newData);
    std::vector<uint64_t> reports;
    MemoryOld old(oldData);
    MemoryPatch patch(delta);
    MemorySink sink;
    auto record = [&](uint64_t done) {
        reports.push_back(done);
        return true;
    };
    ASSERT_EQ(DecodeDelta(old, patch, sink, newData.size(), record), DeltaStatus::Ok);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), newData.size());
    for (size_t i = 0; i < reports.size(); ++i)
        EXPECT_LE(reports[i] - (i ? reports[i - 1] : 0), uint64_t{1} << 20);

    MemoryPatch again(delta);
    MemorySink stopped;
    EXPECT_EQ(DecodeDelta(old, again, stopped, newData.size(), [](uint64_t) { return false; }),
              DeltaStatus::Cancelled);
    EXPECT_LE(stopped.data.size(), size_t{1} << 20);
}

// The heap in use where it can be measured (Windows: the working set, which is what wine
// reports reliably; glibc: the allocator's count), else 0.
size_t HeapInUse() {
#if defined(_WIN32)
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    K32GetProcessMemoryInfo(GetCurrentProcess(),
                            reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.WorkingSetSize;
#elif defined(__GLIBC__)
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#else
    return 0;
#endif
}

TEST(DeltaLargeFile, DecodesInBoundedMemoryThoughMostChunksChangeNoByte) {
    // 80 MiB copied from the old file with one changed byte in the first and the last chunk, plus
    // a literal tail; the script is made by hand so the test need not run the matcher on a large
    // file. Between those chunks the stream of changed bytes is empty, which zstd must never be
    // asked to decode as empty input (it fails calls that make no progress once they add up).
    const size_t size = 80u << 20;
    Bytes oldData = Random(7).Fill(size);
    Bytes newData = oldData;
    newData[10] ^= 1;
    newData[size - 10] ^= 1;
    DiffScript script;
    script.literals = Random(8).Fill(4096);
    script.ops.push_back({0, size, script.literals.size()});
    newData.insert(newData.end(), script.literals.begin(), script.literals.end());
    const uint64_t newSize = newData.size();
    Bytes delta =
        Seal(DeltaEncoding::Diff, size, newSize, DeltaHash::Of(newData.data(), newData.size()),
             WriteDiffBody(script, oldData.data(), newData.data(), 1, 1));
    newData = Bytes();

    const size_t baseline = HeapInUse();
    size_t peak = 0;
    MemoryOld old(oldData);
    MemoryPatch patch(delta);
    CountingSink sink;
    DeltaStatus status = DecodeDelta(old, patch, sink, newSize, [&](uint64_t) {
        // Growth over the baseline; the working set may also shrink below it.
        const size_t now = HeapInUse(), growth = now > baseline ? now - baseline : 0;
        peak = growth > peak ? growth : peak;
        return true;
    });
    EXPECT_EQ(status, DeltaStatus::Ok);
    EXPECT_EQ(sink.written, newSize);
    EXPECT_LT(peak, size_t{64} << 20);
    EXPECT_LE(old.largestRead, size_t{64} << 10);
}

}  // namespace
}  // namespace tpe::test
