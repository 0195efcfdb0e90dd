#include "System/Path.h"

#include <windows.h>

#include <cstring>

namespace {

// Position of the last separator, -1 when there is none.
int LastSeparator(const QLC_String& path) {
    return path.FindLastOf("/\\");
}

bool EndsInSeparator(const QLC_String& path) {
    return !path.IsEmpty() && IsPathSeparator(path[path.Length() - 1]);
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char UpperChar(char c) {
    return static_cast<char>(reinterpret_cast<DWORD_PTR>(CharUpperA(
        reinterpret_cast<LPSTR>(static_cast<DWORD_PTR>(static_cast<unsigned char>(c))))));
}

// Length in bytes of the character at text (1, or 2 for a double-byte character).
size_t CharLength(const char* text) {
    return IsDBCSLeadByte(static_cast<BYTE>(text[0])) && text[1] != '\0' ? 2 : 1;
}

}  // namespace

bool IsPathSeparator(char c) {
    return c == '/' || c == '\\';
}

int ReplaceChar(QLC_String& text, char from, char to) {
    int count = 0;
    size_t i = 0;
    while (i < text.Length()) {
        const size_t step = CharLength(text.c_str() + i);
        if (step == 1 && text[i] == from) {
            text.SetAt(i, to);
            ++count;
        }
        i += step;
    }
    return count;
}

QLC_String ToForwardSlashes(QLC_String text) {
    ReplaceChar(text, '\\', '/');
    return text;
}

QLC_String ToBackslashes(QLC_String text) {
    ReplaceChar(text, '/', '\\');
    return text;
}

QLC_String AddTrailingSlash(const QLC_String& path) {
    if (path.IsEmpty() || EndsInSeparator(path)) {
        return path;
    }
    QLC_String result = path;
    result += '/';
    return result;
}

QLC_String RemoveTrailingSlash(const QLC_String& path) {
    return EndsInSeparator(path) ? path.Left(path.Length() - 1) : path;
}

QLC_String GetFileName(const QLC_String& path) {
    int cut = LastSeparator(path);
    if (cut < 0) {
        cut = path.FindLastOf(":");
    }
    return cut < 0 ? path : path.Mid(cut + 1);
}

QLC_String GetDirectory(const QLC_String& path) {
    const int separator = LastSeparator(path);
    if (separator >= 0) {
        return path.Left(separator);
    }
    const int colon = path.FindLastOf(":");
    return colon >= 0 ? path.Left(colon + 1) : QLC_String();
}

QLC_String GetExtension(const QLC_String& path) {
    const QLC_String name = GetFileName(path);
    const int dot = name.FindLastOf(".");
    return dot < 0 ? QLC_String() : name.Mid(dot + 1);
}

QLC_String JoinPath(const QLC_String& a, const QLC_String& b) {
    const bool b_rooted = !b.IsEmpty() && IsPathSeparator(b[0]);
    QLC_String result = a;
    if (!b_rooted && !a.IsEmpty() && !EndsInSeparator(a)) {
        result += '/';
    }
    if (b_rooted) {
        result = RemoveTrailingSlash(result);
    }
    result += b;
    return result;
}

QLC_String JoinPathNative(const QLC_String& a, const QLC_String& b) {
    const QLC_String joined = JoinPath(a, b);
    size_t start = 0;
    size_t end = joined.Length();
    while (start < end && IsSpace(joined[start])) {
        ++start;
    }
    while (end > start && IsSpace(joined[end - 1])) {
        --end;
    }
    QLC_String result = joined.Mid(start, end - start);
    ReplaceChar(result, '/', '\\');
    return result;
}

QLC_String MakeSearchPattern(const QLC_String& directory) {
    // A text that is a pattern already stays one: a separator after "*.*" would match nothing.
    if (directory.Find("*.*") >= 0) {
        return directory;
    }
    QLC_String pattern = AddTrailingSlash(directory);
    pattern += "*.*";
    return pattern;
}

const char* FindNoCase(const char* text, const char* part) {
    for (const char* start = text;; start += CharLength(start)) {
        const char* t = start;
        const char* p = part;
        while (*p != '\0' && *t != '\0') {
            const size_t length = CharLength(p);
            if (length != CharLength(t)) {
                break;
            }
            if (length == 1 ? UpperChar(*t) != UpperChar(*p) : std::memcmp(t, p, 2) != 0) {
                break;
            }
            t += length;
            p += length;
        }
        if (*p == '\0') {
            return start;
        }
        if (*start == '\0') {
            return nullptr;
        }
    }
}
