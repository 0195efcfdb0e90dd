// The checksums the payload and the utility rely on.
#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "sha256.h"
#include "utility_checksum.h"

using namespace tpe_test;

namespace {

// With and without the processor's SHA instructions: the published values, and pieces hashed
// one after another equal to the whole for lengths around the block size.
TEST(Checksums, Sha256WithAndWithoutHardware) {
    const std::string data = BinaryOf(1000, 17);
    const char* two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    for (bool hardware : {true, false}) {
        tpe::Sha256::AllowHardware(hardware);
        EXPECT_EQ(tpe::DigestHex(tpe::Sha256Of("abc", 3)),
                  "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        EXPECT_EQ(tpe::DigestHex(tpe::Sha256Of(two, 56)),
                  "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
        for (size_t length : {0, 1, 55, 56, 63, 64, 65, 127, 128, 129, 1000}) {
            tpe::Sha256 pieces;
            for (size_t i = 0; i < length; i += 7) {
                pieces.Update(data.data() + i, std::min<size_t>(7, length - i));
            }
            tpe::Sha256::AllowHardware(false);
            tpe::Digest reference = tpe::Sha256Of(data.data(), length);
            tpe::Sha256::AllowHardware(hardware);
            EXPECT_EQ(pieces.Finish(), reference) << length;
        }
    }
    tpe::Sha256::AllowHardware(true);
}

TEST(Checksums, UtilityChecksumCountsMissingBytesAsZero) {
    const uint8_t abc[] = {'a', 'b', 'c'}, high[] = {255, 255, 255};
    EXPECT_EQ(tpe::UtilityChecksum(abc, 3, 0), 5538u);
    EXPECT_EQ(tpe::UtilityChecksum(abc, 3, -1), 5538u);
    EXPECT_EQ(tpe::UtilityChecksum(abc, 3, 2), 777u);
    EXPECT_EQ(tpe::UtilityChecksum(abc, 3, 5), 271362u);
    EXPECT_EQ(tpe::UtilityChecksum(abc, 0, 0), 0u);
    EXPECT_EQ(tpe::UtilityChecksum(high, 3, 3), 14535u);
    // 65536 bytes past a short file: the padding multiplies by 7^65533 modulo 2^32.
    uint32_t slow = 5538;
    for (int i = 0; i < 65533; ++i) {
        slow *= 7;
    }
    EXPECT_EQ(tpe::UtilityChecksum(abc, 3, 65536), slow);
}

}  // namespace
