/* Stands in for the program the shell opens a text file with: writes the command line it was
   given to the file named by TESSALY_OPEN_RECORD. */
#include <windows.h>

int main(void) {
    char path[MAX_PATH];
    const char* commandLine = GetCommandLineA();
    DWORD length = GetEnvironmentVariableA("TESSALY_OPEN_RECORD", path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return 1;
    }
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(file, commandLine, lstrlenA(commandLine), &written, NULL);
    CloseHandle(file);
    return 0;
}
