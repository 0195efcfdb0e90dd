// The exception tree, file-exception messages, thrown OS errors and the shell's exceptions.
#include "RecordingServices.h"
#include "System/WinException.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <utility>

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
    EXPECT_STREQ(QLC_FileException(20, 38, "a").Message(),
                 "FileException. File: a Cause: End Of File");
    for (int outside : {21, 25, -1}) {
        EXPECT_STREQ(QLC_FileException(outside, -1, "a").Message(),
                     "FileException. File: a Cause: Unknown");
    }
}

TEST(FileExceptionMessage, SecondConstructorKeepsTheGivenMessageAndHasNoOsError) {
    QLC_FileException e("arch.wad", 15, "File: arch.wad Chunk: NONE Offset: 0 - detail");
    EXPECT_STREQ(e.Message(), "File: arch.wad Chunk: NONE Offset: 0 - detail");
    EXPECT_EQ(std::make_pair(e.Cause(), e.OsError()), std::make_pair(15, -1));
    EXPECT_EQ(e.FileName(), "arch.wad");
}

TEST(ThrowOsError, ZeroReturnsAndOtherErrorsThrowTheMappedCause) {
    RecordingServices services;
    EXPECT_NO_THROW(QLC_ThrowOsError(0, "f"));
    EXPECT_TRUE(services.calls.empty());
    const QLC_FileException other = FileErrorOf([] { QLC_ThrowOsError(998, ""); });
    EXPECT_EQ(std::make_pair(other.Cause(), other.OsError()), std::make_pair(1, 998));
}

TEST(FileExceptionThrow, TracesTheMessageWithTheOsErrorBeforeThrowing) {
    RecordingServices services;
    EXPECT_THROW(QLC_FileException::Throw(17, 32, "locked.dat"), QLC_FileException);
    EXPECT_EQ(services.Only("Trace").text,
              "FileException. File: locked.dat Cause: Sharing Violation, OS error info = 32.\n");
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
