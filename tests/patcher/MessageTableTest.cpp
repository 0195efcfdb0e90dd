// The string table as compiled into the program: which language ids carry it, and whether every
// translation fits the code that formats and shows it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "MessageIds.h"
#include "StringBlock.h"

namespace {

const WORD kEnglish = 1033;

struct Language {
    const char* name;
    std::vector<WORD> ids;
};

const std::vector<Language> kLanguages = {
    {"English", {1033}},
    {"German", {1031, 2055, 3079, 4103, 5127}},
    {"French", {1036, 2060, 3084, 4108, 5132, 6156}},
    {"Italian", {1040, 2064}},
    {"Spanish", {1034,  2058,  3082,  4106,  5130,  6154,  7178,  8202,  9226,  10250,
                 11274, 12298, 13322, 14346, 15370, 16394, 17418, 18442, 19466, 20490}},
};

// The text of message `id` stored under exactly `language`, as UTF-8.
std::string Message(int id, WORD language) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC block = FindStringBlock(module, id, language);
    StringBlockEntry entry;
    if (!block || !ReadStringBlockEntry(module, block, id, &entry)) {
        ADD_FAILURE() << "no message " << id << " under language " << language;
        return "";
    }
    std::string text;
    if (entry.length > 0) {
        const int bytes =
            WideCharToMultiByte(CP_UTF8, 0, entry.text, entry.length, nullptr, 0, nullptr, nullptr);
        text.resize(static_cast<size_t>(bytes));
        WideCharToMultiByte(CP_UTF8, 0, entry.text, entry.length, &text[0], bytes, nullptr,
                            nullptr);
    }
    return text;
}

// The printf conversions of a text in order ("%%" is a literal percent sign).
std::vector<std::string> Placeholders(const std::string& text) {
    std::vector<std::string> found;
    for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at)) {
        size_t end = at + 1;
        while (end < text.size() && !isalpha(static_cast<unsigned char>(text[end])) &&
               text[end] != '%') {
            ++end;
        }
        if (end < text.size() && text[end] != '%') {
            found.push_back(text.substr(at, end - at + 1));
        }
        at = end + 1;
    }
    return found;
}

// Byte length in the Western European ANSI code page; -1 if a character has no place in it.
int AnsiLength(const std::string& utf8) {
    const int chars =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], chars);
    BOOL usedDefault = FALSE;
    const int bytes = WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, wide.data(), chars, nullptr,
                                          0, nullptr, &usedDefault);
    return usedDefault ? -1 : bytes;
}

// Which blocks and language ids the program file carries is checked on the file itself
// (check_string_tables.sh). The tests after this one read each language under its first id.
TEST(MessageTable, EveryMessageTheSameUnderAllIdsOfALanguage) {
    for (const Language& language : kLanguages) {
        for (WORD id : language.ids) {
            SCOPED_TRACE(testing::Message() << language.name << " under " << id);
            for (int message = MSG_FIRST; message <= MSG_LAST; ++message) {
                EXPECT_NE(Message(message, id), "") << message;
                EXPECT_EQ(Message(message, id), Message(message, language.ids[0])) << message;
            }
        }
    }
}

// Callers format these texts with fixed argument lists, cut them into log lines and sentences
// that other messages continue, and show them in the Western European ANSI code page. Names,
// addresses and punctuation stay the same in every language (French spells "version" the
// English way); the rest is translated.
TEST(MessageTable, TranslationsFitTheCodeThatShowsThem) {
    const std::set<int> shared = {MSG_PRODUCT_NAME,   MSG_OK,           MSG_WEB_ADDRESS,
                                  MSG_LIST_SEPARATOR, MSG_VERSION_WORD, MSG_VERSIONS_WORD};
    int longest = 0;
    for (const Language& language : kLanguages) {
        for (int id = MSG_FIRST; id <= MSG_LAST; ++id) {
            SCOPED_TRACE(testing::Message() << language.name << ", message " << id);
            const std::string english = Message(id, kEnglish);
            const std::string text = Message(id, language.ids[0]);
            EXPECT_EQ(Placeholders(text), Placeholders(english));
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
                      std::count(english.begin(), english.end(), '\n'));
            EXPECT_EQ(text.back() == ' ', english.back() == ' ');
            if (language.ids[0] != kEnglish && shared.count(id) == 0) {
                EXPECT_NE(text, english) << "left in English";
            }
            const int bytes = AnsiLength(text);
            EXPECT_GT(bytes, 0) << "a character outside code page 1252";
            EXPECT_LE(bytes, 235);
            longest = std::max(longest, bytes);
        }
    }
    EXPECT_GT(longest, 200);  // the table really was read
}

// The installation check quotes the product, and the change-list question names the very file
// that a yes opens.
TEST(MessageTable, QuotesAroundTheProductAndTheChangeListFile) {
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.name);
        const std::string checking = Message(MSG_CHECKING_INSTALLATION, language.ids[0]);
        const size_t first = checking.find('%');
        ASSERT_NE(first, std::string::npos);
        EXPECT_EQ(checking.compare(first - 1, 4, "\"%s\""), 0) << checking;
        const std::string file = Message(MSG_CHANGE_LIST_FILE, language.ids[0]);
        EXPECT_NE(Message(MSG_VIEW_CHANGES_QUESTION, language.ids[0]).find("\"" + file + "\""),
                  std::string::npos);
    }
}

}  // namespace
