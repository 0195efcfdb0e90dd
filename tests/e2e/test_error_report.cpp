// The Error Report after a real run: the engine's texts between their markers, then a checksum
// line for every installed file outside the log folders.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "GameFixture.h"
#include "UpdatePrograms.h"
#include "UpdateSession.h"

using namespace e2e;

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

// Presses Error Report at the end of `run` and waits for `line`; the lines the report added.
Lines ReportLinesUpTo(UpdateSession& run, const std::string& line) {
    EXPECT_TRUE(run.ButtonVisible(17));
    const size_t runLines = run.PaneLines().size();
    run.Press(17);
    EXPECT_TRUE(run.WaitForLine(line));
    const Lines all = run.PaneLines();
    return Lines(all.begin() + static_cast<long>(runLines), all.end());
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
    const Lines report = ReportLinesUpTo(run, "Checksum report complete.");
    EXPECT_FALSE(run.ButtonVisible(17));

    EXPECT_EQ(Between(report, "----------PATCH PROCESS LOG BEGIN----------",
                      "----------PATCH PROCESS LOG END----------"),
              (Lines{"Generating detailed patch process log...",
                     "Applying patch to data\\levels.dat", "Applying patch to readme.txt",
                     "Applying patch to ts2.exe", "Update complete: 3 files written, 0 removed"}));

    Tree now = GameBuild("1.2.3");
    Tree old = GameBuild("1.1.5");
    EXPECT_EQ(
        Between(report, "----------CHECKSUM LOG BEGIN----------",
                "----------CHECKSUM LOG END----------"),
        (Lines{KeyFileLine("data/levels.dat", now["data/levels.dat"], old["data/levels.dat"]),
               ShortLine("data/music.ogg", now["data/music.ogg"]),
               ShortLine("readme.txt", now["readme.txt"]), "File=\"Saves/empty.sav\" Len=0 Check=0",
               KeyFileLine("ts2.exe", now["ts2.exe"], old["ts2.exe"])}));
    EXPECT_TRUE(Holds(report, "5 qualifying files found, computing checksums..."));
    EXPECT_EQ(Tail(report, 5),
              (Lines{"----------CHECKSUM LOG END----------", "", "Checksum report complete.", "",
                     "Please copy and paste all the text in this box into an email and send it to "
                     "support@corvane.example, along with a description of the problem."}));
    EXPECT_EQ(run.CloseWithOk(), 0);
}

// After a failure the run found itself. The analysis keeps no engine texts, so the report starts
// with the wait line; and summing a file of three gibibytes byte by byte would take minutes, but
// closing the window stops the report at once.
TEST_F(Installation, TheReportAfterAFailureFoundByTheRunStopsWhenTheWindowCloses) {
    Install("1.1.5");
    e2e::WriteFile(Path("readme.txt"), "abc");
    // Costs no disk; the first file in the listing.
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
    // Only the head: the big file may be summed by the time the lines are read.
    const Lines report = ReportLinesUpTo(run, "----------CHECKSUM LOG BEGIN----------");
    ASSERT_GE(report.size(), 6u);
    EXPECT_EQ(Lines(report.begin(), report.begin() + 6),
              (Lines{"",
                     "Please wait while additional information about the patch issue is being "
                     "retrieved...",
                     "", "5 qualifying files found, computing checksums...", "",
                     "----------CHECKSUM LOG BEGIN----------"}));
    DWORD start = GetTickCount();
    ui::Close(run.Window());
    EXPECT_EQ(run.App().WaitForExit(15000), std::optional<DWORD>(0));
    EXPECT_LT(GetTickCount() - start, 15000u);
}
