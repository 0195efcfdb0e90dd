#include "executable_layout.h"

#include <cstring>

#include "little_endian.h"

namespace tpe {
namespace {

// Little-endian field reads that refuse to go past the end of the file.
class Fields {
public:
    Fields(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Has(uint64_t offset, uint64_t count) const {
        return offset <= m_size && count <= m_size - offset;
    }
    uint64_t Get(uint64_t offset, int bytes) const { return GetLe(m_data + offset, bytes); }

private:
    const uint8_t* m_data;
    size_t m_size;
};

bool AddSegment(uint64_t fileOffset, uint64_t size, uint64_t address, bool code, uint64_t fileSize,
                ExecutableLayout& layout) {
    if (size == 0) {
        return true;
    }
    if (fileOffset > fileSize || size > fileSize - fileOffset || size > UINT64_MAX - address ||
        layout.segments.size() == kMaxCodeSegments) {
        return false;
    }
    layout.segments.push_back({fileOffset, size, address, code});
    return true;
}

bool ReadElf(const Fields& f, uint64_t size, ExecutableLayout& layout) {
    constexpr uint64_t kLoad = 1, kExecute = 1;
    if (!f.Has(0, 64)) {
        return false;
    }
    const bool is64 = f.Get(4, 1) == 2;
    if ((f.Get(4, 1) != 1 && !is64) || f.Get(5, 1) != 1) {
        return false;  // little-endian only
    }
    const uint64_t machine = f.Get(18, 2);
    if (machine != (is64 ? 62u : 3u)) {
        return false;  // x86-64 / i386
    }
    layout.is64 = is64;
    const uint64_t tableOffset = is64 ? f.Get(32, 8) : f.Get(28, 4);
    const uint64_t entrySize = f.Get(is64 ? 54 : 42, 2);
    const uint64_t count = f.Get(is64 ? 56 : 44, 2);
    if (entrySize < (is64 ? 56u : 32u) || tableOffset > size) {
        return false;
    }
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t at = tableOffset + i * entrySize;
        if (!f.Has(at, entrySize)) {
            return false;
        }
        if (f.Get(at, 4) != kLoad) {
            continue;
        }
        const uint64_t flags = f.Get(at + (is64 ? 4 : 24), 4);
        const uint64_t offset = is64 ? f.Get(at + 8, 8) : f.Get(at + 4, 4);
        const uint64_t address = is64 ? f.Get(at + 16, 8) : f.Get(at + 8, 4);
        const uint64_t fileSize = is64 ? f.Get(at + 32, 8) : f.Get(at + 16, 4);
        if (!AddSegment(offset, fileSize, address, (flags & kExecute) != 0, size, layout)) {
            return false;
        }
    }
    return true;
}

bool ReadPe(const Fields& f, uint64_t size, ExecutableLayout& layout) {
    constexpr uint64_t kCode = 0x20, kExecute = 0x20000000;
    if (!f.Has(0, 64)) {
        return false;
    }
    const uint64_t pe = f.Get(0x3c, 4);
    if (!f.Has(pe, 24) || f.Get(pe, 4) != 0x4550) {
        return false;  // "PE\0\0"
    }
    const uint64_t machine = f.Get(pe + 4, 2);
    if (machine != 0x8664 && machine != 0x14c) {
        return false;
    }
    layout.is64 = machine == 0x8664;
    const uint64_t sections = f.Get(pe + 6, 2);
    const uint64_t optional = pe + 24;
    const uint64_t optionalSize = f.Get(pe + 20, 2);
    if (!f.Has(optional, 32)) {
        return false;
    }
    const uint64_t magic = f.Get(optional, 2);
    if (magic != 0x10b && magic != 0x20b) {
        return false;
    }
    const uint64_t imageBase = magic == 0x20b ? f.Get(optional + 24, 8) : f.Get(optional + 28, 4);
    for (uint64_t i = 0; i < sections; ++i) {
        const uint64_t at = optional + optionalSize + i * 40;
        if (!f.Has(at, 40)) {
            return false;
        }
        const uint64_t virtualSize = f.Get(at + 8, 4);
        const uint64_t rva = f.Get(at + 12, 4);
        const uint64_t rawSize = f.Get(at + 16, 4);
        const uint64_t rawOffset = f.Get(at + 20, 4);
        const uint64_t flags = f.Get(at + 36, 4);
        const uint64_t mapped = virtualSize != 0 && virtualSize < rawSize ? virtualSize : rawSize;
        if (!AddSegment(rawOffset, mapped, imageBase + rva, (flags & (kCode | kExecute)) != 0, size,
                        layout)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ReadExecutableLayout(const uint8_t* data, size_t size, ExecutableLayout& layout) {
    return ReadExecutableLayout(data, size, size, layout);
}

bool ReadExecutableLayout(const uint8_t* data, size_t size, uint64_t fileSize,
                          ExecutableLayout& layout) {
    layout = ExecutableLayout();
    Fields fields(data, size);
    bool read = false;
    if (size >= 4 && std::memcmp(data,
                                 "\x7f"
                                 "ELF",
                                 4) == 0) {
        read = ReadElf(fields, fileSize, layout);
    } else if (size >= 2 && data[0] == 'M' && data[1] == 'Z') {
        read = ReadPe(fields, fileSize, layout);
    }
    if (!read) {
        return false;
    }
    for (const CodeSegment& segment : layout.segments) {
        if (segment.code) {
            return true;
        }
    }
    return false;
}

}  // namespace tpe
