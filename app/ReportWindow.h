#pragma once
// The report after a run or a drop: a summary, then every entry with what became of it and
// what to do, in a scrolling text that fits the screen however long the list is.
#include "app/ReportWording.h"
#include "framework/Form.h"

// The report window's own class, as message boxes have theirs.
inline constexpr const char* kReportClass = "OstrevaneReport";

class TfrmReport : public TForm {
public:
    TfrmReport();

    TLabel lblSummary;
    TMemo memEntries;
    TButton btnOK;

    // Shows the report modally over the window `over`, sized to fit its monitor's work area.
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
    // The height of text set in a control's font at this width.
    int TextHeight(const TControl& control, const std::string& text, int width) const;
    void CopyReport();

    TReport FReport;
};
