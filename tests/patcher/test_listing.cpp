// The listing of a real payload into the description: the builder makes a patch with the
// shipped shape (one Versions line, one Registry line, 32 checksum lines over two files and 16
// versions), attaches it to a copy of this very program, and the copy lists it in-process.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <vector>

#include "GameFixture.h"
#include "ListItems.h"
#include "UiDriver.h"
#include "cli.h"
#include "patchinfo/PatchDescription.h"
#include "patchinfo/PatchInformation.h"

namespace {

// Set for the copy that carries the payload; names the file with the builder's listing.
const char* const kListingVariable = "TESSALY_EXPECTED_LISTING";

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ',');) {
        fields.push_back(field);
    }
    return fields;
}

}  // namespace

TEST(ListingDriver, AShippedShapePayloadIsListedIntoTheDescription) {
    e2e::ScratchFolder folder;
    const std::vector<std::string> versions = {"0.0.0", "1.0.0", "1.0.1", "1.0.2", "1.0.3", "1.0.4",
                                               "1.1.0", "1.1.1", "1.1.2", "1.1.3", "1.1.4", "1.1.5",
                                               "1.1.6", "1.2.0", "1.2.1", "1.2.3"};
    const std::string old = "1.1.5=" + (folder / "1.1.5"), now = "1.2.3=" + (folder / "1.2.3");
    const std::string patch = folder / "patch.bin";
    std::vector<std::string> build = {"build",   "--old",      old,
                                      "--new",   now,          "--version-file",
                                      "ts2.exe", "--registry", "Software\\Corvane\\Tessaly",
                                      "--level", "1",          "-o",
                                      patch};
    for (const auto& version : versions) {
        e2e::WriteTree(folder / version, e2e::GameBuild(version));
        if (version != "1.1.5" && version != "1.2.3") {
            build.push_back("--checksum-history");
            build.push_back(version + "=" + (folder / version));
        }
    }
    e2e::RunPatchBuilder(build);
    std::ostringstream listing;
    std::ostringstream errors;
    ASSERT_EQ(tpatch::RunTpatch({"list", patch}, listing, errors), 0);
    e2e::WriteFile(folder / "listing.txt", listing.str());
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    e2e::RunPatchBuilder({"attach", "--patcher", program, patch, "-o", folder / "copy.exe"});

    ui::LaunchOptions options;
    options.program = folder / "copy.exe";
    options.arguments = "--gtest_filter=ListedPayload.*";
    options.environment.push_back({kListingVariable, folder / "listing.txt"});
    auto copy = ui::App::Launch(options);
    EXPECT_EQ(copy->WaitForExit(120000), std::optional<DWORD>(0));
}

TEST(ListedPayload, EveryListAndFieldMatchesTheBuildersLines) {
    const char* expectedFile = std::getenv(kListingVariable);
    ASSERT_NE(expectedFile, nullptr) << "runs only in the copy that carries the payload, which "
                                        "ListingDriver starts with "
                                     << kListingVariable << " set";
    std::vector<std::vector<std::string>> lines, checksums, listed;
    std::stringstream expected(e2e::ReadFile(expectedFile));
    for (std::string line; std::getline(expected, line);) {
        lines.push_back(Split(line));
        if (lines.back()[0] == "checksum") {
            checksums.push_back({lines.back().begin() + 1, lines.back().end()});
        }
    }
    ASSERT_EQ(lines.size(), 34u);
    ASSERT_EQ(checksums.size(), 32u);

    PatchDescription description;
    ASSERT_FALSE(ListPatchInformation());

    EXPECT_TRUE(description.hasVersionsLine);
    EXPECT_STREQ(description.versionFileName.c_str(), "ts2.exe");
    EXPECT_STREQ(description.fromVersion.c_str(), "1.1.5");
    EXPECT_STREQ(description.toVersion.c_str(), "1.2.3");
    EXPECT_EQ(Items(description.registryKeys),
              std::vector<std::string>{"Software\\Corvane\\Tessaly"});
    for (int i = 0; i < description.checksumFiles.Count(); ++i) {
        listed.push_back(
            {description.checksumFiles[i].c_str(), description.checksumValues[i].c_str(),
             description.checksumLengths[i].c_str(), description.checksumVersions[i].c_str()});
    }
    EXPECT_EQ(listed, checksums);
    EXPECT_FALSE(description.isMultiVersion);
}
