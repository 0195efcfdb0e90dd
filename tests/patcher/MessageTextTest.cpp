// The message lookup: buffer sizes, cuts, missing messages and hostile arguments. Run with the
// user language set to United States English.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
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

TEST(FindMessageText, CopiesWhatFitsTerminatedAndNeverOverruns) {
    // Sizes: room to spare, exactly room for the text and its terminator, one byte short of the
    // terminator, a word's worth, room for the terminator alone.
    for (int size : {63, kTitleLength + 1, kTitleLength, 8, 1}) {
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        const int copied = std::min(size, kTitleLength + 1);
        EXPECT_EQ(FindMessageText(MSG_TITLE, buffer, size), copied) << size;
        EXPECT_EQ(std::string(buffer), std::string(kTitle, copied - 1)) << size;
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
    EXPECT_TRUE(LoadMessage(400).IsEmpty());
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

// Whole texts with their line feeds are compared in the introduction and start dialog tests.
TEST(LoadMessage, ConvertsToTheAnsiCodePage) {
    ASSERT_EQ(GetACP(), 1252u) << "needs the Western European ANSI code page: run through CTest, "
                                  "whose registration sets LANG=en_US.UTF-8, with the package "
                                  "locales-all installed (scripts/setup does)";
    // The copyright sign is one byte, 0xA9, in code page 1252.
    EXPECT_EQ(LoadMessage(MSG_LEGAL_NOTICE).Find("Copyright \xA9 2003 "), 0);
}

}  // namespace
