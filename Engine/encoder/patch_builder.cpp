#include "patch_builder.h"

#include "build_diff_plan.h"
#include "build_encode.h"
#include "build_information.h"
#include "build_pairing.h"
#include "build_scan.h"
#include "path_safety.h"
#include "payload_reader.h"

namespace tpe {
namespace {

// What is wrong with the request itself, before any build is read; empty when nothing is.
std::string RequestProblem(const BuildRequest& request) {
    if (request.olds.empty()) {
        return "no old build given";
    }
    std::vector<BuildTree> all = request.olds;
    all.push_back(request.current);
    all.insert(all.end(), request.checksumOnly.begin(), request.checksumOnly.end());
    for (const BuildTree& build : all) {
        std::string problem = VersionProblem(build.version);
        if (!problem.empty()) {
            return problem;
        }
    }
    std::string problem =
        VersionProblem(request.fromVersion.empty() ? request.olds[0].version : request.fromVersion);
    if (!problem.empty()) {
        return problem;
    }
    if (!PathProblem(request.versionFile).empty() ||
        request.versionFile.find(',') != std::string::npos) {
        return "the identifying file must be a plain relative name: " + request.versionFile;
    }
    return std::string();
}

void CountChanges(const PatchModel& model, BuildSummary* summary) {
    for (const FileEntry& file : model.files) {
        switch (ActionOf(file)) {
            case FileAction::Add:
                ++summary->added;
                break;
            case FileAction::Modify:
                ++summary->modified;
                break;
            case FileAction::Delete:
                ++summary->deleted;
                break;
        }
    }
    for (const FolderEntry& folder : model.folders) {
        ++(folder.action == FolderAction::Create ? summary->foldersCreated
                                                 : summary->foldersRemoved);
    }
}

// The engine's own reader has the last word: never write a patch it would refuse.
bool WritePayload(PayloadWriter& writer, const PatchModel& model, BuildSummary* summary,
                  std::string* error) {
    std::string why = ModelProblem(model, writer.DataSize());
    if (!why.empty()) {
        *error = "the builds cannot be expressed as a patch: " + why;
        return false;
    }
    return writer.Finish(model, &summary->payloadBytes, error);
}

}  // namespace

bool BuildPatch(FileSystem& fs, const BuildRequest& request, const std::string& output,
                BuildSummary* summary, std::string* error) {
    if (!(*error = RequestProblem(request)).empty()) {
        return false;
    }
    ScannedBuilds builds;
    if (!ScanBuilds(fs, request, &builds, error)) {
        return false;
    }
    summary->newBuildBytes = TreeBytes(builds.current);
    PatchModel model;
    if (!PlanInformation(fs, request, builds, &model, error) ||
        !PairFiles(builds, &model.files, error)) {
        return false;
    }
    model.folders = PairFolders(builds);
    if (model.files.empty() && model.folders.empty()) {
        *error = "the old and new builds are identical: there is nothing to patch";
        return false;
    }
    CountChanges(model, summary);
    DiffPlan plan = PlanDiffs(request, &model);
    PayloadWriter writer(fs, output);
    return EncodeBlocks(fs, request, plan, writer, &model, summary, error) &&
           WritePayload(writer, model, summary, error);
}

}  // namespace tpe
