#include "old_window.h"

namespace tpe {

OldWindow::OldWindow(DeltaOldSource& source, size_t windowSize)
    : source_(source), oldSize_(source.Size()), window_(windowSize) {}

bool OldWindow::Get(uint64_t offset, size_t size, const uint8_t*& data, size_t& available) {
    if (offset < start_ || offset >= start_ + filled_) {
        if (offset >= oldSize_)
            return false;
        uint64_t left = oldSize_ - offset;
        size_t load = left < window_.size() ? static_cast<size_t>(left) : window_.size();
        if (!source_.ReadAt(offset, window_.data(), load)) {
            filled_ = 0;
            return false;
        }
        start_ = offset;
        filled_ = load;
    }
    size_t inside = static_cast<size_t>(start_ + filled_ - offset);
    data = window_.data() + (offset - start_);
    available = inside < size ? inside : size;
    return true;
}

}  // namespace tpe
