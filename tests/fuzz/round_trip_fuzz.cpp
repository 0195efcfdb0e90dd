// libFuzzer entry point: an old and a new game build made from the input, a patch built between
// them, and the patch applied to a copy of the old build. The copy must then equal the new
// build exactly, whatever the files hold and however they moved between the builds.
//
// Input layout: records until the input ends, each
//   one byte:  the kind (top two bits: 0 only in the old build, 1 only in the new build, 2 the
//              same in both, 3 changed) and the place (low six bits: one of four folders, and
//              in it one of fifteen files or, for 15, an empty folder);
//   one byte:  how often the contents repeat (low four bits, plus one), so that files grow
//              larger than the input and have something for the matcher to find;
//   one byte:  the contents' length, then that many bytes;
//   changed files only: the position of the edit (a byte, in 256ths of the old contents), the
//              number of old bytes it removes, then a length byte and the bytes it inserts.
// The version file is always there and always changes. A later record for the same place
// replaces an earlier one.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine_test_support.h"

namespace {

using namespace tpe_test;

class InputBytes {
public:
    InputBytes(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool AtEnd() const { return m_offset >= m_size; }
    uint8_t Byte() { return AtEnd() ? 0 : m_data[m_offset++]; }
    // A length byte and up to that many bytes, fewer at the end of the input.
    std::string Chunk() {
        size_t length = Byte();
        length = std::min(length, m_size - std::min(m_offset, m_size));
        std::string chunk(reinterpret_cast<const char*>(m_data + m_offset), length);
        m_offset += length;
        return chunk;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_offset = 0;
};

std::string PlaceName(uint8_t place) {
    static const char* const kFolders[] = {"", "a/", "a/b/", "c/"};
    const std::string folder = kFolders[(place >> 4) & 3];
    const unsigned file = place & 15;
    return file == 15 ? folder + "empty/" : folder + "f" + std::to_string(file);
}

void MakeBuilds(InputBytes& input, TreeSpec* oldBuild, TreeSpec* newBuild) {
    (*oldBuild)["game.exe"] = "game 1.0";
    (*newBuild)["game.exe"] = "game 1.1";
    while (!input.AtEnd()) {
        const uint8_t head = input.Byte();
        const unsigned kind = head >> 6;
        const std::string name = PlaceName(head & 63);
        unsigned times = (input.Byte() & 15) + 1u;
        const bool folder = name.back() == '/';
        const std::string chunk = folder ? std::string() : input.Chunk();
        std::string contents;
        while (times-- > 0) {
            contents += chunk;
        }
        std::string changed = contents;
        if (kind == 3 && !folder) {
            const size_t at = changed.size() * input.Byte() / 256;
            changed.replace(at, input.Byte(), input.Chunk());
        }
        oldBuild->erase(name);
        newBuild->erase(name);
        if (kind != 1) {
            (*oldBuild)[name] = contents;
        }
        if (kind != 0) {
            (*newBuild)[name] = changed;
        }
    }
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "round trip: %s\n", what.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputBytes input(data, size);
    TreeSpec oldBuild;
    TreeSpec newBuild;
    MakeBuilds(input, &oldBuild, &newBuild);

    ScratchDir dir;
    WriteTree(dir / "old", oldBuild);
    WriteTree(dir / "new", newBuild);
    tpe::BuildRequest request = RequestFor(dir / "old", dir / "new");
    request.level = 1;
    request.threads = 1;
    std::string error;
    if (!TryBuild(request, dir / "patch.bin", &error)) {
        Fail("the builder refused two valid builds: " + error);
    }

    CopyTree(dir / "old", dir / "game");
    Recorder recorder;
    const tpe::EngineResult result =
        RunPass(tpe::EngineMode::Apply, dir / "patch.bin", dir / "game", recorder);
    if (result != tpe::EngineResult::Ok) {
        Fail("applying the patch failed");
    }
    // Compared with the new build as written, which has no folder left empty by a removal.
    const std::string diff = TreeDiff(ReadTree(dir / "game"), ReadTree(dir / "new"));
    if (!diff.empty()) {
        Fail("the patched build differs from the new one:\n" + diff);
    }
    return 0;
}
