#include "Registry.h"

#include "System/SystemServices.h"

namespace {

const char* const kSourceFile = ".\\Registry";

// Line numbers identify each report in a support log; they stay as they are when code moves.
const int kSizeQueryLine = 558;
const int kDataQueryLine = 591;
const int kWrongTypeLine = 961;

}  // namespace

QLC_RegistryValue::~QLC_RegistryValue() {
    Clear();
}

void QLC_RegistryValue::Clear() {
    delete[] m_data;
    m_data = nullptr;
    m_size = 0;
}

bool QLC_RegistryValue::GetValue(QLC_String& text) const {
    switch (m_type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_LINK:
        case REG_MULTI_SZ: {
            uint32_t length = 0;
            while (length < m_size && m_data[length] != 0) {
                ++length;
            }
            text = QLC_String(reinterpret_cast<const char*>(m_data), length);
            return true;
        }
        default:
            if (g_system_services) {
                g_system_services->Trace(kSourceFile, kWrongTypeLine, "QLC_RegistryValue::GetValue",
                                         "(QLC_String &) wrong type.");
            }
            return false;
    }
}

bool QLC_Registry::LoadKey(const char* subKey, const char* valueName,
                           QLC_RegistryValue& value) const {
    HKEY key = nullptr;
    if (RegOpenKeyExA(m_root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
        if (g_system_services) {
            g_system_services->Trace(kSourceFile, kSizeQueryLine, "QLC_Registry::LoadKey",
                                     "RegQueryValueEx() call 1 failed. Error: %d",
                                     static_cast<int>(status));
        }
        RegCloseKey(key);
        return false;
    }
    value.Clear();
    value.m_data = new uint8_t[size ? size : 1];
    value.m_size = size;
    DWORD type = 0;
    status = RegQueryValueExA(key, valueName, nullptr, &type, value.m_data, &size);
    if (status != ERROR_SUCCESS) {
        if (g_system_services) {
            g_system_services->Trace(kSourceFile, kDataQueryLine, "QLC_Registry::LoadKey",
                                     "RegQueryValueEx() call 2 failed. Error: %d",
                                     static_cast<int>(status));
        }
        RegCloseKey(key);
        value.Clear();
        return false;
    }
    // The value may have shrunk between the two queries.
    value.m_size = size < value.m_size ? size : value.m_size;
    value.m_type = type;
    RegCloseKey(key);
    return true;
}

bool ReadString(const QLC_Registry& registry, const char* subKey, const char* valueName,
                QLC_String& text) {
    QLC_RegistryValue value;
    return registry.LoadKey(subKey, valueName, value) && value.GetValue(text);
}
