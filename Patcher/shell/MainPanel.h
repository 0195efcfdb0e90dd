#pragma once
// The main window's controls: the log pane, two progress bars and the OK, Cancel and Error
// Report buttons, placed by Layout and driven through the PatchView interface.

#include <windows.h>

#include "shell/PatchView.h"

// Control ids the main window acts on.
enum ControlId {
    ID_OK_BUTTON = 14,
    ID_CANCEL_BUTTON = 15,
    ID_LOG_PANE = 16,
    ID_REPORT_BUTTON = 17
};

class MainPanel : public PatchView {
public:
    // Creates the controls; throws Win::Exception when one cannot be made.
    explicit MainPanel(HWND mainWindow);

    // Places the controls for a client area of this size.
    void Layout(int width, int height);

    void SetStatus(const char* word) override;
    void AddLine(QLC_String text) override;
    void SetFileProgress(int percent) override;
    void SetOverallProgress(int percent) override;
    void ShowFinished() override;
    void ShowErrorReportButton() override;
    void HideErrorReportButton() override;

private:
    struct Control {
        HWND handle = nullptr;
        int height = 0;
        int width = 0;
    };

    Control m_fileBar;
    Control m_overallBar;
    Control m_okButton;
    Control m_cancelButton;
    Control m_reportButton;
    HWND m_logPane = nullptr;
    int m_paneHeight = 0;
    int m_textEnd = 0;
};
