// The printf-style formatting of QLC_String. Written here rather than taken from the C library
// so that only the conversions the program uses exist, widths are bounded, and a stray '%' in a
// translated text cannot read arguments that were never passed.

#include <cstring>

#include "String.h"

namespace {

const int kMaxWidth = 1024;

struct Spec {
    bool left = false;
    bool zero = false;
    int width = 0;
    int precision = -1;
    int longs = 0;  // number of 'l' modifiers
};

void Pad(QLC_String& out, int count, char fill) {
    for (int i = 0; i < count; ++i) {
        out.Append(fill);
    }
}

void Emit(QLC_String& out, const Spec& spec, const char* text, size_t length, bool numeric) {
    int padding = spec.width > static_cast<int>(length) ? spec.width - static_cast<int>(length) : 0;
    if (spec.left) {
        out.Append(text, length);
        Pad(out, padding, ' ');
    } else if (spec.zero && numeric) {
        // Zeros go after a sign.
        size_t sign = (length > 0 && text[0] == '-') ? 1 : 0;
        out.Append(text, sign);
        Pad(out, padding, '0');
        out.Append(text + sign, length - sign);
    } else {
        Pad(out, padding, ' ');
        out.Append(text, length);
    }
}

size_t Digits(char* end, unsigned long long value, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    size_t count = 0;
    do {
        *--end = digits[value % base];
        value /= base;
        ++count;
    } while (value);
    return count;
}

}  // namespace

QLC_String QLC_String::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    QLC_String result = FormatV(format, args);
    va_end(args);
    return result;
}

QLC_String QLC_String::FormatV(const char* format, va_list args) {
    QLC_String out;
    if (!format) {
        return out;
    }
    const char* p = format;
    while (*p) {
        const char* percent = std::strchr(p, '%');
        if (!percent) {
            out.Append(p);
            break;
        }
        out.Append(p, static_cast<size_t>(percent - p));
        const char* start = percent;
        p = percent + 1;
        Spec spec;
        for (;; ++p) {
            if (*p == '-') {
                spec.left = true;
            } else if (*p == '0') {
                spec.zero = true;
            } else {
                break;
            }
        }
        while (*p >= '0' && *p <= '9') {
            spec.width = spec.width * 10 + (*p++ - '0');
            if (spec.width > kMaxWidth) {
                spec.width = kMaxWidth;
            }
        }
        if (*p == '.') {
            spec.precision = 0;
            for (++p; *p >= '0' && *p <= '9'; ++p) {
                spec.precision = spec.precision * 10 + (*p - '0');
                if (spec.precision > kMaxWidth) {
                    spec.precision = kMaxWidth;
                }
            }
        }
        while (*p == 'l') {
            ++spec.longs;
            ++p;
        }
        char buffer[32];
        char* end = buffer + sizeof buffer;
        switch (*p) {
            case '%':
                out.Append('%');
                break;
            case 's': {
                const char* text = va_arg(args, const char*);
                if (!text) {
                    text = "(null)";
                }
                size_t length = std::strlen(text);
                if (spec.precision >= 0 && static_cast<size_t>(spec.precision) < length) {
                    length = static_cast<size_t>(spec.precision);
                }
                Emit(out, spec, text, length, false);
                break;
            }
            case 'c': {
                char c = static_cast<char>(va_arg(args, int));
                Emit(out, spec, &c, 1, false);
                break;
            }
            case 'd':
            case 'i': {
                long long value = spec.longs >= 2 ? va_arg(args, long long)
                                  : spec.longs == 1 ? va_arg(args, long)
                                                    : va_arg(args, int);
                unsigned long long magnitude =
                    value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                              : static_cast<unsigned long long>(value);
                size_t count = Digits(end, magnitude, 10, false);
                if (value < 0) {
                    *(end - count - 1) = '-';
                    ++count;
                }
                Emit(out, spec, end - count, count, true);
                break;
            }
            case 'u':
            case 'x':
            case 'X': {
                unsigned long long value = spec.longs >= 2 ? va_arg(args, unsigned long long)
                                           : spec.longs == 1 ? va_arg(args, unsigned long)
                                                             : va_arg(args, unsigned int);
                size_t count = Digits(end, value, *p == 'u' ? 10 : 16, *p == 'X');
                Emit(out, spec, end - count, count, true);
                break;
            }
            default:
                // Not a conversion we know: keep the text as written, consume nothing.
                if (*p == '\0') {
                    out.Append(start);
                    return out;
                }
                out.Append(start, static_cast<size_t>(p - start + 1));
                break;
        }
        ++p;
    }
    return out;
}
