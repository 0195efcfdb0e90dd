// The delta's bytes on disk: deltas already shipped must keep decoding, so the header layout and
// the checksum may not change even where every round trip would still pass.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "delta_format.h"
#include "delta_hash.h"

namespace tpe {
namespace {

TEST(DeltaFormat, HeaderFieldsAreLittleEndianAtFixedOffsets) {
    DeltaHeader header;
    header.encoding = DeltaEncoding::Segments;
    header.oldSize = 0x0102030405060708ull;
    header.newSize = 0x1112131415161718ull;
    header.newHash = 0xa1a2a3a4a5a6a7a8ull;
    std::vector<uint8_t> bytes(kDeltaHeaderSize);
    WriteDeltaHeader(header, bytes.data());
    const std::vector<uint8_t> expected = {'T',  'P',  'D',  'L',  0x01, 0x04, 0x00, 0x00,
                                           0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,
                                           0x18, 0x17, 0x16, 0x15, 0x14, 0x13, 0x12, 0x11,
                                           0xa8, 0xa7, 0xa6, 0xa5, 0xa4, 0xa3, 0xa2, 0xa1};
    EXPECT_EQ(bytes, expected);

    DeltaHeader read;  // every field read back: written again, the same bytes
    ASSERT_TRUE(ReadDeltaHeader(bytes.data(), read));
    WriteDeltaHeader(read, bytes.data());
    EXPECT_EQ(bytes, expected);
}

TEST(DeltaFormat, ChecksumKeepsItsValuesForWholeWordsAndTails) {
    const char* text = "the delta checksum: words and a tail";
    EXPECT_EQ(DeltaHash::Of(text, 0), 0x0465735ba39b1001ull);
    EXPECT_EQ(DeltaHash::Of(text, 5), 0x6f269596f0c681e8ull);
    EXPECT_EQ(DeltaHash::Of(text, 8), 0x033ea7ffc02e7ee1ull);
    EXPECT_EQ(DeltaHash::Of(text, 36), 0x015db70ac8fb76c1ull);
}

}  // namespace
}  // namespace tpe
