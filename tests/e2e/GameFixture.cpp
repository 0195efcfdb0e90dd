#include "GameFixture.h"

#include <windows.h>

#include <sstream>
#include <stdexcept>

#include "UiDriver.h"
#include "cli.h"

namespace e2e {

std::string GameProgram(const std::string& version, const std::string& body) {
    std::string image(128, '\0');
    image.replace(0, 2, "MZ");
    const char marker[] = "Windows only.\r\n";
    image.replace(78, sizeof marker - 1, marker);
    image.replace(94, version.size() < 30 ? version.size() : 30, version);
    return image + body;
}

Tree GameBuild(const std::string& version) {
    std::string program;
    for (int i = 0; i < 4000; ++i) {
        program += "code block " + std::to_string(i * 7 % 1000) + " of the game;";
    }
    Tree tree;
    tree["ts2.exe"] = GameProgram(version, program + version);
    tree["data/levels.dat"] = std::string(20000, 'L') + "levels of " + version;
    tree["data/music.ogg"] = std::string(5000, 'M');  // the same in every build
    tree["readme.txt"] = "Tessaly " + version + "\r\n";
    return tree;
}

void RunPatchBuilder(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    if (tpatch::RunTpatch(arguments, out, err) != 0) {
        throw std::runtime_error("tpatch failed: " + err.str() + out.str());
    }
}

std::string UtilityProgram() {
    return ui::HostToWindowsPath(TESSALY_UPDATE_EXE);
}

std::string CrashPointUtilityProgram() {
    return ui::HostToWindowsPath(TESSALY_UPDATE_CRASH_POINTS_EXE);
}

std::vector<std::string> EngineCopies() {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    std::vector<std::string> paths;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(temp) + "pdl*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            paths.push_back(std::string(temp) + found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return paths;
}

namespace {

std::string Variable(const char* name) {
    char value[MAX_PATH + 1] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length < sizeof value ? std::string(value, length) : std::string();
}

}  // namespace

OwnTemporaryFolder::OwnTemporaryFolder() : m_tmp(Variable("TMP")), m_temp(Variable("TEMP")) {
    SetEnvironmentVariableA("TMP", m_folder.Path().c_str());
    SetEnvironmentVariableA("TEMP", m_folder.Path().c_str());
}

OwnTemporaryFolder::~OwnTemporaryFolder() {
    SetEnvironmentVariableA("TMP", m_tmp.empty() ? nullptr : m_tmp.c_str());
    SetEnvironmentVariableA("TEMP", m_temp.empty() ? nullptr : m_temp.c_str());
}

}  // namespace e2e
