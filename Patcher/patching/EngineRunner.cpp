#include "patching/EngineRunner.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <exception>

#include "little_endian.h"
#include "resources/ResourceIds.h"

namespace {

const size_t kCommandLineSize = 520;

// The callback of the run in progress, and what it threw. Exceptions must not unwind through the
// engine's frames: they are parked, the engine is told to stop, and the runner throws them later.
EngineCallback g_callback = nullptr;
std::exception_ptr g_thrown;

const char* GuardedCallback(unsigned messageId, void* parameter) {
    if (g_thrown) {
        return nullptr;
    }
    try {
        return g_callback(messageId, parameter);
    } catch (...) {
        g_thrown = std::current_exception();
        return nullptr;
    }
}

// Writes the engine image carried as a resource to `path`. False when there is none or it
// cannot be written whole.
bool WriteEngineImage(const char* path) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found =
        FindResourceA(self, MAKEINTRESOURCEA(IDR_PATCH_ENGINE), MAKEINTRESOURCEA(RT_PATCH_ENGINE));
    HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
    const unsigned char* data =
        loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
    DWORD resourceSize = found ? SizeofResource(self, found) : 0;
    if (!data || resourceSize < 4) {
        return false;
    }
    DWORD imageSize = tpe::GetLe32(data);
    if (imageSize > resourceSize - 4) {
        return false;  // a length the resource cannot hold
    }
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, data + 4, imageSize, &written, nullptr);
    CloseHandle(file);
    return ok && written == imageSize;
}

}  // namespace

int RunPatchEngine(const char* arguments, EngineCallback callback, int flag) {
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    program[MAX_PATH - 1] = '\0';
    char commandLine[kCommandLineSize];
    int length = std::snprintf(commandLine, sizeof commandLine, "/z \"%s\" %s", program,
                               arguments ? arguments : "");
    if (length < 0 || static_cast<size_t>(length) >= sizeof commandLine) {
        return kEngineDidNotStart;  // cut arguments would name another folder
    }

    char folder[MAX_PATH + 1] = {};
    char path[MAX_PATH] = {};
    DWORD folderLength = GetTempPathA(MAX_PATH, folder);
    if (folderLength == 0 || folderLength >= MAX_PATH ||
        !GetTempFileNameA(folder, "pdl", 0, path)) {
        return kEngineDidNotStart;
    }
    // From here on the temporary file exists and every way out removes it.
    if (!WriteEngineImage(path)) {
        DeleteFileA(path);
        return kEngineDidNotStart;
    }
    HMODULE engine = LoadLibraryA(path);
    if (!engine) {
        DeleteFileA(path);
        return kEngineDidNotStart;
    }
    auto apply = reinterpret_cast<PatchEngineApplyFunction>(
        reinterpret_cast<void*>(GetProcAddress(engine, MAKEINTRESOURCEA(1))));
    int result = kEngineDidNotStart;
    if (apply) {
        EngineCallback outer = g_callback;
        std::exception_ptr outerThrown = g_thrown;
        g_callback = callback;
        g_thrown = nullptr;
        result = apply(commandLine, callback ? GuardedCallback : nullptr, flag);
        std::exception_ptr thrown = g_thrown;
        g_callback = outer;
        g_thrown = outerThrown;
        FreeLibrary(engine);
        DeleteFileA(path);
        if (thrown) {
            std::rethrow_exception(thrown);
        }
        return result;
    }
    FreeLibrary(engine);
    DeleteFileA(path);
    return result;
}
