#pragma once
// A window stand-in for the update run's parts: keeps everything they show.

#include <string>
#include <vector>

#include "shell/PatchView.h"

class RecordingView : public PatchView {
public:
    void SetStatus(const char* word) override { statuses.push_back(word); }
    void AddLine(QLC_String text) override { lines.push_back(text.c_str()); }
    void SetFileProgress(int percent) override { fileBar.push_back(percent); }
    void SetOverallProgress(int percent) override { overallBar.push_back(percent); }
    void ShowFinished() override { ++finished; }
    void ShowErrorReportButton() override {}
    void HideErrorReportButton() override {}

    std::vector<std::string> statuses;
    std::vector<std::string> lines;
    std::vector<int> fileBar;
    std::vector<int> overallBar;
    int finished = 0;
};
