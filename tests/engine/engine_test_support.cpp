#include "engine_test_support.h"

#include "byte_io.h"
#include "file_hash.h"
#include "payload_writer.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace tpe_test {

ScratchDir::ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base ? base : "/tmp") + "/tpe-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = buffer.data();
}

ScratchDir::~ScratchDir() {
    RemoveTree(m_path);
}

std::string FileDigest(const std::string& path) {
    std::unique_ptr<tpe::InputFile> file = tpe::NativeFileSystem().OpenRead(path);
    tpe::Digest digest;
    if (!file || !tpe::HashFile(*file, &digest, tpe::ReadProgress())) {
        return std::string();
    }
    return tpe::DigestHex(digest);
}

void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), std::streamsize(contents.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteTree(const std::string& root, const TreeSpec& spec) {
    mkdir(root.c_str(), 0755);
    for (const auto& [path, contents] : spec) {
        // Make every parent folder.
        for (size_t slash = path.find('/'); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            mkdir((root + "/" + path.substr(0, slash)).c_str(), 0755);
        }
        if (path.back() != '/') {
            WriteFile(root + "/" + path, contents);
        }
    }
}

namespace {

void ReadInto(const std::string& root, const std::string& relative, TreeSpec* spec) {
    std::vector<std::string> names;
    tpe::NativeFileSystem().List(root + (relative.empty() ? "" : "/" + relative), &names);
    for (const std::string& name : names) {
        std::string path = relative.empty() ? name : relative + "/" + name;
        struct stat st;
        lstat((root + "/" + path).c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            size_t before = spec->size();
            ReadInto(root, path, spec);
            if (spec->size() == before) {
                (*spec)[path + "/"] = "";  // only empty folders need an entry of their own
            }
        } else {
            (*spec)[path] = ReadFile(root + "/" + path);
        }
    }
}

}  // namespace

TreeSpec ReadTree(const std::string& root) {
    TreeSpec spec;
    ReadInto(root, "", &spec);
    return spec;
}

std::string TreeDiff(const TreeSpec& actual, const TreeSpec& expected) {
    std::string diff;
    for (const auto& [path, contents] : actual) {
        auto other = expected.find(path);
        if (other == expected.end()) {
            diff += "unexpected " + path + "\n";
        } else if (other->second != contents) {
            diff += "differs " + path + " (" + std::to_string(contents.size()) +
                    " bytes, expected " + std::to_string(other->second.size()) + ")\n";
        }
    }
    for (const auto& entry : expected) {
        if (actual.count(entry.first) == 0) {
            diff += "missing " + entry.first + "\n";
        }
    }
    return diff;
}

void RemoveTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        return;
    }
    if (S_ISDIR(st.st_mode)) {
        chmod(path.c_str(), 0755);
        std::vector<std::string> names;
        tpe::NativeFileSystem().List(path, &names);
        for (const std::string& name : names) {
            RemoveTree(path + "/" + name);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

int ModeOf(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

void CopyTree(const std::string& from, const std::string& to) {
    WriteTree(to, ReadTree(from));
}

tpe::BuildRequest RequestFor(const std::string& old, const std::string& current) {
    tpe::BuildRequest request;
    request.olds = {{"1.0", old}};
    request.current = {"1.1", current};
    request.versionFile = "game.exe";
    request.level = 3;
    return request;
}

bool TryBuild(const tpe::BuildRequest& request, const std::string& patchFile, std::string* error,
              tpe::FileSystem& fs) {
    tpe::BuildSummary summary;
    return tpe::BuildPatch(fs, request, patchFile, &summary, error);
}

void BuildPatchFile(const std::vector<tpe::BuildTree>& olds, const tpe::BuildTree& current,
                    const std::string& patchFile, const std::string& versionFile, int level) {
    tpe::BuildRequest request;
    request.olds = olds;
    request.current = current;
    request.versionFile = versionFile;
    request.level = level;
    std::string error;
    if (!TryBuild(request, patchFile, &error)) {
        throw std::runtime_error("build failed: " + error);
    }
}

void BuildMixedChangePatch(const std::string& dir) {
    WriteTree(dir + "/old", {{"game.exe", "old" + BinaryOf(3000, 1)},
                             {"ro.dat", "read-only original"},
                             {"sub/gone.txt", "bye"},
                             {"sub/deeper/gone2.txt", "bye too"},
                             {"data/a.bin", BinaryOf(70000, 2)},
                             {"same.txt", "unchanged"}});
    WriteTree(dir + "/new", {{"game.exe", "new" + BinaryOf(3000, 1)},
                             {"ro.dat", "replaced"},
                             {"data/a.bin", BinaryOf(70001, 2)},
                             {"data/fresh/b.bin", BinaryOf(100, 3)},
                             {"same.txt", "unchanged"},
                             {"empty-new/", ""}});
    // The new build ships ro.dat read-only, as installations have it.
    chmod((dir + "/new/ro.dat").c_str(), 0444);
    BuildPatchFile({{"1.0", dir + "/old"}}, {"1.1", dir + "/new"}, dir + "/patch.bin");
}

std::string MixedChangeInstall(const std::string& dir, const std::string& name) {
    const std::string inst = dir + "/" + name;
    RemoveTree(inst);
    CopyTree(dir + "/old", inst);
    chmod((inst + "/ro.dat").c_str(), 0444);
    return inst;
}

tpe::PatchModel HandMadeModel() {
    tpe::PatchModel model;
    model.infoLines = {"Versions,game.exe,1,2"};
    model.sources = {{"1", ""}};
    return model;
}

std::string PayloadOf(tpe::PatchModel model, const std::vector<uint8_t>& fullBlock) {
    ScratchDir scratch;
    tpe::PayloadWriter writer(tpe::NativeFileSystem(), scratch / "payload.bin");
    std::string error;
    uint64_t size = 0;
    bool written = writer.Open(&error);
    for (tpe::FileEntry& file : model.files) {
        written = written && (fullBlock.empty() ||
                              writer.AddBlock(file.states[0], tpe::BlockKind::Full,
                                              fullBlock.data(), fullBlock.size(), &error));
    }
    if (!written || !writer.Finish(model, &size, &error)) {
        throw std::runtime_error("cannot write the payload: " + error);
    }
    return ReadFile(scratch / "payload.bin");
}

std::string FakeProgram() {
    std::string pe(512, '\0');
    uint8_t* p = reinterpret_cast<uint8_t*>(&pe[0]);
    p[0] = 'M';
    p[1] = 'Z';
    tpe::PutLe(p + 0x3C, 64, 4);
    std::memcpy(p + 64, "PE\0\0", 4);
    tpe::PutLe(p + 68, 0x8664, 2);    // machine
    tpe::PutLe(p + 68 + 16, 240, 2);  // size of the optional header
    tpe::PutLe(p + 88, 0x20b, 2);     // PE32+
    tpe::PutLe(p + 88 + 108, 16, 4);  // number of data directories
    return pe;
}

bool FaultyFileSystem::Fault() {
    bool fail = operations == failAt || (freezeAt >= 0 && operations >= freezeAt);
    ++operations;
    failed = failed || fail;
    return fail;
}

namespace {

class FaultyOutput : public tpe::OutputFile {
public:
    FaultyOutput(std::unique_ptr<tpe::OutputFile> inner, FaultyFileSystem& fs)
        : m_inner(std::move(inner)), m_fs(fs) {}
    bool Write(const void* data, size_t size) override {
        if (m_fs.Fault()) {
            // Only the write the file system died at lands half.
            if (m_fs.tornWrite && m_fs.operations - 1 == m_fs.freezeAt) {
                m_inner->Write(data, size / 2);
            }
            return false;
        }
        return m_inner->Write(data, size);
    }
    bool Flush() override { return !m_fs.Fault() && m_inner->Flush(); }
    bool Close() override {
        bool closed = m_inner->Close();
        return !m_fs.Fault() && closed;
    }

private:
    std::unique_ptr<tpe::OutputFile> m_inner;
    FaultyFileSystem& m_fs;
};

}  // namespace

std::unique_ptr<tpe::OutputFile> FaultyFileSystem::CreateNew(const std::string& path) {
    if (Fault()) {
        return nullptr;
    }
    std::unique_ptr<tpe::OutputFile> inner = m_native.CreateNew(path);
    return inner ? std::make_unique<FaultyOutput>(std::move(inner), *this) : nullptr;
}
bool FaultyFileSystem::FreeSpace(const std::string& folder, uint64_t* bytes) {
    if (freeSpace >= 0) {
        *bytes = uint64_t(freeSpace);
        return true;
    }
    return m_native.FreeSpace(folder, bytes);
}

std::ostream& operator<<(std::ostream& out, const Message& m) {
    return out << "{" << m.id << ", \"" << m.text << "\"}";
}

tpe::MessageSink Recorder::Sink() {
    return [this](unsigned id, void* parameter) -> const char* {
        Message m{id, ""};
        if (id == kEngineFileFraction) {
            m.text = std::to_string(*static_cast<uint16_t*>(parameter));
        } else if (id == kEngineFileCount || id == kEngineRecovered) {
            m.text = std::to_string(*static_cast<uint32_t*>(parameter));
        } else if (parameter != nullptr && id != kEngineFileDone && id != kEngineTick) {
            m.text = static_cast<const char*>(parameter);
        }
        size_t index = messages.size();
        messages.push_back(m);
        return answer ? answer(index, id) : "";
    };
}

std::vector<unsigned> Recorder::Ids() const {
    std::vector<unsigned> ids;
    for (const Message& m : messages) {
        ids.push_back(m.id);
    }
    return ids;
}

bool Recorder::Has(unsigned id, const std::string& part) const {
    for (const Message& m : messages) {
        if (m.id == id && m.text.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

tpe::EngineResult RunPass(tpe::EngineMode mode, const std::string& patch,
                          const std::string& folder) {
    Recorder ignored;
    return RunPass(mode, patch, folder, ignored);
}

tpe::EngineResult RunPass(tpe::EngineMode mode, const std::string& patch, const std::string& folder,
                          Recorder& recorder, tpe::FileSystem& fs, const std::string& backup) {
    tpe::EngineOptions options;
    options.mode = mode;
    options.program = patch;
    options.folder = folder;
    options.backupFolder = backup;
    return tpe::RunEngine(options, recorder.Sink(), fs);
}

std::string TextOf(int seed) {
    std::string text;
    for (int line = 0; text.size() < 4096; ++line) {
        text += "line " + std::to_string(line * seed % 997) + " of the settings file\n";
    }
    return text;
}

std::string BinaryOf(size_t size, uint32_t seed) {
    std::string data(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data[i] = char(x);
    }
    return data;
}

}  // namespace tpe_test
