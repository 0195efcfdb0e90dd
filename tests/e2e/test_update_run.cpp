// The whole update run on real installations with real patches attached to the utility: the log
// pane's lines, the buttons, the exit status and the installation afterwards.

#include <windows.h>

#include <gtest/gtest.h>

#include "GameFixture.h"
#include "UpdateSession.h"

using e2e::Join;
using e2e::Lines;
using e2e::OpeningLines;
using e2e::UpdateSession;

namespace {

// The update programs of the suite, each built once, when first needed.
class Programs {
public:
    // 1.1.5 to 1.2.3.
    static const std::string& Single() {
        static const std::string program = Make("Update.exe", {});
        return program;
    }
    // 1.1.5 or 1.1.6 to 1.2.3.
    static const std::string& Multi() {
        static const std::string program = Make("UpdateMulti.exe", {"--old", Build("1.1.6")});
        return program;
    }
    // 1.1.5 to a "1.2.3" that only adds an empty folder: no file to patch.
    static const std::string& NoFiles() {
        static const std::string program = [] {
            std::string newBuild = Folder() / "1.1.5-saves";
            e2e::WriteTree(newBuild, e2e::GameBuild("1.1.5"));
            CreateDirectoryA((newBuild + "\\saves").c_str(), nullptr);
            std::string path = Folder() / "UpdateNoFiles.exe";
            e2e::MakeUpdateProgram("1.1.5=" + Build("1.1.5"), "1.2.3=" + newBuild, path);
            return path;
        }();
        return program;
    }

private:
    static const e2e::ScratchFolder& Folder() {
        static e2e::ScratchFolder folder;
        return folder;
    }
    static std::string Build(const std::string& version) {
        std::string path = Folder() / version;
        if (!e2e::FileExists(path)) {
            e2e::WriteTree(path, e2e::GameBuild(version));
        }
        return path;
    }
    static std::string Make(const std::string& name, std::vector<std::string> extra) {
        std::string path = Folder() / name;
        e2e::MakeUpdateProgram(Build("1.1.5"), Build("1.2.3"), path, extra);
        return path;
    }
};

// A game installation in a scratch folder.
class Installation : public ::testing::Test {
protected:
    void Install(const std::string& version) {
        e2e::WriteTree(folder.Path(), e2e::GameBuild(version));
    }
    e2e::Tree Installed() { return e2e::ReadTree(folder.Path()); }
    std::string Path(const std::string& file) { return folder / file; }

    e2e::ScratchFolder folder;
};

const char* const kNoUpdate = "No update will be performed.";
const char* const kFailed = "Update did not complete successfully.";

Lines PatchedLines(const std::string& from, const std::string& to = "1.2.3") {
    return {"Beginning patch process. This may take several minutes...",
            "",
            "There are 3 files to be patched in this update.",
            "",
            "Patching data\\levels.dat from " + from + " to " + to + ", file #1 of 3.",
            "data\\levels.dat patched successfully.",
            "",
            "Patching readme.txt from " + from + " to " + to + ", file #2 of 3.",
            "readme.txt patched successfully.",
            "",
            "Patching ts2.exe from " + from + " to " + to + ", file #3 of 3.",
            "ts2.exe patched successfully.",
            "",
            "Finishing update.",
            "",
            "Update completed successfully!",
            "",
            "\"Tessaly\" version " + to + " is ready to run on your system."};
}

}  // namespace

TEST_F(Installation, ASuccessfulUpdateReportsEveryFileAndLeavesTheNewBuild) {
    Install("1.1.5");
    UpdateSession run(Programs::Single(), folder.Path());
    ASSERT_TRUE(run.AnswerChangeList(IDNO));
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(), Join(OpeningLines(folder.Path(), "1.1.5"), PatchedLines("1.1.5")));
    EXPECT_FALSE(run.ButtonVisible(15));
    EXPECT_FALSE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(Installed(), e2e::GameBuild("1.2.3"));
}

TEST_F(Installation, AlreadyUpToDateChangesNothing) {
    Install("1.2.3");
    UpdateSession run(Programs::Single(), folder.Path());
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(), Join(OpeningLines(folder.Path(), "1.2.3"),
                                    Lines{"\"Tessaly\" is already up to date with version 1.2.3.",
                                          "", kNoUpdate, ""}));
    EXPECT_FALSE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(Installed(), e2e::GameBuild("1.2.3"));
}

TEST_F(Installation, AMoreRecentVersionChangesNothing) {
    Install("1.3.0");
    UpdateSession run(Programs::Single(), folder.Path());
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(),
              Join(OpeningLines(folder.Path(), "1.3.0"),
                   Lines{"\"Tessaly\" is already more recent than version 1.2.3.", "", kNoUpdate}));
    EXPECT_FALSE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(Installed(), e2e::GameBuild("1.3.0"));
}

TEST_F(Installation, AnotherOlderVersionIsRefused) {
    Install("1.0.9");
    UpdateSession run(Programs::Single(), folder.Path());
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(),
              Join(OpeningLines(folder.Path(), "1.0.9"),
                   Lines{"Your installed version of Tessaly does not match the version this update "
                         "is designed to patch from.",
                         "", kNoUpdate}));
    EXPECT_FALSE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(Installed(), e2e::GameBuild("1.0.9"));
}

TEST_F(Installation, AMissingKeyFileStopsTheRunAndOffersTheReport) {
    Install("1.1.5");
    DeleteFileA(Path("data\\levels.dat").c_str());
    e2e::Tree before = Installed();
    UpdateSession run(Programs::Single(), folder.Path());
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(),
              Join(OpeningLines(folder.Path(), "1.1.5"),
                   Lines{"File \"" + e2e::AsInstallFolder(folder.Path()) +
                             "\\data/levels.dat\" was not found, it is required for this patch.",
                         "", kNoUpdate}));
    EXPECT_TRUE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(Installed(), before);
}

TEST_F(Installation, AModifiedKeyFileStopsTheRunAndOffersTheReport) {
    Install("1.1.5");
    e2e::WriteFile(Path("data\\levels.dat"), "changed by the player");
    e2e::Tree before = Installed();
    UpdateSession run(Programs::Single(), folder.Path());
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(),
              Join(OpeningLines(folder.Path(), "1.1.5"),
                   Lines{"File \"" + e2e::AsInstallFolder(folder.Path()) +
                             "\\data/levels.dat\" is not the expected version for this patch.",
                         "", kNoUpdate}));
    EXPECT_TRUE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(Installed(), before);
}

TEST_F(Installation, APatchWithNothingToChangeSucceedsWithoutApplying) {
    Install("1.1.5");
    UpdateSession run(Programs::NoFiles(), folder.Path());
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(),
              Join(OpeningLines(folder.Path(), "1.1.5"),
                   Lines{"Beginning patch process. This may take several minutes...", "",
                         "Update completed successfully, no files needed to be patched."}));
    EXPECT_FALSE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(Installed(), e2e::GameBuild("1.1.5"));
}
