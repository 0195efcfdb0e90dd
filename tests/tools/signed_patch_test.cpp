// Studios sign the update program after attaching the patch: a real Authenticode signature
// (osslsigncode, with a certificate made here) must not hide the patch, and the version
// resource that attaching stamps must leave a program that signs and verifies.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine_test_support.h"
#include "payload_locator.h"
#include "tpatch_test_support.h"

using namespace tpe_test;

namespace {

// Text as the version resource stores it: UTF-16, little-endian.
std::string Utf16(const std::string& text) {
    std::string wide;
    for (char c : text) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

int Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

// Attaching with too long a product name is refused; a name that fits is stamped, and the
// program signed afterwards verifies, lists and applies the patch.
TEST(SignedPatch, StampedProgramSignsListsAndAppliesAndTooLongANameIsRefused) {
    const char* program = std::getenv("TESSALY_TINY_PE");
    ASSERT_NE(program, nullptr) << "the build names the test program in TESSALY_TINY_PE";
    ScratchDir dir;
    WriteTree(dir / "old", {{"ts2.exe", "one"}, {"maps/a.map", BinaryOf(9000, 1)}});
    WriteTree(dir / "new", {{"ts2.exe", "two"}, {"maps/a.map", BinaryOf(9100, 1)}, {"b", "x"}});
    Outcome built = Tpatch({"build", "--old", "1.0=" + dir / "old", "--new", "1.1=" + dir / "new",
                            "--version-file", "ts2.exe", "-o", dir / "p.bin"});
    ASSERT_EQ(built.status, 0) << built.err;
    auto attach = [&](const std::string& product) {
        return Tpatch({"attach", "--patcher", program, dir / "p.bin", "--product", product, "-o",
                       dir / "u.exe"});
    };
    Outcome tooLong = attach(std::string(100, 'T'));
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_THAT(tooLong.err, HasSubstr("ProductName"));
    EXPECT_EQ(ReadFile(dir / "u.exe"), "") << "nothing written";
    ASSERT_EQ(attach("Tessaly Gold").status, 0);
    EXPECT_THAT(ReadFile(dir / "u.exe"),
                HasSubstr(Utf16("Tessaly Gold update from version 1.0 to 1.1")));

    ASSERT_EQ(Shell("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Tessaly Test'"
                    " -keyout '" +
                    dir / "key.pem" + "' -out '" + dir / "cert.pem" + "'"),
              0);
    ASSERT_EQ(
        Shell("osslsigncode sign -certs '" + dir / "cert.pem" + "' -key '" + dir / "key.pem" +
              "' -n 'Tessaly Update' -in '" + dir / "u.exe" + "' -out '" + dir / "s.exe" + "'"),
        0);
    std::unique_ptr<tpe::InputFile> signedFile = tpe::NativeFileSystem().OpenRead(dir / "s.exe");
    ASSERT_TRUE(signedFile);
    EXPECT_LT(tpe::EndBeforeCertificates(*signedFile), signedFile->Size()) << "signature present";
    EXPECT_EQ(
        Shell("osslsigncode verify -CAfile '" + dir / "cert.pem" + "' '" + dir / "s.exe" + "'"), 0);
    Outcome listed = Tpatch({"list", dir / "s.exe"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, Tpatch({"list", dir / "p.bin"}).out);
    CopyTree(dir / "old", dir / "inst");
    EXPECT_EQ(Tpatch({"apply", dir / "s.exe", dir / "inst"}).status, 0);
    EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), ReadTree(dir / "new")), "");
}

}  // namespace
