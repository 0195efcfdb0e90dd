// The texts follow the user's default language (see RegisteredLanguage.h for the language runs).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "MessageText.h"
#include "RegisteredLanguage.h"

namespace {

// `utf8` in the ANSI code page, as LoadMessage gives its texts.
std::string ToAnsi(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(
        CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], wide.size())));
    std::string ansi(wide.size() * 2, '\0');
    ansi.resize(static_cast<size_t>(
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0],
                            static_cast<int>(ansi.size()), nullptr, nullptr)));
    return ansi;
}

struct Expected {
    const char* title;
    const char* changeList;
};

// Languages without a translation of their own fall back to United States English.
Expected ExpectedFor(WORD language) {
    switch (PRIMARYLANGID(language)) {
        case LANG_GERMAN:
            return {"Tessaly Aktualisierungsprogramm", "version_de.txt"};
        case LANG_FRENCH:
            return {"Utilitaire de mise à jour Tessaly", "version_fr.txt"};
        case LANG_ITALIAN:
            return {"Programma di aggiornamento di Tessaly", "version_it.txt"};
        case LANG_SPANISH:
            return {"Programa de actualización de Tessaly", "version_es.txt"};
        default:
            return {"Tessaly Update Utility", "version.txt"};
    }
}

TEST(UserLanguage, TextsFollowTheUserLanguage) {
    ASSERT_TRUE(InRegisteredLanguage());
    const Expected expected = ExpectedFor(GetUserDefaultLangID());
    EXPECT_EQ(std::string(LoadMessage(MSG_TITLE).c_str()), ToAnsi(expected.title));
    EXPECT_EQ(LoadMessage(MSG_CHANGE_LIST_FILE), expected.changeList);
}

}  // namespace
