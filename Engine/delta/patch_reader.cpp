#include "patch_reader.h"

#include <cstring>

#include "varint.h"

namespace tpe {

namespace {
constexpr size_t kPatchBufferSize = 64 << 10;
}

PatchReader::PatchReader(DeltaPatchSource& source) : source_(source), buffer_(kPatchBufferSize) {}

bool PatchReader::Fill() {
    if (pos_ < end_)
        return true;
    if (ended_ || failed_)
        return false;
    long long got = source_.Read(buffer_.data(), buffer_.size());
    if (got < 0 || static_cast<unsigned long long>(got) > buffer_.size()) {
        failed_ = true;
        return false;
    }
    if (got == 0) {
        ended_ = true;
        return false;
    }
    pos_ = 0;
    end_ = static_cast<size_t>(got);
    return true;
}

size_t PatchReader::ReadSome(void* buffer, size_t size) {
    if (size == 0 || !Fill())
        return 0;
    size_t take = end_ - pos_ < size ? end_ - pos_ : size;
    std::memcpy(buffer, buffer_.data() + pos_, take);
    hash_.Update(buffer_.data() + pos_, take);
    pos_ += take;
    return take;
}

bool PatchReader::ReadExact(void* buffer, size_t size) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        size_t got = ReadSome(out, size);
        if (got == 0)
            return false;
        out += got;
        size -= got;
    }
    return true;
}

bool PatchReader::ReadVarint(uint64_t& value) {
    uint8_t bytes[kMaxVarintBytes];
    size_t count = 0;
    do {
        if (count == kMaxVarintBytes || !ReadExact(bytes + count, 1))
            return false;
    } while (bytes[count++] & 0x80);
    const uint8_t* pos = bytes;
    return GetVarint(pos, bytes + count, value);
}

bool PatchReader::AtEnd() {
    return !Fill() && !failed_;
}

}  // namespace tpe
