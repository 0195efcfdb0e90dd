#include "System/SystemServices.h"

#include "System/Folders.h"
#include "System/Path.h"
#include "System/Thread.h"
#include "Utility/Pool.h"

#include <cstdlib>

QLC_ISystemServices* g_system_services = nullptr;

namespace {

// The shared node pool, once a services object has made it.
QLC_Pool* g_node_pool = nullptr;

void DeleteInstalledServices() {
    QLC_ISystemServices* services = g_system_services;
    g_system_services = nullptr;
    delete services;
}

}  // namespace

void QLC_InstallSystemServices(QLC_ISystemServices* services) {
    // Static initialisation built the thread manager; naming it here keeps it (and its
    // unhandled-exception filter) in every program that installs services.
    (void)QLC_ThreadManager::GetSingletonPtr();
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

QLC_Pool* QLC_DefaultSystemServices::GetNodePool() {
    if (m_node_pool == nullptr) {
        const QLC_PoolParams params = {8, 675000, "NodeVoidPtr", 50000, true, 0};
        m_node_pool = new QLC_Pool(params);
        g_node_pool = m_node_pool;
    }
    return m_node_pool;
}

void QLC_DefaultSystemServices::ReleaseNodePool() {
    if (g_node_pool == m_node_pool) {
        g_node_pool = nullptr;
    }
    delete m_node_pool;
    m_node_pool = nullptr;
}

QLC_Pool* QLC_ExistingNodePool() {
    return g_node_pool;
}
