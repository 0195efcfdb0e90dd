#pragma once
// The engine's command line: /z "program" "folder" [-i] [-nopathsearch] (-l | -j | -u | -r)
// [-b:Folder]. Options are case-insensitive; a quoted token is never an option.
#include <string>

namespace tpe {

// Recover only finishes or undoes an apply that a killed process left, and does nothing else.
enum class EngineMode { None, List, Analyse, Apply, Recover };

struct EngineOptions {
    EngineMode mode = EngineMode::None;
    std::string program;       // the file that carries the payload
    std::string folder;        // the installation
    std::string backupFolder;  // relative to the installation, '/'-separated; empty: no backups
};

constexpr size_t kMaxCommandLineLength = 32768;

// False with `error` set for anything not understood.
bool ParseCommandLine(const char* text, EngineOptions* options, std::string* error);

}  // namespace tpe
