// The assertion box text with its shortening rules, and what the box's answers do.
#include "RecordingServices.h"
#include "System/Assert.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>

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

// The box of an expression with the program and file of the worked example.
std::string ExampleBox(const std::string& expression) {
    return BoxText("C:\\p.exe", "Source\\System\\Thread", 5, expression);
}

}  // namespace

TEST(AssertionText, WorkedExample) {
    EXPECT_EQ(ExampleBox("0"),
              std::string("Assertion failed!\n\nProgram: C:\\p.exe\nFile: Source\\System\\Thread\n"
                          "Line: 5\n\nExpression: 0\n\n\n\n\n") +
                  kHelp);
}

TEST(AssertionText, CutStartsWhereTheWholeExpressionNoLongerFits) {
    // With this program and file the text before the expression is 87 characters: 387 fit
    // beside the 65-character trailer and the terminator.
    const size_t room = QLD_ASSERT_TEXT_SIZE - 1 - ExampleBox("").size();
    const std::string fits(room, 'e');
    EXPECT_EQ(LineValue(ExampleBox(fits), "Expression"), fits);
    EXPECT_EQ(LineValue(ExampleBox(fits + 'e'), "Expression"), std::string(room - 3, 'e') + "...");
    // The cut box fills its buffer exactly and still ends with the help line.
    const std::string box = ExampleBox(std::string(600, 'e'));
    EXPECT_EQ(box.size(), QLD_ASSERT_TEXT_SIZE - 1);
    EXPECT_EQ(box.substr(box.size() - sizeof(kHelp) + 1), kHelp);
}

TEST(AssertionText, TwoHundredCharacterExpressionFitsTheBuffer) {
    const std::string expression(200, 'e');
    const std::string box =
        BoxText(std::string(260, 'p'), std::string(300, 'f'), 123456, expression);
    EXPECT_LT(box.size(), QLD_ASSERT_TEXT_SIZE);
    EXPECT_EQ(LineValue(box, "Expression"), expression);
}

// Up to 49 characters the program shows whole, beyond that its last 46 after "...".
TEST(AssertionText, LongProgramPathKeepsItsEnd) {
    const std::string fits(49, 'p');
    EXPECT_EQ(LineValue(BoxText(fits, "f", 1, "0"), "Program"), fits);
    EXPECT_EQ(LineValue(BoxText(fits + 'p', "f", 1, "0"), "Program"), "..." + fits.substr(3));
}

// A long file is cut where it keeps most of its name: a short name whole, else half of it, else
// three pieces; a file without a separator keeps its end.
TEST(AssertionText, LongFilesAreCutAroundTheirName) {
    const std::string shortName = std::string(50, 'd') + "\\name.cpp";
    const std::string shortFolder = std::string(20, 'd') + "\\" + std::string(39, 'n');
    const std::string bothLong = std::string(40, 'd') + "\\" + std::string(19, 'n');
    const std::string noSeparator(200, 'f');
    const struct {
        const std::string& file;
        std::string shown;
    } cases[] = {
        {shortName, shortName.substr(0, 40) + "..." + "\\name.cpp"},
        {shortFolder, shortFolder.substr(0, 29) + "..." + shortFolder.substr(40)},
        {bothLong, bothLong.substr(0, 32) + "..." + bothLong.substr(40, 7) + "..." +
                       bothLong.substr(bothLong.size() - 7)},
        {noSeparator, "..." + std::string(49, 'f')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LineValue(BoxText("p", c.file, 1, "0"), "File"), c.shown) << c.file;
    }
}

TEST(AssertionReport, ReportsAndAsksWithTheBox) {
    RecordingServices services;
    services.message_box_answer = IDIGNORE;
    EXPECT_TRUE(QLC_ReportAssertion("a != b", "Source\\System\\Thread", 42));
    const RecordedCall report = services.Only("Report");
    EXPECT_EQ(std::tie(report.channel, report.file, report.line, report.text),
              std::make_tuple(-1, "Source\\System\\Thread", 42, "ASSERT: a != b"));
    const RecordedCall box = services.Only("MessageBox");
    EXPECT_EQ(box.channel, 0x12012);
    EXPECT_EQ(LineValue(box.text, "Expression"), "a != b");
    EXPECT_EQ(LineValue(box.text, "Line"), "42");
}

TEST(AssertionReport, PositiveReportLevelSuppressesTheBoxAndKeepsTheSiteArmed) {
    RecordingServices services;
    services.report_level = 1;
    EXPECT_FALSE(QLC_ReportAssertion("x", "f", 1));
    const auto site = [](bool condition) { QLD_ASSERT(condition); };
    site(false);
    site(false);
    EXPECT_TRUE(services.Of("MessageBox").empty());
    EXPECT_EQ(services.Of("Report").size(), 3u);
}

TEST(AssertionSite, IgnoreSilencesOnlyThatSite) {
    RecordingServices services;
    services.message_box_answer = IDIGNORE;
    const auto site = [](bool condition) { QLD_ASSERT(condition); };
    const auto other = [](bool condition) { QLD_ASSERT(condition); };
    site(true);
    EXPECT_TRUE(services.calls.empty());
    site(false);
    site(false);
    EXPECT_EQ(services.Of("MessageBox").size(), 1u);
    other(false);
    EXPECT_EQ(services.Of("MessageBox").size(), 2u);
}

TEST(AssertionSite, RetryBreaksIntoTheDebuggerAndReportsAgain) {
    RecordingServices services;
    services.message_box_answer = IDRETRY;
    for (int time = 1; time <= 2; ++time) {
        EXPECT_FALSE(QLC_ReportAssertion("x", "f", 1));
        EXPECT_EQ(services.debug_breaks, time);
        EXPECT_EQ(services.Of("MessageBox").size(), static_cast<size_t>(time));
    }
}

namespace {

// Writes the fatal report where the death test can read it.
class PrintingServices : public RecordingServices {
public:
    void FatalError(int code, const char*, int, const char* text, void* extra) override {
        std::fprintf(stderr, "fatal %d %s %s\n", code, text, extra == nullptr ? "null" : "extra");
        std::fflush(stderr);
    }
};

void FailWithAnswer(int answer) {
    PrintingServices services;
    services.message_box_answer = answer;
    QLC_ReportAssertion("x > 0", "Source\\System\\Pool", 9);
}

}  // namespace

TEST(AssertionAbortDeathTest, AbortReportsTheFailureAndEndsTheProcess) {
    EXPECT_EXIT(FailWithAnswer(IDABORT), ::testing::ExitedWithCode(3),
                "fatal 2 assertion failure 'x > 0' \\(Source.System.Pool line 9\\) null");
}

TEST(AssertionAbortDeathTest, AnUnknownAnswerEndsTheProcessWithoutAReport) {
    EXPECT_EXIT(FailWithAnswer(0), ::testing::ExitedWithCode(3),
                ::testing::Not(::testing::HasSubstr("fatal")));
}
