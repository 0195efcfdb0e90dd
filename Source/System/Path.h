// Path and text operations. The library's own separator is "/"; every operation accepts "/" and
// "\\" alike.
#pragma once

#include "Utility/String.h"

// Replaces every byte `from` by `to`, stepping over double-byte characters; returns the count.
int ReplaceChar(QLC_String& text, char from, char to);
QLC_String ToForwardSlashes(QLC_String text);
// The form the user sees: Windows' own "\\" separators.
QLC_String ToBackslashes(QLC_String text);

bool IsPathSeparator(char c);
QLC_String AddTrailingSlash(const QLC_String& path);
QLC_String RemoveTrailingSlash(const QLC_String& path);

// "C:readme.txt" gives "readme.txt" and "C:"; a bare name gives itself and "".
QLC_String GetFileName(const QLC_String& path);
QLC_String GetDirectory(const QLC_String& path);
// The text after the last "." of the file name; empty when it has none.
QLC_String GetExtension(const QLC_String& path);

// Joins with exactly one separator between the parts ("" and "file" give "file").
QLC_String JoinPath(const QLC_String& a, const QLC_String& b);
// JoinPath, trimmed of surrounding white space, with "\\" separators.
QLC_String JoinPathNative(const QLC_String& a, const QLC_String& b);
// A pattern that finds every entry of the directory: "dir/*.*".
QLC_String MakeSearchPattern(const QLC_String& directory);

// The first occurrence of part in text, ignoring case; null when absent.
const char* FindNoCase(const char* text, const char* part);
