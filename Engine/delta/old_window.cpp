#include "old_window.h"

namespace tpe {

OldWindow::OldWindow(DeltaOldSource& source, size_t pageSize, size_t pageCount)
    : m_source(source),
      m_oldSize(source.Size()),
      // A small old file needs no more than its own size per page.
      m_pageSize(m_oldSize > 0 && m_oldSize < pageSize ? static_cast<size_t>(m_oldSize) : pageSize),
      m_memory(new uint8_t[m_pageSize * pageCount]),
      m_pages(pageCount),
      m_sets(pageCount / kWays > 0 ? pageCount / kWays : 1) {}

size_t OldWindow::Find(uint64_t start) const {
    const size_t first = static_cast<size_t>((start / m_pageSize) % m_sets) * kWays;
    const size_t end = first + kWays < m_pages.size() ? first + kWays : m_pages.size();
    size_t oldest = first;
    for (size_t i = first; i < end; ++i) {
        if (m_pages[i].start == start) {
            return i;
        }
        if (m_pages[i].lastUse < m_pages[oldest].lastUse) {
            oldest = i;
        }
    }
    return oldest;
}

bool OldWindow::Get(uint64_t offset, size_t size, const uint8_t*& data, size_t& available) {
    if (offset >= m_oldSize) {
        return false;
    }
    const uint64_t start = offset - offset % m_pageSize;
    size_t slot = m_lastHit;
    if (m_pages[slot].start != start) {
        slot = Find(start);
        if (m_pages[slot].start != start) {
            uint64_t left = m_oldSize - start;
            size_t load = left < m_pageSize ? static_cast<size_t>(left) : m_pageSize;
            m_pages[slot].start = UINT64_MAX;
            if (!m_source.ReadAt(start, m_memory.get() + slot * m_pageSize, load)) {
                return false;
            }
            m_pages[slot].start = start;
            m_pages[slot].filled = load;
        }
    }
    Page& page = m_pages[slot];
    page.lastUse = ++m_clock;
    m_lastHit = slot;
    const size_t inside = static_cast<size_t>(offset - start);
    data = m_memory.get() + slot * m_pageSize + inside;
    available = page.filled - inside < size ? page.filled - inside : size;
    return true;
}

}  // namespace tpe
