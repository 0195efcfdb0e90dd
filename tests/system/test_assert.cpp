// The assertion box text with its shortening rules, and what the box's answers do.
#include "RecordingServices.h"
#include "System/Assert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char kHelp[] = "(Press Retry to debug the application - JIT must be enabled)";

std::string BoxText(const std::string& program, const std::string& file, int line,
                    const std::string& expression) {
    char text[QLD_ASSERT_TEXT_SIZE];
    std::memset(text, 'Z', sizeof(text));
    QLC_FormatAssertionText(text, program.c_str(), file.c_str(), line, expression.c_str());
    return text;
}

// The text between "<label>: " and the end of its line.
std::string LineValue(const std::string& box, const std::string& label) {
    const size_t start = box.find(label + ": ");
    if (start == std::string::npos) {
        return "<missing>";
    }
    const size_t value = start + label.size() + 2;
    return box.substr(value, box.find('\n', value) - value);
}

void CheckSite(bool condition) {
    QLD_ASSERT(condition);
}
void SecondSite(bool condition) {
    QLD_ASSERT(condition);
}

}  // namespace

TEST(AssertionText, WorkedExample) {
    EXPECT_EQ(BoxText("C:\\p.exe", "Source\\System\\Thread", 5, "0"),
              std::string("Assertion failed!\n\nProgram: C:\\p.exe\nFile: Source\\System\\Thread\n"
                          "Line: 5\n\nExpression: 0\n\n\n\n\n") +
                  kHelp);
}

TEST(AssertionText, ExpressionThatWouldOverflowIsCutAndTheBoxFillsItsBuffer) {
    const std::string expression(600, 'e');
    const std::string box = BoxText("C:\\p.exe", "Source\\System\\Thread", 5, expression);
    EXPECT_EQ(box.size(), QLD_ASSERT_TEXT_SIZE - 1);
    const std::string shown = LineValue(box, "Expression");
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "...");
    EXPECT_EQ(shown.substr(0, shown.size() - 3), expression.substr(0, shown.size() - 3));
    EXPECT_EQ(box.substr(box.size() - sizeof(kHelp) + 1), kHelp);
}

TEST(AssertionText, CutStartsWhereTheWholeExpressionNoLongerFits) {
    // With this program and file the text before the expression is 87 characters: 387 fit
    // beside the 65-character trailer and the terminator.
    const std::string head = BoxText("C:\\p.exe", "Source\\System\\Thread", 5, "");
    const size_t room = QLD_ASSERT_TEXT_SIZE - 1 - head.size();
    const std::string fits(room, 'e');
    EXPECT_EQ(LineValue(BoxText("C:\\p.exe", "Source\\System\\Thread", 5, fits), "Expression"),
              fits);
    const std::string over(room + 1, 'e');
    const std::string shown =
        LineValue(BoxText("C:\\p.exe", "Source\\System\\Thread", 5, over), "Expression");
    EXPECT_EQ(shown, std::string(room - 3, 'e') + "...");
}

TEST(AssertionText, TwoHundredCharacterExpressionFitsTheBuffer) {
    const std::string expression(200, 'e');
    const std::string box =
        BoxText(std::string(260, 'p'), std::string(300, 'f'), 123456, expression);
    EXPECT_LT(box.size(), QLD_ASSERT_TEXT_SIZE);
    EXPECT_EQ(LineValue(box, "Expression"), expression);
}

TEST(AssertionText, AnExpressionThatFitsIsKeptWhole) {
    const std::string expression(100, 'x');
    EXPECT_EQ(LineValue(BoxText("C:\\p.exe", "f", 1, expression), "Expression"), expression);
}

TEST(AssertionText, LongProgramPathKeepsItsEnd) {
    const std::string path =
        "C:\\Program Files\\Some Very Long Folder Name\\Tessaly\\TessalyUpdate.exe";
    const std::string shown = LineValue(BoxText(path, "f", 1, "0"), "Program");
    EXPECT_EQ(shown, "..." + path.substr(path.size() - 46));
    // Exactly at the limit nothing is cut.
    const std::string fits(49, 'p');
    EXPECT_EQ(LineValue(BoxText(fits, "f", 1, "0"), "Program"), fits);
    const std::string over(50, 'p');
    EXPECT_EQ(LineValue(BoxText(over, "f", 1, "0"), "Program"), "..." + over.substr(4));
}

