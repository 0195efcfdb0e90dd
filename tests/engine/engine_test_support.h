#pragma once
// Helpers for engine tests: scratch folders, trees written from a description, patches built
// from trees, and a callback that records every message.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine.h"
#include "file_system.h"
#include "patch_builder.h"

namespace tpe_test {

// A fresh folder below the system's temporary folder, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& relative) const { return m_path + "/" + relative; }

private:
    std::string m_path;
};

// Path -> contents; a path ending in '/' is an (empty) folder.
using TreeSpec = std::map<std::string, std::string>;

// SHA-256 of a file as text; empty when it cannot be read.
std::string FileDigest(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
void WriteTree(const std::string& root, const TreeSpec& spec);
// Every file and every empty folder below `root` as a TreeSpec.
TreeSpec ReadTree(const std::string& root);
void RemoveTree(const std::string& path);
// Empty when equal; otherwise the paths that differ, one per line (contents are not printed).
std::string TreeDiff(const TreeSpec& actual, const TreeSpec& expected);
void CopyTree(const std::string& from, const std::string& to);
// The permission bits of `path` itself, a link not followed; -1 when there is nothing there.
int ModeOf(const std::string& path);

// The request for a patch from `old` (1.0) to `current` (1.1), game.exe naming the version.
tpe::BuildRequest RequestFor(const std::string& old, const std::string& current);
// Builds `request` into `patchFile`; false with the builder's reason in `error`.
bool TryBuild(const tpe::BuildRequest& request, const std::string& patchFile, std::string* error,
              tpe::FileSystem& fs = tpe::NativeFileSystem());
// Builds a patch from old trees (version, folder) and a new one into `patchFile`.
void BuildPatchFile(const std::vector<tpe::BuildTree>& olds, const tpe::BuildTree& current,
                    const std::string& patchFile, const std::string& versionFile = "game.exe",
                    int level = 3);
// Builds `dir`/old (1.0) and `dir`/new (1.1) differing by every kind of change (modified,
// read-only in both, deleted with its folders, added in a new folder, unchanged, an empty new
// folder) and the patch between them, `dir`/patch.bin.
void BuildMixedChangePatch(const std::string& dir);
// A fresh installation `dir`/`name` of that patch's old build, ro.dat read-only as installed.
std::string MixedChangeInstall(const std::string& dir, const std::string& name);
// The payload of `model`, written without the builder's checks; with `fullBlock`, every file's
// first old state gets that Full block.
std::string PayloadOf(tpe::PatchModel model, const std::vector<uint8_t>& fullBlock = {});
// A model for payloads written by hand: the versions line and one source, version 1.
tpe::PatchModel HandMadeModel();
// The smallest file the payload locator takes for a 64-bit Windows program: DOS header, PE
// signature, file header and an optional header with its 16 data directories.
std::string FakeProgram();

// The native file system with faults on demand: the `failAt`-th changing operation (counting
// from 0: creating, writing, closing, renaming, removing, making folders, changing flags) fails
// once; `freeSpace` replaces the volume's free space when set.
// With `freezeAt`, the file system dies instead, as if the process was killed: that operation
// and every later one fail without effect, except that a write it hits lands half (a torn
// write) when `tornWrite` is set.
class FaultyFileSystem : public tpe::FileSystem {
public:
    long failAt = -1;
    long freezeAt = -1;
    bool tornWrite = false;
    long operations = 0;
    bool failed = false;
    long long freeSpace = -1;

    std::unique_ptr<tpe::InputFile> OpenRead(const std::string& path) override {
        return m_native.OpenRead(path);
    }
    std::unique_ptr<tpe::OutputFile> CreateNew(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override {
        return !Fault() && m_native.Rename(from, to);
    }
    bool RenameOver(const std::string& from, const std::string& to) override {
        return !Fault() && m_native.RenameOver(from, to);
    }
    bool RemoveFile(const std::string& path) override {
        return !Fault() && m_native.RemoveFile(path);
    }
    bool MakeFolder(const std::string& path) override {
        return !Fault() && m_native.MakeFolder(path);
    }
    bool RemoveFolder(const std::string& path) override {
        return !Fault() && m_native.RemoveFolder(path);
    }
    tpe::NodeInfo Stat(const std::string& path) override { return m_native.Stat(path); }
    bool SetReadOnly(const std::string& path, bool readOnly) override {
        return !Fault() && m_native.SetReadOnly(path, readOnly);
    }
    bool SetMode(const std::string& path, uint16_t mode) override {
        return !Fault() && m_native.SetMode(path, mode);
    }
    bool LinksSupported() const override { return m_native.LinksSupported(); }
    bool MakeLink(const std::string& path, const std::string& target) override {
        return !Fault() && m_native.MakeLink(path, target);
    }
    bool ReadLink(const std::string& path, std::string* target) override {
        return m_native.ReadLink(path, target);
    }
    bool FreeSpace(const std::string& folder, uint64_t* bytes) override;
    bool List(const std::string& folder, std::vector<std::string>* names) override {
        return m_native.List(folder, names);
    }
    // True when this operation is the one to fail.
    bool Fault();

private:
    tpe::FileSystem& m_native = tpe::NativeFileSystem();
};

struct Message {
    unsigned id;
    std::string text;  // texts of 2, 4, 7, 9, 11, 14, 19; "N" for 5, 6 and 22
    bool operator==(const Message& o) const { return id == o.id && text == o.text; }
};
std::ostream& operator<<(std::ostream& out, const Message& m);

// Records messages; answers "" except as `answer` says (return nullptr to stop).
class Recorder {
public:
    tpe::MessageSink Sink();
    std::vector<Message> messages;
    std::function<const char*(size_t index, unsigned id)> answer;
    std::vector<unsigned> Ids() const;
    // True when a message `id` holds `part` in its text.
    bool Has(unsigned id, const std::string& part) const;
};

tpe::EngineResult RunPass(tpe::EngineMode mode, const std::string& patch, const std::string& folder,
                          Recorder& recorder, tpe::FileSystem& fs = tpe::NativeFileSystem(),
                          const std::string& backup = std::string());
// The same where the messages do not matter.
tpe::EngineResult RunPass(tpe::EngineMode mode, const std::string& patch,
                          const std::string& folder);

// A 4 KiB text made of `seed`-dependent lines, and a binary block of `size` bytes.
std::string TextOf(int seed);
std::string BinaryOf(size_t size, uint32_t seed);

}  // namespace tpe_test
