#pragma once
// Stamps the update program's version resource with what the update is, so that the file's
// properties in Explorer name the product and the versions. The utility is built with a version
// resource whose texts have room reserved; the stamp rewrites those texts in place, so no
// section, offset or size of the program changes.
#include <cstdint>
#include <string>
#include <vector>

namespace tpatch {

struct UpdateIdentity {
    std::string product;      // e.g. "Tessaly"
    std::string fromVersion;  // e.g. "1.1.5"
    std::string toVersion;    // e.g. "1.2.3"
};

enum class StampResult { Stamped, NoResource, Failed };

// Rewrites the texts ProductName, ProductVersion, FileDescription, UpdateFrom and UpdateTo and
// the fixed product version (when the to-version is up to four dotted numbers). Otherwise the
// image is unchanged and `error` says why (no version resource, a text that does not fit).
StampResult StampVersionResource(std::vector<uint8_t>* image, const UpdateIdentity& identity,
                                 std::string* error);

// Sets the PE header's checksum field to the checksum of the whole file as it now stands.
void UpdatePeChecksum(std::vector<uint8_t>* image);

}  // namespace tpatch
