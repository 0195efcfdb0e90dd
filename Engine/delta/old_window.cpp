#include "old_window.h"

namespace tpe {

OldWindow::OldWindow(DeltaOldSource& source, size_t pageSize, size_t pageCount)
    : source_(source),
      oldSize_(source.Size()),
      // A small old file needs no more than its own size per page.
      pageSize_(oldSize_ > 0 && oldSize_ < pageSize ? static_cast<size_t>(oldSize_) : pageSize),
      memory_(new uint8_t[pageSize_ * pageCount]),
      pages_(pageCount) {}

bool OldWindow::Get(uint64_t offset, size_t size, const uint8_t*& data, size_t& available) {
    if (offset >= oldSize_)
        return false;
    const uint64_t start = offset - offset % pageSize_;
    size_t slot = lastHit_;
    if (pages_[slot].start != start) {
        slot = 0;
        bool found = false;
        for (size_t i = 0; i < pages_.size() && !found; ++i) {
            if (pages_[i].start == start) {
                slot = i;
                found = true;
            } else if (pages_[i].lastUse < pages_[slot].lastUse) {
                slot = i;
            }
        }
        if (!found) {
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
