#pragma once
// The report after a run or a drop: a summary, then the names it speaks of grouped by reason,
// in a scrolling text that fits its monitor however long the list is.
#include "app/ReportWording.h"
#include "framework/Form.h"
#include "framework/Monitors.h"

// The report window's own class, as message boxes have theirs.
inline constexpr const char* kReportClass = "OstrevaneReport";

class TfrmReport : public TForm {
public:
    TfrmReport();

    TLabel lblSummary;
    TMemo memEntries;
    TButton btnOK;

    // The monitors the report is placed by: the system's, unless others are given.
    void SetMonitors(TMonitors& monitors) noexcept { FMonitors = &monitors; }
    // Shows the report modally over the window `over`, measured at the scale of that window's
    // monitor and sized to fit its work area.
    void Execute(const TReport& report, HWND over);
    void btnOKClick(TObject* Sender);
    // The whole report as text, as Ctrl+C copies it.
    std::string Text() const;

protected:
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool PreviewMessage(const MSG& msg) override;

private:
    static const TFormLayout& Layout() noexcept;
    // The size the report asks for, within the work area of the monitor of `over`.
    void FitTo(HWND over);
    void Arrange();
    // Sets the list's text for its width: names too wide for it go on with a deeper indent.
    void HangIndents();
    // The height of text set in a control's font at this width.
    int TextHeight(const TControl& control, const std::string& text, int width) const;
    void CopyReport();

    TReport FReport;
    std::string FBody, FShownBody;
    int FWrappedAt = 0;
    TMonitors* FMonitors = &SystemMonitors();
};
