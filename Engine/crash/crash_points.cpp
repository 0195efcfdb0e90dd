#include "crash_points.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tpe {
namespace {

[[noreturn]] void KillSelf() {
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), 137);
#else
    std::raise(SIGKILL);
#endif
    std::_Exit(137);
}

long long Setting(const char* name) {
    const char* text = std::getenv(name);
    return text && *text ? std::atoll(text) : -1;
}

class KillingFileSystem : public tpe::FileSystem {
public:
    KillingFileSystem()
        : m_killAtOperation(Setting("TPATCH_KILL_AT_OPERATION")),
          m_killAtByte(Setting("TPATCH_KILL_AT_BYTE")) {
        const char* countTo = std::getenv("TPATCH_COUNT_TO");
        m_countTo = countTo ? countTo : "";
    }
    ~KillingFileSystem() override {
        if (FILE* out = m_countTo.empty() ? nullptr : std::fopen(m_countTo.c_str(), "w")) {
            std::fprintf(out, "%lld %lld\n", m_operations, m_bytes);
            std::fclose(out);
        }
    }
    bool Active() const {
        return m_killAtOperation >= 0 || m_killAtByte >= 0 || !m_countTo.empty();
    }
    void Step() {
        if (m_operations++ == m_killAtOperation) {
            KillSelf();
        }
    }
    // Writes through `out`, cut short and killed when the write crosses the chosen byte.
    bool Write(tpe::OutputFile& out, const void* data, size_t size) {
        Step();
        if (m_killAtByte >= 0 && m_bytes + static_cast<long long>(size) > m_killAtByte) {
            out.Write(data, size_t(m_killAtByte - m_bytes));
            KillSelf();
        }
        m_bytes += static_cast<long long>(size);
        return out.Write(data, size);
    }

    std::unique_ptr<tpe::InputFile> OpenRead(const std::string& path) override {
        return m_native.OpenRead(path);
    }
    std::unique_ptr<tpe::OutputFile> CreateNew(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override {
        Step();
        return m_native.Rename(from, to);
    }
    bool RenameOver(const std::string& from, const std::string& to) override {
        Step();
        return m_native.RenameOver(from, to);
    }
    bool RemoveFile(const std::string& path) override {
        Step();
        return m_native.RemoveFile(path);
    }
    bool MakeFolder(const std::string& path) override {
        Step();
        return m_native.MakeFolder(path);
    }
    bool RemoveFolder(const std::string& path) override {
        Step();
        return m_native.RemoveFolder(path);
    }
    tpe::NodeInfo Stat(const std::string& path) override { return m_native.Stat(path); }
    bool SetReadOnly(const std::string& path, bool readOnly) override {
        Step();
        return m_native.SetReadOnly(path, readOnly);
    }
    bool SetMode(const std::string& path, uint16_t mode) override {
        Step();
        return m_native.SetMode(path, mode);
    }
    bool LinksSupported() const override { return m_native.LinksSupported(); }
    bool MakeLink(const std::string& path, const std::string& target) override {
        Step();
        return m_native.MakeLink(path, target);
    }
    bool ReadLink(const std::string& path, std::string* target) override {
        return m_native.ReadLink(path, target);
    }
    bool FreeSpace(const std::string& folder, uint64_t* bytes) override {
        return m_native.FreeSpace(folder, bytes);
    }
    bool List(const std::string& folder, std::vector<std::string>* names) override {
        return m_native.List(folder, names);
    }

private:
    tpe::FileSystem& m_native = tpe::NativeFileSystem();
    long long m_killAtOperation, m_killAtByte;
    long long m_operations = 0, m_bytes = 0;
    std::string m_countTo;
};

class KillingOutput : public tpe::OutputFile {
public:
    KillingOutput(std::unique_ptr<tpe::OutputFile> inner, KillingFileSystem& fs)
        : m_inner(std::move(inner)), m_fs(fs) {}
    bool Write(const void* data, size_t size) override { return m_fs.Write(*m_inner, data, size); }
    bool Flush() override {
        m_fs.Step();
        return m_inner->Flush();
    }
    bool Close() override {
        m_fs.Step();
        return m_inner->Close();
    }

private:
    std::unique_ptr<tpe::OutputFile> m_inner;
    KillingFileSystem& m_fs;
};

std::unique_ptr<tpe::OutputFile> KillingFileSystem::CreateNew(const std::string& path) {
    Step();
    std::unique_ptr<tpe::OutputFile> inner = m_native.CreateNew(path);
    return inner ? std::make_unique<KillingOutput>(std::move(inner), *this) : nullptr;
}

}  // namespace

tpe::FileSystem& CrashPointFileSystem() {
    static KillingFileSystem killing;
    return killing.Active() ? static_cast<tpe::FileSystem&>(killing) : tpe::NativeFileSystem();
}

}  // namespace tpe
