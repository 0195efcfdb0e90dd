#include "patchinfo/StringList.h"

#include <algorithm>

StringList::StringList(int capacity)
    : m_count(0),
      m_capacity(capacity > 0 ? capacity : 0),
      m_items(m_capacity ? new QLC_String[m_capacity] : nullptr) {}

StringList::~StringList() {
    delete[] m_items;
}

void StringList::Append(const QLC_String& text) {
    if (m_count == m_capacity) {
        int grown = m_capacity * 2;
        if (grown < m_count + 1) {
            grown = m_count + 1;
        }
        if (grown < 4) {
            grown = 4;
        }
        QLC_String* items = new QLC_String[grown];
        for (int i = 0; i < m_count; ++i) {
            items[i] = m_items[i];
        }
        delete[] m_items;
        m_items = items;
        m_capacity = grown;
    }
    m_items[m_count++] = text;
}

const QLC_String& StringList::operator[](int index) const {
    static const QLC_String empty;
    return index >= 0 && index < m_count ? m_items[index] : empty;
}

void StringList::Sort(int (*compare)(const QLC_String&, const QLC_String&)) {
    std::sort(m_items, m_items + m_count,
              [compare](const QLC_String& a, const QLC_String& b) { return compare(a, b) < 0; });
}
