// The exception tree, file-exception messages, the OS-error to cause table and the shell's
// exceptions.
#include "RecordingServices.h"
#include "System/FileException.h"
#include "System/WinException.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

struct TypeAnswers {
    bool fatal, non_fatal, file, fourth;
};

TypeAnswers AnswersOf(const QLC_Exception& e) {
    return {e.IsFatal(), e.IsNonFatal(), e.IsFileException(), e.IsUserAbort()};
}

void ExpectAnswers(const QLC_Exception& e, TypeAnswers expected) {
    const TypeAnswers got = AnswersOf(e);
    EXPECT_EQ(got.fatal, expected.fatal);
    EXPECT_EQ(got.non_fatal, expected.non_fatal);
    EXPECT_EQ(got.file, expected.file);
    EXPECT_EQ(got.fourth, expected.fourth);
}

}  // namespace

TEST(ExceptionTree, EachClassAnswersTheTypeQueriesForItsPlace) {
    ExpectAnswers(QLC_Exception("x"), {false, false, false, false});
    ExpectAnswers(QLC_FatalException("x"), {true, false, false, false});
    ExpectAnswers(QLC_NonFatalException("x"), {false, true, false, false});
    ExpectAnswers(QLC_FileException(4, 2, "f"), {false, true, true, false});
}

TEST(ExceptionTree, MessageIsAnOwnedCopyThatSurvivesCopiesAndTheSource) {
    char text[] = "original";
    QLC_Exception first(text);
    text[0] = 'X';
    QLC_Exception second(first);
    QLC_Exception third("other");
    third = second;
    EXPECT_STREQ(first.Message(), "original");
    EXPECT_STREQ(second.Message(), "original");
    EXPECT_STREQ(third.Message(), "original");
    EXPECT_NE(first.Message(), second.Message());
    EXPECT_EQ(QLC_Exception(nullptr).Message(), nullptr);
    EXPECT_EQ(QLC_Exception(QLC_Exception(nullptr)).Message(), nullptr);
}

TEST(ExceptionTree, ThrowFatalFormatsItsMessage) {
    try {
        QLC_ThrowFatal("Pool %s Level %d", "Nodes", 3);
        FAIL() << "no exception";
    } catch (const QLC_Exception& e) {
        EXPECT_TRUE(e.IsFatal());
        EXPECT_STREQ(e.Message(), "Pool Nodes Level 3");
    }
}

TEST(FileExceptionMessage, NamesTheFileOrUnnamedAndTheCause) {
    EXPECT_STREQ(QLC_FileException(4, 2, "").Message(),
                 "FileException. File: Unnamed Cause: File Not Found");
    EXPECT_STREQ(QLC_FileException(19, -1, "C:/Game/data.bin").Message(),
                 "FileException. File: C:/Game/data.bin Cause: Disk Full");
    EXPECT_STREQ(QLC_FileException(QLC_CAUSE_NONE, 0, QLC_String("a")).Message(),
                 "FileException. File: a Cause: None");
    EXPECT_STREQ(QLC_FileException(20, 38, "a").Message(),
                 "FileException. File: a Cause: End Of File");
}

TEST(FileExceptionMessage, CausesOutsideTheTableAreUnknown) {
    EXPECT_STREQ(QLC_FileException(25, -1, "a").Message(), "FileException. File: a Cause: Unknown");
    EXPECT_STREQ(QLC_FileException(21, -1, "a").Message(), "FileException. File: a Cause: Unknown");
    EXPECT_STREQ(QLC_FileException(-1, -1, "a").Message(), "FileException. File: a Cause: Unknown");
}

TEST(FileExceptionMessage, AllCauseTexts) {
    const char* expected[] = {"None",
                              "Unknown",
                              "Generic Read Error",
                              "Generic Write Error",
                              "File Not Found",
                              "No More Files",
                              "Invalid Handle",
                              "System File Table Overflow",
                              "Disk Change",
                              "Bad Path",
                              "Too Many Open Files",
                              "Access Denied",
                              "Invalid File",
                              "Remove Current Dir",
                              "Directory Full",
                              "Bad Seek",
                              "Hard IO",
                              "Sharing Violation",
                              "Lock Violation",
                              "Disk Full",
                              "End Of File"};
    for (int cause = 0; cause <= 20; ++cause) {
        EXPECT_STREQ(QLC_FileCauseText(cause), expected[cause]) << cause;
    }
}

