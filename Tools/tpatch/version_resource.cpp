#include "version_resource.h"

#include <cstring>

#include "byte_io.h"

namespace tpatch {
namespace {

// A version resource is a tree of blocks: 2-byte total length, 2-byte value length, 2-byte
// type, the key in UTF-16 with its zero, padding to 4 bytes, the value, then child blocks.
constexpr size_t kHeader = 6;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;

std::vector<uint8_t> Utf16Key(const char* key) {
    std::vector<uint8_t> bytes;
    for (const char* c = key; *c; ++c) {
        bytes.push_back(uint8_t(*c));
        bytes.push_back(0);
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

size_t Align4(size_t offset) {
    return (offset + 3) & ~size_t(3);
}

// The offset of the block whose key is `key` within [begin, end), or 0 when there is none.
// Blocks start on 4-byte boundaries, which rules out the same text elsewhere in the program.
size_t FindBlock(const std::vector<uint8_t>& image, size_t begin, size_t end, const char* key) {
    std::vector<uint8_t> pattern = Utf16Key(key);
    for (size_t block = Align4(begin); block + kHeader + pattern.size() <= end; block += 4) {
        if (std::memcmp(&image[block + kHeader], pattern.data(), pattern.size()) == 0) {
            size_t length = tpe::GetLe(image.data() + block, 2);
            if (length >= kHeader + pattern.size() && block + length <= end) {
                return block;
            }
        }
    }
    return 0;
}

bool IsPlainText(const std::string& text) {
    for (char c : text) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

// Writes `text` as the value of the string block `key` below [begin, end), zero-filling the
// rest of the room the block reserves.
bool SetText(std::vector<uint8_t>* image, size_t begin, size_t end, const char* key,
             const std::string& text, std::string* error) {
    size_t block = FindBlock(*image, begin, end, key);
    if (block == 0) {
        *error = std::string("the program's version resource has no ") + key + " text";
        return false;
    }
    size_t value = Align4(block + kHeader + 2 * (std::strlen(key) + 1));
    size_t blockEnd = block + tpe::GetLe(image->data() + block, 2);
    // A block too short for its own padding has no room, not a room that wraps around.
    if (value + 2 > blockEnd) {
        *error = std::string("the program's version resource has no room for the ") + key + " text";
        return false;
    }
    size_t room = (blockEnd - value) / 2;  // UTF-16 units, zero included
    if (text.size() + 1 > room) {
        *error = std::string(key) + " \"" + text + "\" is longer than the " +
                 std::to_string(room - 1) + " characters the program's version resource holds";
        return false;
    }
    for (size_t i = 0; i < room; ++i) {
        tpe::PutLe(image->data() + value + 2 * i, i < text.size() ? uint8_t(text[i]) : 0, 2);
    }
    tpe::PutLe(image->data() + block + 2, uint32_t(text.size() + 1), 2);
    return true;
}

// "1.2.3" -> the four 16-bit parts of a fixed version; false for anything else.
bool NumericVersion(const std::string& text, uint16_t parts[4]) {
    int count = 0;
    uint32_t part = 0;
    bool digits = false;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            part = part * 10 + uint32_t(text[i] - '0');
            digits = true;
            if (part > 0xFFFF) {
                return false;
            }
        } else if ((i == text.size() || text[i] == '.') && digits && count < 4) {
            parts[count++] = uint16_t(part);
            part = 0;
            digits = false;
        } else {
            return false;
        }
    }
    for (int i = count; i < 4; ++i) {
        parts[i] = 0;
    }
    return true;
}

}  // namespace

StampResult StampVersionResource(std::vector<uint8_t>* image, const UpdateIdentity& identity,
                                 std::string* error) {
    for (const std::string* text :
         {&identity.product, &identity.fromVersion, &identity.toVersion}) {
        if (!IsPlainText(*text)) {
            *error = "\"" + *text + "\" is not plain ASCII text; the version resource needs it";
            return StampResult::Failed;
        }
    }
    std::vector<uint8_t> stamped = *image;
    size_t root = FindBlock(stamped, 0, stamped.size(), "VS_VERSION_INFO");
    if (root == 0) {
        *error = "the program carries no version resource";
        return StampResult::NoResource;
    }
    size_t end = root + tpe::GetLe(stamped.data() + root, 2);
    std::string description = identity.product + " update from version " + identity.fromVersion +
                              " to " + identity.toVersion;
    if (!SetText(&stamped, root, end, "ProductName", identity.product, error) ||
        !SetText(&stamped, root, end, "ProductVersion", identity.toVersion, error) ||
        !SetText(&stamped, root, end, "FileDescription", description, error) ||
        !SetText(&stamped, root, end, "UpdateFrom", identity.fromVersion, error) ||
        !SetText(&stamped, root, end, "UpdateTo", identity.toVersion, error)) {
        return StampResult::Failed;
    }
    size_t fixed = Align4(root + kHeader + 2 * (std::strlen("VS_VERSION_INFO") + 1));
    uint16_t parts[4];
    if (tpe::GetLe(stamped.data() + root + 2, 2) >= 52 && fixed + 24 <= end &&
        tpe::GetLe(stamped.data() + fixed, 4) == kFixedInfoSignature &&
        NumericVersion(identity.toVersion, parts)) {
        tpe::PutLe(stamped.data() + fixed + 16, uint32_t(parts[0]) << 16 | parts[1], 4);
        tpe::PutLe(stamped.data() + fixed + 20, uint32_t(parts[2]) << 16 | parts[3], 4);
    }
    image->swap(stamped);
    return StampResult::Stamped;
}

void UpdatePeChecksum(std::vector<uint8_t>* image) {
    std::vector<uint8_t>& b = *image;
    if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') {
        return;
    }
    // The PE signature, the file header, then 64 bytes into the optional header.
    size_t field = size_t(tpe::GetLe(b.data() + 0x3C, 4)) + 24 + 64;
    if (field + 4 > b.size()) {
        return;
    }
    uint64_t sum = 0;
    for (size_t at = 0; at < b.size(); at += 2) {
        if (at == field || at == field + 2) {
            continue;
        }
        sum += b[at] | (at + 1 < b.size() ? uint32_t(b[at + 1]) << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    tpe::PutLe(b.data() + field, uint32_t(sum + b.size()), 4);
}

}  // namespace tpatch
