// Stamping a version resource whose blocks come from the program given to tpatch attach.
#include <gtest/gtest.h>

#include "byte_io.h"
#include "version_resource.h"

namespace {

// A block at `at`: its total length, then the key in UTF-16 from offset 6.
void PutBlock(std::vector<uint8_t>* image, size_t at, uint16_t length, const char* key) {
    tpe::PutLe(image->data() + at, length, 2);
    for (size_t i = 0; key[i] != '\0'; ++i) {
        (*image)[at + 6 + 2 * i] = uint8_t(key[i]);
    }
}

TEST(VersionResource, ABlockTooShortForItsOwnValueIsRefusedAndNothingChanges) {
    std::vector<uint8_t> image(260, 0);
    PutBlock(&image, 4, 256, "VS_VERSION_INFO");
    // Long enough for its key but not for the padding after it: no room at all.
    PutBlock(&image, 44, 30, "ProductName");
    const std::vector<uint8_t> before = image;
    std::string error;
    EXPECT_EQ(tpatch::StampVersionResource(&image, {"Tessaly", "1.0", "1.1"}, &error),
              tpatch::StampResult::Failed);
    EXPECT_NE(error.find("no room for the ProductName text"), std::string::npos) << error;
    EXPECT_EQ(image, before);
}

}  // namespace
