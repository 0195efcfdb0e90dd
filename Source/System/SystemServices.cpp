#include "System/SystemServices.h"

#include "System/Folders.h"
#include "System/Path.h"

#include <cstdlib>

QLC_ISystemServices* g_system_services = nullptr;

namespace {

void DeleteInstalledServices() {
    QLC_ISystemServices* services = g_system_services;
    g_system_services = nullptr;
    delete services;
}

}  // namespace

void QLC_InstallSystemServices(QLC_ISystemServices* services) {
    static bool cleanup_registered = false;
    if (!cleanup_registered) {
        // Registered after the static objects were built, so it runs before they are destroyed:
        // their destructors then find no services object and skip their reports.
        std::atexit(DeleteInstalledServices);
        cleanup_registered = true;
    }
    QLC_ISystemServices* previous = g_system_services;
    g_system_services = services;
    if (previous != services) {
        delete previous;
    }
}

QLC_DefaultSystemServices::~QLC_DefaultSystemServices() {
    ReleaseNodePool();
}

void QLC_DefaultSystemServices::OnCreateFile(const char* path) {
    CreateDirectoryForFile(ToForwardSlashes(QLC_String(path)));
}

void QLC_DefaultSystemServices::Exit(int code) {
    std::exit(code);
}

void QLC_DefaultSystemServices::QuickExit(int code) {
    std::_Exit(code);
}

void QLC_DefaultSystemServices::FindClose(HANDLE find) {
    ::FindClose(find);
}

HANDLE QLC_DefaultSystemServices::FindFirstFile(const char* pattern, WIN32_FIND_DATAA* data) {
    return ::FindFirstFileA(pattern, data);
}

bool QLC_DefaultSystemServices::FindNextFile(HANDLE find, WIN32_FIND_DATAA* data) {
    return ::FindNextFileA(find, data) != FALSE;
}

// The shared node pool arrives with the pool allocator; until then there is none to hand out.
QLC_Pool* QLC_DefaultSystemServices::GetNodePool() {
    return m_node_pool;
}

void QLC_DefaultSystemServices::ReleaseNodePool() {
    m_node_pool = nullptr;
}
