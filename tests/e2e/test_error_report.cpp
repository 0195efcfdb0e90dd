// The Error Report after a real run: the engine's texts between their markers, then a checksum
// line for every installed file outside the log folders.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "GameFixture.h"
#include "UpdatePrograms.h"
#include "UpdateSession.h"

using e2e::Installation;
using e2e::Lines;
using e2e::Programs;
using e2e::UpdateSession;

namespace {

uint32_t Sum(const std::string& contents, size_t length) {
    uint32_t h = 0;
    for (size_t i = 0; i < length; ++i) {
        h = h * 7 + static_cast<unsigned char>(i < contents.size() ? contents[i] : 0);
    }
    return h;
}

std::string ShortLine(const std::string& name, const std::string& contents) {
    return "File=\"" + name + "\" Len=" + std::to_string(contents.size()) +
           " Check=" + std::to_string(Sum(contents, contents.size()));
}

// The line of a key file: its partial checksum now, and the one the patch expects of 1.1.5.
std::string KeyFileLine(const std::string& name, const std::string& contents,
                        const std::string& old) {
    return ShortLine(name, contents) + " PChk=" + std::to_string(Sum(contents, 65536)) + "(" +
           std::to_string(Sum(old, 65536)) + ")";
}

Lines Between(const Lines& lines, const std::string& first, const std::string& last) {
    auto begin = std::find(lines.begin(), lines.end(), first);
    auto end = std::find(begin, lines.end(), last);
    return begin == lines.end() || end == lines.end() ? Lines{} : Lines(begin + 1, end);
}

}  // namespace

TEST_F(Installation, TheReportAfterARunWithShowErrorReport) {
    Install("1.1.5");
    e2e::WriteFile(Path("Logs\\session.log"), "played");
    e2e::WriteFile(Path("data\\backlogs\\old.txt"), "played");
    e2e::WriteFile(Path("Saves\\empty.sav"), "");
    UpdateSession run(Programs::Single(), folder.Path(), "ShowErrorReport");
    ASSERT_TRUE(run.AnswerChangeList(IDNO));
    ASSERT_TRUE(run.WaitFinished());
    ASSERT_TRUE(run.ButtonVisible(17));
    size_t runLines = run.PaneLines().size();
    run.Press(17);
    ASSERT_TRUE(run.WaitForLine("Checksum report complete."));
    EXPECT_FALSE(run.ButtonVisible(17));
    Lines all = run.PaneLines();
    Lines report(all.begin() + static_cast<long>(runLines), all.end());

    Lines log = Between(report, "----------PATCH PROCESS LOG BEGIN----------",
                        "----------PATCH PROCESS LOG END----------");
    EXPECT_EQ(log,
              (Lines{"Generating detailed patch process log...",
                     "Applying patch to data\\levels.dat", "Applying patch to readme.txt",
                     "Applying patch to ts2.exe", "Update complete: 3 files written, 0 removed"}));

    e2e::Tree now = e2e::GameBuild("1.2.3");
    e2e::Tree old = e2e::GameBuild("1.1.5");
    EXPECT_EQ(
        Between(report, "----------CHECKSUM LOG BEGIN----------",
                "----------CHECKSUM LOG END----------"),
        (Lines{KeyFileLine("data/levels.dat", now["data/levels.dat"], old["data/levels.dat"]),
               ShortLine("data/music.ogg", now["data/music.ogg"]),
               ShortLine("readme.txt", now["readme.txt"]), "File=\"Saves/empty.sav\" Len=0 Check=0",
               KeyFileLine("ts2.exe", now["ts2.exe"], old["ts2.exe"])}));
    EXPECT_NE(
        std::find(report.begin(), report.end(), "5 qualifying files found, computing checksums..."),
        report.end());
    EXPECT_EQ(Lines(report.end() - 5, report.end()),
              (Lines{"----------CHECKSUM LOG END----------", "", "Checksum report complete.", "",
                     "Please copy and paste all the text in this box into an email and send it to "
                     "support@corvane.example, along with a description of the problem."}));
    EXPECT_EQ(run.CloseWithOk(), 0);
}

TEST_F(Installation, TheReportAfterAFailureFoundByTheRun) {
    Install("1.1.5");
    e2e::WriteFile(Path("readme.txt"), "abc");
    UpdateSession run(Programs::Single(), folder.Path());
    ASSERT_TRUE(run.WaitFinished());
    ASSERT_TRUE(run.ButtonVisible(17));
    size_t runLines = run.PaneLines().size();
    run.Press(17);
    ASSERT_TRUE(run.WaitForLine("Checksum report complete."));
    Lines all = run.PaneLines();
    // The analysis keeps no engine texts: the report starts with the wait line.
    EXPECT_EQ(Lines(all.begin() + static_cast<long>(runLines),
                    all.begin() + static_cast<long>(runLines) + 5),
              (Lines{"",
                     "Please wait while additional information about the patch issue is being "
                     "retrieved...",
                     "", "4 qualifying files found, computing checksums...", ""}));
    EXPECT_NE(std::find(all.begin(), all.end(), "File=\"readme.txt\" Len=3 Check=5538"), all.end());
    EXPECT_EQ(run.CloseWithOk(), 0);
}

TEST_F(Installation, ClosingTheWindowStopsALongReport) {
    Install("1.1.5");
    e2e::WriteFile(Path("readme.txt"), "abc");
    // Three gibibytes that cost no disk: summing them byte by byte would take minutes.
    HANDLE big = CreateFileA(Path("aaa.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(big, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 3LL << 30;
    SetFilePointerEx(big, size, nullptr, FILE_BEGIN);
    SetEndOfFile(big);
    CloseHandle(big);

    UpdateSession run(Programs::Single(), folder.Path());
    ASSERT_TRUE(run.WaitFinished());
    run.Press(17);
    ASSERT_TRUE(run.WaitForLine("----------CHECKSUM LOG BEGIN----------"));
    DWORD start = GetTickCount();
    ui::Close(run.Window());
    EXPECT_EQ(run.App().WaitForExit(15000), std::optional<DWORD>(0));
    EXPECT_LT(GetTickCount() - start, 15000u);
}
