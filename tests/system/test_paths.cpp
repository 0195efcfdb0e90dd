// Path texts, directory creation, the folder lookups and the directory walker on a real tree.
#include "RecordingServices.h"
#include "System/DirectoryWalker.h"
#include "System/Folders.h"
#include "System/Path.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string S(const QLC_String& text) {
    return text.c_str();
}

// The path with "/" separators, as the library reports it.
std::string Forward(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::vector<std::string> Walk(QLC_DirectoryWalker& walker, const std::string& pattern,
                              bool full_paths, bool include_directories, bool recurse) {
    walker.Start(pattern.c_str(), full_paths, include_directories, recurse);
    std::vector<std::string> entries;
    QLC_String entry;
    while (walker.Next(entry)) {
        entries.push_back(S(entry));
    }
    EXPECT_TRUE(entry.IsEmpty());
    return entries;
}

}  // namespace

TEST(PathText, FileNameAndDirectory) {
    EXPECT_EQ(S(GetFileName("C:readme.txt")), "readme.txt");
    EXPECT_EQ(S(GetDirectory("C:readme.txt")), "C:");
    EXPECT_EQ(S(GetDirectory("readme.txt")), "");
    EXPECT_EQ(S(GetFileName("readme.txt")), "readme.txt");
    EXPECT_EQ(S(GetFileName("C:\\Game/data\\ts2.exe")), "ts2.exe");
    EXPECT_EQ(S(GetDirectory("C:\\Game/data\\ts2.exe")), "C:\\Game/data");
    EXPECT_EQ(S(GetFileName("dir/")), "");
}

TEST(PathText, Extension) {
    EXPECT_EQ(S(GetExtension("a/b.c/file")), "");
    EXPECT_EQ(S(GetExtension("archive.tar.gz")), "gz");
    EXPECT_EQ(S(GetExtension("name.")), "");
}

TEST(PathText, JoinPuttsExactlyOneSeparatorBetween) {
    EXPECT_EQ(S(JoinPath("dir/", "/file")), "dir/file");
    EXPECT_EQ(S(JoinPath("dir", "file")), "dir/file");
    EXPECT_EQ(S(JoinPath("", "file")), "file");
    EXPECT_EQ(S(JoinPath("dir", "\\file")), "dir\\file");
    EXPECT_EQ(S(JoinPath("dir", "")), "dir/");
    EXPECT_EQ(S(JoinPathNative("  C:/Game", "sub/file.txt \t")), "C:\\Game\\sub\\file.txt");
}

TEST(PathText, TrailingSlashesAndSearchPatterns) {
    EXPECT_EQ(S(AddTrailingSlash("C:/Game")), "C:/Game/");
    EXPECT_EQ(S(AddTrailingSlash("C:\\Game\\")), "C:\\Game\\");
    EXPECT_EQ(S(AddTrailingSlash("")), "");
    EXPECT_EQ(S(RemoveTrailingSlash("C:/Game//")), "C:/Game/");
    EXPECT_EQ(S(MakeSearchPattern("C:\\Game")), "C:\\Game/*.*");
    EXPECT_EQ(S(MakeSearchPattern("C:/Game/*.*")), "C:/Game/*.*");
}

TEST(PathText, FindNoCase) {
    const char* text = "C:\\Program Files\\Tessaly\\ts2.EXE";
    EXPECT_EQ(FindNoCase(text, "tessaly"), text + 17);
    EXPECT_EQ(FindNoCase(text, ""), text);
    EXPECT_EQ(FindNoCase(text, "patcher"), nullptr);
    EXPECT_EQ(FindNoCase("", "a"), nullptr);
}

TEST(Directories, CreateReportsOnlyTheLastLevel) {
    ScratchFolder dir;
    EXPECT_FALSE(CreateDirectories(""));
    const std::string chain = Forward(dir / "a\\b\\c");
    EXPECT_TRUE(CreateDirectories(chain.c_str()));
    EXPECT_NE(GetFileAttributesA((dir / "a\\b\\c").c_str()), INVALID_FILE_ATTRIBUTES);
    // It exists now, so creating it again fails.
    EXPECT_FALSE(CreateDirectories(chain.c_str()));
    EXPECT_FALSE(CreateDirectories((chain + "/").c_str()));
    EXPECT_TRUE(CreateDirectories("/"));
}

