#include "shell/CommandTable.h"

#include <cstring>

const CommandEntry* const g_applicationCommands = nullptr;
const int g_applicationCommandCount = 0;

bool CommandTable::Dispatch(int commandId) const {
    if (commandId < 0 || commandId >= m_count || !m_entries[commandId].handler) {
        return false;
    }
    m_entries[commandId].handler(m_context);
    return true;
}

bool CommandTable::Dispatch(const char* name) const {
    for (int i = 0; name && i < m_count; ++i) {
        if (m_entries[i].name && std::strcmp(m_entries[i].name, name) == 0) {
            return Dispatch(i);
        }
    }
    return false;
}
