// The message lookup: buffer sizes, cuts, missing messages and hostile arguments. Run with the
// user language set to United States English.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstring>
#include <string>

#include "MessageText.h"

namespace {

const char kTitle[] = "Tessaly Update Utility";
const int kTitleLength = sizeof(kTitle) - 1;

TEST(FindMessageText, SizeZeroGivesTheLengthAndANullBufferNothing) {
    EXPECT_EQ(FindMessageText(MSG_TITLE, nullptr, 0), kTitleLength);
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(FindMessageText(MSG_TITLE, buffer, 0), kTitleLength);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(FindMessageText(MSG_TITLE, nullptr, 64), 0);
}

TEST(FindMessageText, WholeTextIsCopiedAndTerminated) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(FindMessageText(MSG_TITLE, buffer, sizeof buffer), kTitleLength + 1);
    EXPECT_STREQ(buffer, kTitle);

    // Exactly room for the text and its terminator.
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(FindMessageText(MSG_TITLE, buffer, kTitleLength + 1), kTitleLength + 1);
    EXPECT_STREQ(buffer, kTitle);
}

TEST(FindMessageText, ShortBufferIsCutTerminatedAndNeverOverrun) {
    // Sizes: a word's worth, one byte short of the terminator, room for the terminator alone.
    for (int size : {8, kTitleLength, 1}) {
        char buffer[32];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(FindMessageText(MSG_TITLE, buffer, size), size);
        EXPECT_EQ(std::string(buffer), std::string(kTitle, size - 1)) << size;
        EXPECT_EQ(buffer[size], 'x') << size;
    }
}

TEST(FindMessageText, MissingMessages) {
    char buffer[8];
    // An empty position of an existing block is an empty text.
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(FindMessageText(100, buffer, sizeof buffer), 1);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(FindMessageText(100, nullptr, 0), 0);
    // A message whose block does not exist leaves the buffer alone.
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(FindMessageText(400, buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(FindMessageText(400, nullptr, 0), 0);
}

TEST(FindMessageText, HostileArgumentsGiveZero) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(FindMessageText(MSG_TITLE, buffer, -1), 0);
    EXPECT_EQ(FindMessageText(-1, buffer, sizeof buffer), 0);
    EXPECT_EQ(FindMessageText(INT_MIN, buffer, sizeof buffer), 0);
    EXPECT_EQ(FindMessageText(INT_MAX, buffer, sizeof buffer), 0);
    // Would wrap onto block 7 if the block number were cut to 16 bits.
    EXPECT_EQ(FindMessageText(0x10000 * 16 + MSG_TITLE, buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], 'x');
}

TEST(LoadMessage, GivesTheWholeTextWithItsLineFeedsOrNothing) {
    EXPECT_TRUE(LoadMessage(400).IsEmpty());
    EXPECT_EQ(LoadMessage(MSG_TITLE), kTitle);
    const QLC_String intro = LoadMessage(MSG_INTRO_IN_FOLDER);
    EXPECT_EQ(static_cast<int>(intro.Length()), FindMessageText(MSG_INTRO_IN_FOLDER, nullptr, 0));
    EXPECT_NE(intro.Find("installation found in\n%s\nfrom version"), -1);
}

TEST(LoadMessage, ConvertsToTheAnsiCodePage) {
    ASSERT_EQ(GetACP(), 1252u) << "needs the Western European ANSI code page: run through CTest, "
                                  "whose registration sets LANG=en_US.UTF-8, with the package "
                                  "locales-all installed (scripts/setup does)";
    // The copyright sign is one byte, 0xA9, in code page 1252.
    EXPECT_EQ(LoadMessage(MSG_LEGAL_NOTICE).Find("Copyright \xA9 2003 "), 0);
}

}  // namespace
