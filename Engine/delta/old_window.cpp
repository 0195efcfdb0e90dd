#include "old_window.h"

namespace tpe {

OldWindow::OldWindow(DeltaOldSource& source, size_t pageSize, size_t pageCount)
    : source_(source),
      oldSize_(source.Size()),
      // A small old file needs no more than its own size per page.
      pageSize_(oldSize_ > 0 && oldSize_ < pageSize ? static_cast<size_t>(oldSize_) : pageSize),
      memory_(new uint8_t[pageSize_ * pageCount]),
      pages_(pageCount),
      sets_(pageCount / kWays > 0 ? pageCount / kWays : 1) {}

size_t OldWindow::Find(uint64_t start) const {
    const size_t first = static_cast<size_t>((start / pageSize_) % sets_) * kWays;
    const size_t end = first + kWays < pages_.size() ? first + kWays : pages_.size();
    size_t oldest = first;
    for (size_t i = first; i < end; ++i) {
        if (pages_[i].start == start) {
            return i;
        }
        if (pages_[i].lastUse < pages_[oldest].lastUse) {
            oldest = i;
        }
    }
    return oldest;
}

bool OldWindow::Get(uint64_t offset, size_t size, const uint8_t*& data, size_t& available) {
    if (offset >= oldSize_)
        return false;
    const uint64_t start = offset - offset % pageSize_;
    size_t slot = lastHit_;
    if (pages_[slot].start != start) {
        slot = Find(start);
        if (pages_[slot].start != start) {
            uint64_t left = oldSize_ - start;
            size_t load = left < pageSize_ ? static_cast<size_t>(left) : pageSize_;
            pages_[slot].start = UINT64_MAX;
            if (!source_.ReadAt(start, memory_.get() + slot * pageSize_, load))
                return false;
            pages_[slot].start = start;
            pages_[slot].filled = load;
        }
    }
    Page& page = pages_[slot];
    page.lastUse = ++clock_;
    lastHit_ = slot;
    const size_t inside = static_cast<size_t>(offset - start);
    data = memory_.get() + slot * pageSize_ + inside;
    available = page.filled - inside < size ? page.filled - inside : size;
    return true;
}

}  // namespace tpe
