#pragma once
// A growable array of texts. The starting capacity is a size hint, not a limit.

#include <cstddef>

#include "Utility/String.h"

class StringList {
public:
    explicit StringList(int capacity);
    StringList(const StringList&) = delete;
    StringList& operator=(const StringList&) = delete;
    ~StringList();

    // When full, grows to twice the capacity (at least count + 1, never below 4).
    void Append(const QLC_String& text);
    void Clear() { m_count = 0; }
    // Sorts ascending by `compare` (negative, zero or positive); equal texts in any order.
    void Sort(int (*compare)(const QLC_String&, const QLC_String&));

    int Count() const { return m_count; }
    int Capacity() const { return m_capacity; }
    // The empty text for an index out of range.
    const QLC_String& operator[](int index) const;

private:
    int m_count;
    int m_capacity;
    QLC_String* m_items;
};
