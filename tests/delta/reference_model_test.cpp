// Executables: their layouts, the reference model, and deltas that predict moved references.
#include "reference_model.h"

#include <gtest/gtest.h>

#include "delta_format.h"
#include "delta_test_support.h"
#include "executable_layout.h"

namespace tpe::test {
namespace {

TEST(ExecutableLayout, DamagedHeadersAreRejectedNotReadPast) {
    ExecutableLayout text;
    EXPECT_FALSE(ReadExecutableLayout(Text(2000, 1).data(), 2000, text));
    Random random(2);
    for (const Bytes& file : {WrapElf64(Bytes(300, 0xcc)), WrapPe32(Bytes(300, 0xcc))}) {
        for (size_t size = 0; size < 0x260 && size < file.size(); size += 7) {
            ExecutableLayout layout;
            Bytes cut(file.begin(), file.begin() + size);  // exact size: ASan sees overreads
            ReadExecutableLayout(cut.data(), cut.size(), layout);
        }
        for (int round = 0; round < 2000; ++round) {
            Bytes damaged = file;
            damaged[random.Below(0x260 < file.size() ? 0x260 : file.size())] =
                static_cast<uint8_t>(random.Next());
            ExecutableLayout layout;
            if (ReadExecutableLayout(damaged.data(), damaged.size(), layout)) {
                for (const CodeSegment& s : layout.segments)
                    EXPECT_LE(s.fileOffset + s.size, damaged.size());
            }
        }
    }
}

TEST(ReferenceModelFormat, RoundTripsAndRefusesRangesOutsideTheFiles) {
    ReferenceModel model;
    model.is64 = false;
    model.oldSegments = {{0, 100, 0x1000, true}, {100, 50, 0x2000, false}};
    model.newSegments = {{0, 160, 0x1000, true}};
    model.equivalences = {{0, 10, 40}, {40, 30, 20}, {90, 100, 60}};
    Bytes bytes;
    WriteReferenceModel(model, bytes);
    ReferenceModel read;
    ASSERT_TRUE(ReadReferenceModel(bytes.data(), bytes.size(), 150, 160, read));
    Bytes again;  // every field read back: written again, the same bytes
    WriteReferenceModel(read, again);
    EXPECT_EQ(again, bytes);

    EXPECT_FALSE(ReadReferenceModel(bytes.data(), bytes.size(), 149, 160, read));  // old range
    EXPECT_FALSE(ReadReferenceModel(bytes.data(), bytes.size(), 150, 159, read));  // new range
    for (size_t size = 0; size < bytes.size(); ++size)
        EXPECT_FALSE(ReadReferenceModel(bytes.data(), size, 150, 160, read)) << size;
    bytes.push_back(0);
    EXPECT_FALSE(ReadReferenceModel(bytes.data(), bytes.size(), 150, 160, read));
}

TEST(ReferencePrediction, ACallIsPredictedExactlyWhenItsTargetLiesInAnEquivalence) {
    ReferenceModel model;
    model.is64 = true;
    model.oldSegments = {{0, 0x10000, 0x400000, true}};
    model.newSegments = {{0, 0x10000, 0x400000, true}};
    for (uint64_t start = 50; start < 0xf000; start += 97 + start % 13)
        model.equivalences.push_back({start, start + start % 29, 60 + start % 11});
    const ReferencePredictor predictor(model);
    const uint64_t callAt = 0x9000, newCallAt = 0x9100;
    for (uint64_t target = 0; target < 0x10000; ++target) {
        const uint32_t written = static_cast<uint32_t>(target - (callAt + 5));
        uint32_t expected = written;
        for (const Equivalence& e : model.equivalences) {
            if (target >= e.oldStart && target - e.oldStart < e.length)
                expected =
                    static_cast<uint32_t>(e.newStart + (target - e.oldStart) - (newCallAt + 5));
        }
        Bytes call(5, 0xe8);
        Put(call, 1, written, 4);
        predictor.Predict(call.data(), call.size(), callAt, newCallAt);
        ASSERT_EQ(GetLe32(call.data() + 1), expected) << "target " << target;
    }
}

// Relative calls in ELF, absolute addresses in PE32: predicted references must remove most of
// the differences that moving the targets makes. The random bytes between the references hold
// stray opcodes whose predictions are wrong: those must rebuild exactly too.
TEST(ReferencePrediction, MovedReferencesCostLittle) {
    const Bytes oldCall = SyntheticCode(400000, 0, 0, 3),
                newCall = SyntheticCode(400000, 200000, 37, 3);
    const Bytes oldAbsolute = SyntheticCode(300000, 0, 0, 4, true, kPeCodeAddress);
    const Bytes newAbsolute = SyntheticCode(300000, 1000, 64, 4, true, kPeCodeAddress);
    const struct {
        const char* name;
        Bytes oldCode, newCode, oldFile, newFile;
    } cases[] = {{"elf", oldCall, newCall, WrapElf64(oldCall), WrapElf64(newCall)},
                 {"pe32", oldAbsolute, newAbsolute, WrapPe32(oldAbsolute), WrapPe32(newAbsolute)}};
    for (const auto& c : cases) {
        const Bytes withLayout = RoundTrip(c.oldFile, c.newFile);
        const Bytes without = RoundTrip(c.oldCode, c.newCode);
        EXPECT_EQ(EncodingOf(withLayout), uint8_t(DeltaEncoding::DiffWithReferences)) << c.name;
        EXPECT_EQ(EncodingOf(without), uint8_t(DeltaEncoding::Diff)) << c.name;
        EXPECT_LT(withLayout.size() * 3, without.size()) << c.name;
    }
}

}  // namespace
}  // namespace tpe::test