TEST(FileExceptionMessage, SecondConstructorKeepsTheGivenMessageAndHasNoOsError) {
    QLC_FileException e("arch.wad", 15, "File: arch.wad Chunk: NONE Offset: 0 - detail");
    EXPECT_STREQ(e.Message(), "File: arch.wad Chunk: NONE Offset: 0 - detail");
    EXPECT_EQ(e.Cause(), 15);
    EXPECT_EQ(e.OsError(), -1);
    EXPECT_EQ(e.FileName(), "arch.wad");
}

TEST(OsErrorCause, EveryListedCodeMapsToItsCause) {
    const std::map<int, std::vector<int>> rows = {
        {0, {0}},
        {4, {2}},
        {5, {18}},
        {6, {6}},
        {8, {107}},
        {9,
         {3, 15, 17, 34, 52, 53, 55, 67, 70, 85, 111, 123, 124, 125, 144, 154, 161, 206, 208, 267}},
        {10, {4, 36, 68, 113}},
        {11, {5, 12, 19, 29, 54, 58, 64, 65, 71, 80, 82, 86, 170, 183, 999}},
        {12, {11, 26, 60, 66, 114, 182, 191, 193}},
        {13, {16, 145}},
        {14, {62}},
        {15, {24, 25, 27, 30, 131, 132}},
        {16, {20, 21, 22, 23, 57, 59, 88, 117, 995, 996, 997}},
        {17, {32}},
        {18, {33, 108, 167}},
        {19, {39, 112}},
        {20, {38}},
    };
    std::map<int, int> listed;
    for (const auto& row : rows) {
        for (int code : row.second) {
            EXPECT_EQ(QLC_FileCauseFromOsError(code), row.first) << "OS error " << code;
            listed[code] = row.first;
        }
    }
    // Every other code, 1 included, is Unknown; causes 2, 3 and 7 are never produced.
    for (int code = -5; code < 1500; ++code) {
        if (listed.count(code) == 0) {
            EXPECT_EQ(QLC_FileCauseFromOsError(code), 1) << "OS error " << code;
        }
    }
}

TEST(ThrowOsError, ZeroReturnsAndOtherErrorsThrowTheMappedCause) {
    RecordingServices services;
    EXPECT_NO_THROW(QLC_ThrowOsError(0, "f"));
    EXPECT_TRUE(services.calls.empty());
    try {
        QLC_ThrowOsError(2, "missing.txt");
        FAIL() << "no exception";
    } catch (const QLC_FileException& e) {
        EXPECT_EQ(e.Cause(), 4);
        EXPECT_EQ(e.OsError(), 2);
        EXPECT_EQ(e.FileName(), "missing.txt");
        EXPECT_STREQ(e.Message(), "FileException. File: missing.txt Cause: File Not Found");
    }
    try {
        QLC_ThrowOsError(998, "");
        FAIL() << "no exception";
    } catch (const QLC_FileException& e) {
        EXPECT_EQ(e.Cause(), 1);
        EXPECT_EQ(e.OsError(), 998);
    }
}

TEST(FileExceptionThrow, TracesTheMessageWithTheOsErrorBeforeThrowing) {
    RecordingServices services;
    EXPECT_THROW(QLC_FileException::Throw(17, 32, "locked.dat"), QLC_FileException);
    const auto traces = services.Of("Trace");
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_EQ(traces[0].function, "QLC_FileException::Throw");
    EXPECT_EQ(traces[0].file, "Source\\System\\FileException");
    EXPECT_EQ(traces[0].text,
              "FileException. File: locked.dat Cause: Sharing Violation, OS error info = 32.\n");
}

TEST(FileExceptionThrow, WorksWithoutServices) {
    QLC_ISystemServices* saved = g_system_services;
    g_system_services = nullptr;
    EXPECT_THROW(QLC_FileException::Throw(4, 2, ""), QLC_FileException);
    g_system_services = saved;
}

TEST(WinException, CodeZeroTakesTheLastErrorAndConstructionClearsIt) {
    SetLastError(5);
    Win::Exception taken("Cannot create window", "PatcherClass");
    EXPECT_EQ(taken.Code(), 5u);
    EXPECT_EQ(taken.Message(), "Cannot create window");
    EXPECT_EQ(taken.Detail(), "PatcherClass");
    EXPECT_EQ(GetLastError(), 0u);

    SetLastError(6);
    Win::Exception given("text", "", 1400);
    EXPECT_EQ(given.Code(), 1400u);
    EXPECT_EQ(GetLastError(), 0u);
}

TEST(WinException, ExitExceptionIsCaughtByType) {
    EXPECT_THROW(throw Win::ExitException(), Win::ExitException);
}
