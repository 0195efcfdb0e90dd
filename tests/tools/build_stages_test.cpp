// The builder's pairing and diff planning on trees made in memory: which files get an entry,
// which states get a block of their own and which share one.
#include <gtest/gtest.h>

#include "build_diff_plan.h"
#include "build_pairing.h"

namespace {

tpe::Contents Of(const std::string& text) {
    tpe::Contents contents;
    contents.present = true;
    contents.size = text.size();
    contents.hash = tpe::Sha256Of(text.data(), text.size());
    return contents;
}

void Put(tpe::Tree& tree, const std::string& path, const std::string& text, uint16_t mode = 0644) {
    tree.files[path] = Of(text);
    tree.modes[path] = mode;
}

tpe::BuildRequest Request() {
    tpe::BuildRequest request;
    request.olds = {{"1", "o1"}, {"2", "o2"}, {"3", "o3"}};
    request.current = {"4", "new"};
    return request;
}

TEST(BuildStages, EachDistinctOldContentsGetsOneBlockAndEqualOnesShareIt) {
    tpe::ScannedBuilds builds;
    builds.olds.resize(3);
    for (tpe::Tree& old : builds.olds) {
        Put(old, "same.txt", "same");
        Put(old, "gone.txt", "gone");
    }
    Put(builds.olds[0], "data.pak", "old data");
    Put(builds.olds[1], "data.pak", "newer data");
    Put(builds.olds[2], "data.pak", "old data");
    Put(builds.olds[0], "run.sh", "echo", 0644);
    Put(builds.olds[1], "run.sh", "echo", 0755);
    Put(builds.olds[2], "run.sh", "echo", 0755);
    Put(builds.current, "same.txt", "same");
    Put(builds.current, "data.pak", "newer data");
    Put(builds.current, "run.sh", "echo", 0755);
    Put(builds.current, "added.txt", "added");

    tpe::PatchModel model;
    std::string error;
    ASSERT_TRUE(tpe::PairFiles(builds, &model.files, &error)) << error;
    tpe::DiffPlan plan = tpe::PlanDiffs(Request(), &model);
    // Files in path order: added.txt (0) gets one addition for all three builds, data.pak (1)
    // one delta for builds 1 and 3 (build 2 has it); gone.txt and run.sh's mode need no data.
    EXPECT_EQ(plan.jobs.size(), 2u);
    using Place = tpe::DiffPlan::Place;
    EXPECT_EQ(plan.sharing, (std::vector<std::pair<Place, Place>>{
                                {{0, 1}, {0, 0}}, {{0, 2}, {0, 0}}, {{1, 2}, {1, 0}}}));
}

TEST(BuildStages, NamesDifferingOnlyInCaseAreRefusedAndFoldersPaired) {
    std::string error;
    std::vector<tpe::FileEntry> files;
    tpe::ScannedBuilds cased;
    cased.olds.resize(1);
    Put(cased.olds[0], "Data.pak", "a");
    Put(cased.current, "DATA.pak", "a");
    EXPECT_FALSE(tpe::PairFiles(cased, &files, &error));
    EXPECT_NE(error.find("differ only in case"), std::string::npos) << error;

    tpe::ScannedBuilds folders;
    folders.olds.resize(2);
    folders.olds[0].folders = {"Logs", "old"};
    folders.olds[1].folders = {"old"};
    folders.current.folders = {"Logs"};
    std::vector<std::pair<tpe::FolderAction, std::string>> changes;
    for (const tpe::FolderEntry& change : tpe::PairFolders(folders))
        changes.push_back({change.action, change.path});
    EXPECT_EQ(changes, (decltype(changes){{tpe::FolderAction::Create, "Logs"},
                                          {tpe::FolderAction::Remove, "old"}}));
}

}  // namespace
