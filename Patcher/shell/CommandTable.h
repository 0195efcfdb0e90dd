#pragma once
// Menu and accelerator commands of the main window, looked up by id (the entry's position) or
// by name. The utility has no menu, so its table is empty and dispatch finds nothing.

#include <windows.h>

class PatchDescription;

// What a command handler works on.
struct WindowContext {
    HWND window;
    PatchDescription* description;
};

struct CommandEntry {
    const char* name;
    void (*handler)(WindowContext* context);
};

class CommandTable {
public:
    CommandTable(const CommandEntry* entries, int count, WindowContext* context)
        : m_entries(entries), m_count(count), m_context(context) {}

    // True when a handler was found and run.
    bool Dispatch(int commandId) const;
    bool Dispatch(const char* name) const;

private:
    const CommandEntry* m_entries;
    int m_count;
    WindowContext* m_context;
};

// The application's (empty) table.
extern const CommandEntry* const g_applicationCommands;
extern const int g_applicationCommandCount;
