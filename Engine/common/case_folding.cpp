#include "case_folding.h"

namespace tpe {
namespace {

// Ranges where upper and lower case alternate: the even code point is the capital.
bool InAlternatingRange(char32_t c) {
    return (c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177) ||
           (c >= 0x1DE && c <= 0x1EF) || (c >= 0x1F8 && c <= 0x21F) || (c >= 0x222 && c <= 0x233) ||
           (c >= 0x3D8 && c <= 0x3EF) || (c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) ||
           (c >= 0x4D0 && c <= 0x52F) || (c >= 0x1E00 && c <= 0x1E95) ||
           (c >= 0x1EA0 && c <= 0x1EFF);
}

// Ranges where the capital is the odd code point before it.
bool InOddCapitalRange(char32_t c) {
    return (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E) || (c >= 0x4C1 && c <= 0x4CE);
}

bool DecodeUtf8(const std::string& text, std::u32string* out) {
    static const char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const size_t extra = lead < 0x80           ? 0
                             : (lead >> 5) == 0x6  ? 1
                             : (lead >> 4) == 0xE  ? 2
                             : (lead >> 3) == 0x1E ? 3
                                                   : 4;
        if (extra == 4 || text.size() - i <= extra) {
            return false;  // not a lead byte, or cut short
        }
        char32_t c = extra == 0 ? lead : lead & (0x3Fu >> extra);
        for (size_t k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            c = (c << 6) | (next & 0x3F);
        }
        if (c < kLeast[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            return false;  // overlong or not a character
        }
        out->push_back(c);
        i += extra + 1;
    }
    return true;
}

void EncodeUtf8(char32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back(char(c));
    } else if (c < 0x800) {
        out->push_back(char(0xC0 | (c >> 6)));
        out->push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(char(0xE0 | (c >> 12)));
        out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(char(0x80 | (c & 0x3F)));
    } else {
        out->push_back(char(0xF0 | (c >> 18)));
        out->push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(char(0x80 | (c & 0x3F)));
    }
}

// Windows-1252's bytes 0x80 to 0x9F as code points; the rest of the page is Latin-1.
char32_t FromWindows1252(unsigned char byte) {
    static const char16_t kHigh[32] = {
        0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021, 0x2C6,  0x2030, 0x160,
        0x2039, 0x152,  0x8D,   0x17D,  0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
}

}  // namespace

char32_t FoldedCodePoint(char32_t c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
        return c - 0x20;
    }
    if (c == 0xFF) {
        return 0x178;
    }
    if (InAlternatingRange(c)) {
        return c & ~char32_t(1);
    }
    if (InOddCapitalRange(c)) {
        return (c & 1) ? c : c - 1;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) {
        return c - 0x20;  // Greek
    }
    if (c == 0x3C2) {
        return 0x3A3;  // final sigma
    }
    if (c >= 0x3AC && c <= 0x3AF) {
        return c == 0x3AC ? 0x386 : c - 0x25;  // Greek with tonos
    }
    if (c == 0x3CC) {
        return 0x38C;
    }
    if (c == 0x3CD || c == 0x3CE) {
        return c - 0x3F;
    }
    if (c >= 0x430 && c <= 0x44F) {
        return c - 0x20;  // Cyrillic
    }
    if (c >= 0x450 && c <= 0x45F) {
        return c - 0x50;
    }
    if (c >= 0x561 && c <= 0x586) {
        return c - 0x30;  // Armenian
    }
    if (c >= 0x24D0 && c <= 0x24E9) {
        return c - 0x1A;  // circled letters
    }
    if (c >= 0xFF41 && c <= 0xFF5A) {
        return c - 0x20;  // full-width Latin
    }
    return c;
}

std::string FoldedName(const std::string& name) {
    std::u32string points;
    const bool utf8 = DecodeUtf8(name, &points);
    if (!utf8) {
        points.clear();
        for (char byte : name) {
            points.push_back(FromWindows1252(static_cast<unsigned char>(byte)));
        }
    }
    std::string out;
    out.reserve(name.size());
    for (char32_t c : points) {
        EncodeUtf8(FoldedCodePoint(c), &out);
    }
    return out;
}

}  // namespace tpe
