#include <gtest/gtest.h>

#include "Utility/String.h"

TEST(StringSharing, CopiesShareUntilOneChanges) {
    QLC_String a("patch");
    QLC_String b(a);
    EXPECT_EQ(a.c_str(), b.c_str());
    b.SetAt(0, 'c');
    EXPECT_STREQ(a.c_str(), "patch");
    EXPECT_STREQ(b.c_str(), "catch");
    QLC_String c;
    c = a;
    c += "es";
    EXPECT_STREQ(a.c_str(), "patch");
    EXPECT_STREQ(c.c_str(), "patches");
}

TEST(StringSharing, AppendingItselfOrAPartOfItself) {
    QLC_String a("ab");
    a.Append(a);
    EXPECT_STREQ(a.c_str(), "abab");
    a.Append(a.c_str() + 1);
    EXPECT_STREQ(a.c_str(), "ababbab");
}

TEST(StringFormat, TheConversionsTheProgramUses) {
    EXPECT_STREQ(
        QLC_String::Format("File=\"%s\" Len=%d Check=%u", "a.dat", -5, 4294967295u).c_str(),
        "File=\"a.dat\" Len=-5 Check=4294967295");
    EXPECT_STREQ(QLC_String::Format("drive %c: 100%%", 'C').c_str(), "drive C: 100%");
    EXPECT_STREQ(QLC_String::Format("[%5d|%-4s|%03u|%x|%X]", 42, "ab", 7u, 255u, 255u).c_str(),
                 "[   42|ab  |007|ff|FF]");
    EXPECT_STREQ(QLC_String::Format("%d", -2147483647 - 1).c_str(), "-2147483648");
    EXPECT_STREQ(QLC_String::Format("%s", static_cast<const char*>(nullptr)).c_str(), "(null)");
}

// Unknown conversions and a trailing percent stay as written; huge widths stay bounded.
TEST(StringFormat, OddFormatsAreSafe) {
    EXPECT_STREQ(QLC_String::Format("%q %s %", "x").c_str(), "%q x %");
    EXPECT_EQ(QLC_String::Format("%99999999d", 1).Length(), 1024u);
}

TEST(StringText, InsertLeftMidAndSearches) {
    QLC_String s("C:/Games/Tessaly/ts2.exe");
    EXPECT_EQ(s.FindLastOf("/\\"), 16);
    EXPECT_EQ(QLC_String("none").FindLastOf("/\\"), -1);
    EXPECT_STREQ(s.Left(2).c_str(), "C:");
    EXPECT_STREQ(s.Left(100).c_str(), s.c_str());
    EXPECT_STREQ(s.Mid(17).c_str(), "ts2.exe");
    EXPECT_STREQ(s.Mid(3, 5).c_str(), "Games");
    EXPECT_TRUE(s.Mid(99).IsEmpty());
    EXPECT_EQ(s.Find("Tess"), 9);
    EXPECT_EQ(s.Find("Tess", 10), -1);
    QLC_String n("1234567");
    n.Insert(1, ",").Insert(5, ",");
    EXPECT_STREQ(n.c_str(), "1,234,567");
    n.Insert(100, "!");
    EXPECT_STREQ(n.c_str(), "1,234,567!");
}

TEST(StringText, ComparisonsAndCase) {
    EXPECT_TRUE(QLC_String("Abc") != QLC_String("abc"));
    EXPECT_TRUE(QLC_String("Abc").EqualsNoCase("aBC"));
    EXPECT_FALSE(QLC_String("Abc").EqualsNoCase("aBCd"));
    EXPECT_STREQ(QLC_String("NoBackup").ToLower().c_str(), "nobackup");
    EXPECT_TRUE(QLC_String() == "");
    EXPECT_EQ(QLC_String()[3], 0);
}
