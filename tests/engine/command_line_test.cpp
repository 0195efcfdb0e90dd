// The engine's command line as the update utility builds it.
#include <gtest/gtest.h>

#include "command_line.h"

namespace {

tpe::EngineOptions Parse(const std::string& line, bool expectOk = true) {
    tpe::EngineOptions options;
    std::string error;
    EXPECT_EQ(tpe::ParseCommandLine(line.c_str(), &options, &error), expectOk)
        << line << ": " << error;
    return options;
}

TEST(CommandLine, TheUtilitysThreeCallsAreUnderstood) {
    tpe::EngineOptions list = Parse("/z \"C:\\Games\\Update 1.2.exe\" \"C:/Games/Tessaly\" -i -l");
    EXPECT_EQ(list.mode, tpe::EngineMode::List);
    EXPECT_EQ(list.program, "C:\\Games\\Update 1.2.exe");
    EXPECT_EQ(list.folder, "C:/Games/Tessaly");

    tpe::EngineOptions analyse =
        Parse("/z \"C:\\u.exe\" \"C:\\Program Files\\Tessaly\\\" -nopathsearch -i -j");
    EXPECT_EQ(analyse.mode, tpe::EngineMode::Analyse);
    EXPECT_EQ(analyse.folder, "C:\\Program Files\\Tessaly");

    tpe::EngineOptions apply = Parse("/z \"C:\\u.exe\" \"D:/T\" -nopathsearch -i -u ");
    EXPECT_EQ(apply.mode, tpe::EngineMode::Apply);
    EXPECT_EQ(apply.backupFolder, "");

    tpe::EngineOptions backup =
        Parse("/z \"C:\\u.exe\" \"D:/T\" -nopathsearch -i -u -b:Update_1.1.5_Backup");
    EXPECT_EQ(backup.backupFolder, "Update_1.1.5_Backup");
    EXPECT_EQ(Parse("/Z \"u\" \"d\" -U -B:\"Old Files\\v1\"").backupFolder, "Old Files/v1");
}

TEST(CommandLine, AnythingNotUnderstoodIsRefused) {
    for (const char* line :
         {"", "/z \"u\" \"d\"", "/z \"u\" \"d\" -l -u", "/z \"u\" \"d\" -x", "\"d\" -j", "/z",
          "/z \"u\" -j", "/z \"u\" \"d\" \"e\" -j", "/z \"u\" \"d\" -u -b:..\\outside",
          "/z \"u\" \"d\" -u -b:C:\\Backup", "/z \"u\" \"d\" -u -b:"}) {
        Parse(line, false);
    }
    Parse("/z \"u\" \"d\" -j -b:" + std::string(40000, 'a'), false);
    tpe::EngineOptions options;
    std::string error;
    EXPECT_FALSE(tpe::ParseCommandLine(nullptr, &options, &error));
}

}  // namespace
