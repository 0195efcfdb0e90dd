// Language runs: CTest starts a test program once more with LANG set, from which wine takes the
// user's language, and names the language id that should result in TESSALY_TEST_LANGID. A case
// that checks texts first makes sure it really runs in that language: a locale missing on the
// host would otherwise test the English texts again and pass.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

inline ::testing::AssertionResult InRegisteredLanguage() {
    const char* wanted = std::getenv("TESSALY_TEST_LANGID");
    if (!wanted) {
        return ::testing::AssertionFailure()
               << "TESSALY_TEST_LANGID is not set: run this case through CTest (ctest -R with "
                  "the program's name), whose registration sets LANG and TESSALY_TEST_LANGID";
    }
    const LANGID language = GetUserDefaultLangID();
    if (language != std::atoi(wanted)) {
        const char* lang = std::getenv("LANG");
        return ::testing::AssertionFailure()
               << "the user language is " << language << ", not " << wanted << ": the locale "
               << (lang ? lang : "(LANG is not set)")
               << " is missing on this machine; install the package locales-all (scripts/setup "
                  "does)";
    }
    return ::testing::AssertionSuccess();
}
