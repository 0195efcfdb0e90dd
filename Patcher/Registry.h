#pragma once
// Read-only registry access: where the game says it is installed.

#include <windows.h>

#include <cstdint>

#include "Utility/String.h"

// The raw content of one registry value.
class QLC_RegistryValue {
public:
    QLC_RegistryValue() = default;
    QLC_RegistryValue(const QLC_RegistryValue&) = delete;
    QLC_RegistryValue& operator=(const QLC_RegistryValue&) = delete;
    ~QLC_RegistryValue();

    // The value as text: the bytes up to the first zero byte (at most the stored size) of a
    // string-like value, not expanded. False, traced, for any other type.
    bool GetValue(QLC_String& text) const;

    // Frees the buffer.
    void Clear();

private:
    friend class QLC_Registry;
    uint8_t* m_data = nullptr;
    uint32_t m_size = 0;
    uint32_t m_type = 0;
};

// A registry root, such as HKEY_LOCAL_MACHINE.
class QLC_Registry {
public:
    explicit QLC_Registry(HKEY root) : m_root(root) {}
    virtual ~QLC_Registry() = default;

    // Loads one value below the root. A missing key is silent; other failures are traced.
    bool LoadKey(const char* subKey, const char* valueName, QLC_RegistryValue& value) const;

private:
    HKEY m_root;
};

// The value as text; `text` is left as it was when the value cannot be read.
bool ReadString(const QLC_Registry& registry, const char* subKey, const char* valueName,
                QLC_String& text);