TEST(AssertionText, LongFileKeepsAShortNameWhole) {
    const std::string file = std::string(50, 'd') + "\\name.cpp";
    EXPECT_EQ(LineValue(BoxText("p", file, 1, "0"), "File"),
              file.substr(0, 40) + "..." + "\\name.cpp");
}

TEST(AssertionText, LongFileWithAShortFolderKeepsHalfTheName) {
    const std::string file = std::string(20, 'd') + "\\" + std::string(39, 'n');
    EXPECT_EQ(LineValue(BoxText("p", file, 1, "0"), "File"),
              file.substr(0, 29) + "..." + file.substr(file.size() - 20));
}

TEST(AssertionText, LongFolderAndLongNameKeepThreePieces) {
    const std::string file = std::string(40, 'd') + "\\" + std::string(19, 'n');
    EXPECT_EQ(
        LineValue(BoxText("p", file, 1, "0"), "File"),
        file.substr(0, 32) + "..." + file.substr(40, 7) + "..." + file.substr(file.size() - 7));
}

TEST(AssertionText, LongFileWithoutSeparatorStaysOnItsLine) {
    const std::string file(200, 'f');
    const std::string shown = LineValue(BoxText("p", file, 1, "0"), "File");
    EXPECT_EQ(shown, "..." + std::string(49, 'f'));
}

TEST(AssertionText, ProgramAndFileLinesStayWithin60Characters) {
    const std::string box = BoxText(std::string(260, 'p'), std::string(300, 'f'), 123456, "0");
    EXPECT_LT(("Program: " + LineValue(box, "Program")).size(), 60u);
    EXPECT_LT(("File: " + LineValue(box, "File")).size(), 60u);
}

TEST(AssertionReport, ReportsAndAsksWithTheBox) {
    RecordingServices services;
    services.message_box_answer = IDIGNORE;
    EXPECT_TRUE(QLC_ReportAssertion("a != b", "Source\\System\\Thread", 42));
    const auto reports = services.Of("Report");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].channel, -1);
    EXPECT_EQ(reports[0].file, "Source\\System\\Thread");
    EXPECT_EQ(reports[0].line, 42);
    EXPECT_EQ(reports[0].function, "ERROR-ASSERTION FAILURE");
    EXPECT_EQ(reports[0].text, "ASSERT: a != b");
    const auto boxes = services.Of("MessageBox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].function, "QL Assert");
    EXPECT_EQ(boxes[0].channel, 0x12012);
    EXPECT_EQ(LineValue(boxes[0].text, "Expression"), "a != b");
    EXPECT_EQ(LineValue(boxes[0].text, "Line"), "42");
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    EXPECT_NE(boxes[0].text.find("Program: "), std::string::npos);
}

TEST(AssertionReport, NoReportWhenLoggingIsOff) {
    RecordingServices services;
    services.logging_enabled = false;
    QLC_ReportAssertion("x", "f", 1);
    EXPECT_TRUE(services.Of("Report").empty());
    EXPECT_EQ(services.Of("MessageBox").size(), 1u);
}

TEST(AssertionReport, PositiveReportLevelSuppressesTheBoxAndKeepsTheSiteArmed) {
    RecordingServices services;
    services.report_level = 1;
    EXPECT_FALSE(QLC_ReportAssertion("x", "f", 1));
    CheckSite(false);
    CheckSite(false);
    EXPECT_TRUE(services.Of("MessageBox").empty());
    EXPECT_EQ(services.Of("Report").size(), 3u);
}

TEST(AssertionSite, IgnoreSilencesOnlyThatSite) {
    RecordingServices services;
    services.message_box_answer = IDIGNORE;
    CheckSite(true);
    EXPECT_TRUE(services.calls.empty());
    CheckSite(false);
    CheckSite(false);
    EXPECT_EQ(services.Of("MessageBox").size(), 1u);
    SecondSite(false);
    EXPECT_EQ(services.Of("MessageBox").size(), 2u);
}

TEST(AssertionSite, RetryBreaksIntoTheDebuggerAndReportsAgain) {
    RecordingServices services;
    services.message_box_answer = IDRETRY;
    EXPECT_FALSE(QLC_ReportAssertion("x", "f", 1));
    EXPECT_EQ(services.debug_breaks, 1);
    EXPECT_FALSE(QLC_ReportAssertion("x", "f", 1));
    EXPECT_EQ(services.debug_breaks, 2);
    EXPECT_EQ(services.Of("MessageBox").size(), 2u);
}
