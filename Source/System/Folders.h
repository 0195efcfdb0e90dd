// Directory creation, the current directory and the well-known folders of the user and machine.
#pragma once

#include "Utility/String.h"

// Creates every level of path ("/" separators only); answers whether the creation of the last
// level succeeded, so an existing full path gives false. An empty path gives false.
bool CreateDirectories(const QLC_String& path);
bool CreateDirectoryForFile(const QLC_String& file_path);

// The process's current directory with "/" separators; empty if it cannot be read.
QLC_String GetCurrentDirectoryPath();
// A shell folder (CSIDL value), created when missing; empty when it cannot be found.
QLC_String GetSpecialFolder(int folder_id);

// The folders the application keeps its data in, with "/" separators.
struct QLC_ApplicationFolders {
    QLC_String base_directory;
    QLC_String application_name;
    QLC_String documents;
    QLC_String common_application_data;
    QLC_String local_application_data;
    QLC_String program_files;
    QLC_String common_files;
};

// Names the application and computes its folders; always true.
bool SetApplicationFolder(const QLC_String& name);
const QLC_ApplicationFolders& GetApplicationFolders();
