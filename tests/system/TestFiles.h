// Scratch folders and direct disk access for file tests, independent of the library's own code.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A fresh folder under the temporary directory ("\\" separators, no trailing one), removed with
// everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::string& Path() const { return m_path; }
    // Path of a name inside the folder, with "\\".
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

void WriteDiskFile(const std::string& path, const std::vector<unsigned char>& bytes);
std::vector<unsigned char> ReadDiskFile(const std::string& path);
// The size the system reports for the file, -1 when it does not exist.
long long DiskSize(const std::string& path);
// Bytes 0..n-1 of a fixed pattern that repeats rarely.
std::vector<unsigned char> Pattern(size_t n, unsigned seed = 1);
void RemoveTree(const std::string& path);
