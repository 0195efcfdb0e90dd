// The texts follow the user's default language (see RegisteredLanguage.h for the language runs).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "MessageText.h"
#include "RegisteredLanguage.h"

namespace {

struct Expected {
    const char* title;
    const char* changeList;
};

// The texts as LoadMessage gives them, in the Western European ANSI code page. Languages without
// a translation of their own fall back to United States English.
Expected ExpectedFor(WORD language) {
    switch (PRIMARYLANGID(language)) {
        case LANG_GERMAN:
            return {"Tessaly Aktualisierungsprogramm", "version_de.txt"};
        case LANG_FRENCH:
            return {"Utilitaire de mise \xE0 jour Tessaly", "version_fr.txt"};
        case LANG_ITALIAN:
            return {"Programma di aggiornamento di Tessaly", "version_it.txt"};
        case LANG_SPANISH:
            return {"Programa de actualizaci\xF3n de Tessaly", "version_es.txt"};
        default:
            return {"Tessaly Update Utility", "version.txt"};
    }
}

TEST(UserLanguage, TextsFollowTheUserLanguage) {
    ASSERT_TRUE(InRegisteredLanguage());
    const Expected expected = ExpectedFor(GetUserDefaultLangID());
    EXPECT_EQ(LoadMessage(MSG_TITLE), expected.title);
    EXPECT_EQ(LoadMessage(MSG_CHANGE_LIST_FILE), expected.changeList);
}

}  // namespace
