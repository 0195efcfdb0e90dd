#pragma once
// Splits a patch-information line into fields. Leading white space and empty fields are passed
// over; a field may be quoted with " or ' to hold delimiters.

#include "Utility/String.h"

class FieldTokenizer {
public:
    FieldTokenizer(const QLC_String& text, const char* delimiters);

    // The next field; an empty text once the line is used up.
    QLC_String NextField();

private:
    QLC_String m_text;
    QLC_String m_delimiters;
    size_t m_position;
};

// Removes white space (space, tab, line feed, vertical tab, form feed, carriage return) from
// both ends.
QLC_String TrimWhiteSpace(const QLC_String& text);
