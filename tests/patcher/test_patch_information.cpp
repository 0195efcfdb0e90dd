// Patch information lines parsed into the description, the listing callback's answers, the
// command-line switches and the growable text list.

#include <gtest/gtest.h>

#include "GameFixture.h"
#include "ListItems.h"
#include "patchinfo/FieldTokenizer.h"
#include "patchinfo/PatchDescription.h"
#include "patchinfo/PatchInformation.h"
#include "patchinfo/Settings.h"
#include "patching/EngineRunner.h"

namespace {

std::vector<std::string> Fields(const char* line) {
    FieldTokenizer tokenizer(line, ",");
    std::vector<std::string> fields;
    for (QLC_String field = tokenizer.NextField(); !field.IsEmpty();
         field = tokenizer.NextField()) {
        fields.push_back(field.c_str());
    }
    return fields;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(FieldTokenizer, SkipsLeadingBlanksAndEmptyFieldsAndHonoursQuotes) {
    EXPECT_EQ(Fields(" a, b ,,c"), (Strings{"a", "b ", "c"}));
    EXPECT_EQ(Fields(",,x"), (Strings{"x"}));
    EXPECT_EQ(Fields("Registry,\"Software\\A,B\",'q,r'"),
              (Strings{"Registry", "Software\\A,B", "q,r"}));
    EXPECT_EQ(Fields("k,\"unclosed, rest"), (Strings{"k", "unclosed, rest"}));
    EXPECT_TRUE(Fields("").empty());
    EXPECT_TRUE(Fields(" \t\r\n").empty());
}

TEST(InformationLines, VersionsLineInAnyCaseLaterOneWins) {
    PatchDescription description;
    ParseInformationLine("VERSIONS,ts2.exe,1.0.0,1.1.0");
    ParseInformationLine("versions,ts2.exe,1.1.5 ,1.2.3\r\n");
    EXPECT_TRUE(description.hasVersionsLine);
    EXPECT_STREQ(description.versionFileName.c_str(), "ts2.exe");
    EXPECT_STREQ(description.fromVersion.c_str(), "1.1.5 ");  // only the last field is trimmed
    EXPECT_STREQ(description.toVersion.c_str(), "1.2.3");
}

TEST(InformationLines, ChecksumLinesStayParallel) {
    PatchDescription description;
    ParseInformationLine(" checksum,a.dat,5538,3,1.0");
    ParseInformationLine("checksum ,b.dat,1,2,3");  // the keyword keeps its blank: ignored
    ParseInformationLine("checksum,a.dat,,3,1.0");  // the empty field is skipped
    ParseInformationLine("Checksum,ts2.exe,4294967295,65536,0.0.0 \r\n");
    ParseInformationLine("Comment,c.dat,1,2,3");  // unknown and empty lines change nothing
    ParseInformationLine("");
    EXPECT_FALSE(description.hasVersionsLine);
    EXPECT_EQ(Items(description.checksumFiles), (Strings{"a.dat", "a.dat", "ts2.exe"}));
    EXPECT_EQ(Items(description.checksumValues), (Strings{"5538", "3", "4294967295"}));
    EXPECT_EQ(Items(description.checksumLengths), (Strings{"3", "1.0", "65536"}));
    EXPECT_EQ(Items(description.checksumVersions), (Strings{"1.0", "", "0.0.0"}));
}

TEST(InformationLines, RegistryAndHistoryLinesAccumulate) {
    PatchDescription description;
    ParseInformationLine("Registry,\"Software\\Corvane,Inc\\Tessaly\"");
    ParseInformationLine("registry, Software\\Corvane\\Tessaly 2 \r\n");
    EXPECT_EQ(Items(description.registryKeys),
              (Strings{"Software\\Corvane,Inc\\Tessaly", "Software\\Corvane\\Tessaly 2"}));
    EXPECT_FALSE(description.isMultiVersion);
    ParseInformationLine("history,1.1.5,x, .115 \r\n");
    ParseInformationLine("HISTORY,1.1.6,y,.116");
    EXPECT_TRUE(description.isMultiVersion);
    EXPECT_EQ(Items(description.historyFromVersions), (Strings{"1.1.5", "1.1.6"}));
    EXPECT_EQ(Items(description.historySecondValues), (Strings{"x", "y"}));
    EXPECT_EQ(Items(description.historyExtensions), (Strings{".115", ".116"}));
}

// Message 11, an information line, is answered in the listing of a real payload (test_listing).
TEST(ListingCallback, AnswersEachMessageAsTheEngineExpects) {
    PatchDescription description;
    EXPECT_STREQ(OnListingMessage(19, nullptr), "Y");
    for (unsigned id : {2u, 13u, 14u, 15u, 17u, 18u, 20u}) {
        EXPECT_EQ(OnListingMessage(id, const_cast<char*>("text")), nullptr) << id;
    }
    for (unsigned id : {1u, 3u, 5u, 6u, 7u, 8u, 9u, 12u, 16u, 21u}) {
        EXPECT_STREQ(OnListingMessage(id, const_cast<char*>("text")), "") << id;
    }
}

TEST(Switches, FoundAnywhereInAnyCase) {
    struct Case {
        const char* commandLine;
        bool skip, backup, report;
    } cases[] = {
        {"NoBackup", false, true, false},
        {"-SKIPVERSIONCHECK", true, false, false},
        {"xShowErrorReportxSkipVersionCheckBACKUP", true, true, true},
        {"/show /error /report", false, false, false},
    };
    for (const Case& c : cases) {
        PatchDescription description;
        ReadSwitches(c.commandLine, description);
        EXPECT_EQ(description.skipVersionCheck, c.skip) << c.commandLine;
        EXPECT_EQ(description.keepBackup, c.backup) << c.commandLine;
        EXPECT_EQ(description.showErrorReport, c.report) << c.commandLine;
    }
}

TEST(StringList, GrowsPastItsCapacityAndGivesNothingPastItsEnd) {
    StringList none(0);
    none.Append("a");
    EXPECT_STREQ(none[0].c_str(), "a");
    StringList many(200);
    for (int i = 0; i < 201; ++i) {
        many.Append(QLC_String::Format("%d", i));
    }
    EXPECT_EQ(many.Capacity(), 400);
    EXPECT_STREQ(many[200].c_str(), "200");
    EXPECT_STREQ(many[0].c_str(), "0");
    EXPECT_TRUE(many[201].IsEmpty());
}

TEST(EngineRunnerWithoutEngine, EveryRunFailsToStartAndLeavesNothing) {
    e2e::OwnTemporaryFolder temp;
    EXPECT_EQ(RunPatchEngine("\"C:/x\" -i -l", OnListingMessage, 1), kEngineDidNotStart);
    EXPECT_TRUE(ListPatchInformation());
    EXPECT_EQ(e2e::CountEngineCopies(), 0);
}
