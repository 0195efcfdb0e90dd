// Assertions on the code's own assumptions. A failed check is reported through the services
// object and may show the assertion box; a site whose box was answered Ignore stays silent.
#pragma once

#include <cstddef>

// Library sources name themselves (for example "Source\\System\\Thread") by defining this before
// their first include; other code reports its compiler path.
#ifndef QLD_SOURCE_FILE
#define QLD_SOURCE_FILE __FILE__
#endif

#define QLD_ASSERT(expr)                                                               \
    do {                                                                               \
        static bool qld_site_silenced = false;                                         \
        if (!qld_site_silenced && !(expr)) {                                           \
            qld_site_silenced = QLC_ReportAssertion(#expr, QLD_SOURCE_FILE, __LINE__); \
        }                                                                              \
    } while (0)

// Reports a failed assertion; true when the site is to be silenced (the user chose Ignore).
bool QLC_ReportAssertion(const char* expression, const char* file, int line);

// Size of the assertion box text, terminator included.
constexpr size_t QLD_ASSERT_TEXT_SIZE = 540;

// Builds the box text into text (QLD_ASSERT_TEXT_SIZE bytes), shortening the program path, the
// source file and the expression so that lines stay within 60 characters and the whole fits.
void QLC_FormatAssertionText(char* text, const char* program, const char* file, int line,
                             const char* expression);
