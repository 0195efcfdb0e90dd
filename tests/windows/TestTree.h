#pragma once
// Scratch folders, files and whole trees on the disk, for the Windows test programs: written and
// read with the standard library, independent of the code under test.

#include <map>
#include <string>

namespace e2e {

// A fresh folder below the temporary folder (a Windows path), removed with its contents.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& relative) const { return m_path + "\\" + relative; }

private:
    std::string m_path;
};

// Relative path ('\' or '/') -> contents.
using Tree = std::map<std::string, std::string>;

void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
void WriteTree(const std::string& folder, const Tree& tree);
// Every file below `folder`, with '/' separators.
Tree ReadTree(const std::string& folder);
void RemoveTree(const std::string& folder);
// Empty when equal; otherwise the paths that differ, one per line (contents are not printed).
std::string TreeDiff(const Tree& actual, const Tree& expected);

}  // namespace e2e
