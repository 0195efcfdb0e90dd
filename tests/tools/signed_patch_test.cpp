// Studios sign the update program after attaching the patch: a real Authenticode signature
// (osslsigncode, with a certificate made here) must not hide the patch, and the version
// resource that attaching stamps must leave a program that signs and verifies.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "cli.h"
#include "engine_test_support.h"
#include "payload_locator.h"

using namespace tpe_test;

namespace {

int Tpatch(const std::vector<std::string>& args, std::string* out = nullptr,
           std::string* err = nullptr) {
    std::ostringstream o, e;
    int status = tpatch::RunTpatch(args, o, e);
    if (out) {
        *out = o.str();
    }
    if (err) {
        *err = e.str();
    }
    return status;
}

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

TEST(SignedPatch, SignedUpdateProgramListsAndApplies) {
    const char* program = std::getenv("TESSALY_TINY_PE");
    ASSERT_NE(program, nullptr) << "the build names the test program in TESSALY_TINY_PE";
    ScratchDir dir;
    WriteTree(dir / "old", {{"ts2.exe", "one"}, {"maps/a.map", BinaryOf(9000, 1)}});
    WriteTree(dir / "new", {{"ts2.exe", "two"}, {"maps/a.map", BinaryOf(9100, 1)}, {"b", "x"}});
    ASSERT_EQ(Tpatch({"build", "--old", "1.0=" + dir / "old", "--new", "1.1=" + dir / "new",
                      "--version-file", "ts2.exe", "-o", dir / "p.bin"}),
              0);
    ASSERT_EQ(Tpatch({"attach", "--patcher", program, dir / "p.bin", "-o", dir / "u.exe"}), 0);
    EXPECT_NE(ReadFile(dir / "u.exe").find(Utf16("Tessaly update from version 1.0 to 1.1")),
              std::string::npos);
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

    std::string listed, expected;
    EXPECT_EQ(Tpatch({"list", dir / "s.exe"}, &listed), 0);
    Tpatch({"list", dir / "p.bin"}, &expected);
    EXPECT_EQ(listed, expected);
    CopyTree(dir / "old", dir / "inst");
    EXPECT_EQ(Tpatch({"apply", dir / "s.exe", dir / "inst"}), 0);
    EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), ReadTree(dir / "new")), "");
}

TEST(SignedPatch, ProductNameThatDoesNotFitTheVersionResourceIsRefused) {
    const char* program = std::getenv("TESSALY_TINY_PE");
    ASSERT_NE(program, nullptr) << "the build names the test program in TESSALY_TINY_PE";
    ScratchDir dir;
    WriteTree(dir / "old", {{"ts2.exe", "one"}});
    WriteTree(dir / "new", {{"ts2.exe", "two"}});
    ASSERT_EQ(Tpatch({"build", "--old", "1.0=" + dir / "old", "--new", "1.1=" + dir / "new",
                      "--version-file", "ts2.exe", "-o", dir / "p.bin"}),
              0);
    std::string err;
    EXPECT_EQ(Tpatch({"attach", "--patcher", program, dir / "p.bin", "--product",
                      std::string(100, 'T'), "-o", dir / "u.exe"},
                     nullptr, &err),
              1);
    EXPECT_NE(err.find("ProductName"), std::string::npos) << err;
    EXPECT_EQ(ReadFile(dir / "u.exe"), "") << "nothing written";
    EXPECT_EQ(Tpatch({"attach", "--patcher", program, dir / "p.bin", "--product", "Tessaly Gold",
                      "-o", dir / "u.exe"}),
              0);
    EXPECT_NE(ReadFile(dir / "u.exe").find(Utf16("Tessaly Gold update from version 1.0 to 1.1")),
              std::string::npos);
}

}  // namespace