TEST(Directories, ForAFileMakesItsFolders) {
    ScratchFolder dir;
    EXPECT_TRUE(CreateDirectoryForFile(Forward(dir / "x\\y\\file.txt").c_str()));
    EXPECT_NE(GetFileAttributesA((dir / "x\\y").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((dir / "x\\y\\file.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Folders, CurrentDirectoryUsesForwardSlashes) {
    ScratchFolder dir;
    char saved[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.Path().c_str()));
    const std::string current = S(GetCurrentDirectoryPath());
    SetCurrentDirectoryA(saved);
    EXPECT_EQ(current, Forward(dir.Path()));
}

TEST(Folders, ApplicationFoldersCarryTheApplicationName) {
    EXPECT_FALSE(GetSpecialFolder(5).IsEmpty());
    EXPECT_TRUE(SetApplicationFolder("Patcher"));
    const QLC_ApplicationFolders& folders = GetApplicationFolders();
    EXPECT_EQ(S(folders.application_name), "Patcher");
    EXPECT_EQ(S(folders.base_directory), S(GetCurrentDirectoryPath()));
    for (const QLC_String* folder :
         {&folders.documents, &folders.common_application_data, &folders.local_application_data}) {
        EXPECT_EQ(S(GetFileName(*folder)), "Patcher");
        EXPECT_EQ(folder->Find("\\"), -1) << S(*folder);
    }
    EXPECT_EQ(S(folders.documents), S(ToForwardSlashes(GetSpecialFolder(5))) + "/Patcher");
    EXPECT_EQ(S(folders.program_files), S(ToForwardSlashes(GetSpecialFolder(38))));
}

class WalkerTree : public ::testing::Test {
protected:
    void SetUp() override {
        e2e::WriteFile(dir / "a.txt", {1});
        e2e::WriteFile(dir / "sub\\b.txt", {2});
        e2e::WriteFile(dir / "sub\\deep\\d.txt", {3});
        e2e::WriteFile(dir / "sub2\\c.txt", {4});
        root = Forward(dir.Path());
        pattern = S(MakeSearchPattern(root.c_str()));
    }
    ScratchFolder dir;
    std::string root, pattern;
    QLC_DirectoryWalker walker;
};

TEST_F(WalkerTree, FolderEntriesFirstThenSubfoldersLastFoundFirst) {
    const auto entries = Walk(walker, pattern, true, true, true);
    // Expected from the system's own listing order of each folder.
    std::vector<std::string> expected, folders = {root};
    while (!folders.empty()) {
        const std::string folder = folders.back();
        folders.pop_back();
        for (const auto& item : std::filesystem::directory_iterator(folder)) {
            expected.push_back(folder + "/" + item.path().filename().string());
            if (item.is_directory()) {
                folders.push_back(expected.back());
            }
        }
    }
    EXPECT_EQ(entries.size(), 7u);
    EXPECT_EQ(entries, expected);
}

TEST_F(WalkerTree, WithoutDirectoriesOnlyFilesAreReturnedAndFindsCanGoThroughTheServices) {
    RecordingServices services;
    walker.UseServices(true);
    auto entries = Walk(walker, pattern, true, false, true);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{root + "/a.txt", root + "/sub/b.txt",
                                                 root + "/sub/deep/d.txt", root + "/sub2/c.txt"}));
    EXPECT_GT(services.find_calls, 4);
}

TEST_F(WalkerTree, WithoutRecursionBareNamesOfTheFolderOnly) {
    auto entries = Walk(walker, pattern, false, true, false);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"a.txt", "sub", "sub2"}));
}

TEST_F(WalkerTree, PatternMatchingNothingEndsAtOnce) {
    EXPECT_TRUE(Walk(walker, root + "/*.none", true, true, true).empty());
    EXPECT_TRUE(Walk(walker, root + "/missing/*.*", true, true, true).empty());
}

TEST_F(WalkerTree, RestartingDropsTheWalkInProgress) {
    walker.Start(pattern.c_str(), true, true, true);
    QLC_String entry;
    ASSERT_TRUE(walker.Next(entry));
    const auto entries = Walk(walker, Forward(dir / "sub2\\*.*"), false, true, true);
    EXPECT_EQ(entries, std::vector<std::string>{"c.txt"});
}
