#include "app/ReportWindow.h"
#include "framework/CodePages.h"
#include "framework/Dpi.h"
#include <algorithm>
#include <cstring>
#include <string_view>

namespace {
// At 96 DPI: the margins, the button, and the width at which a reason still reads as a
// paragraph. Lines wider than this are wrapped, names (the indented lines) excepted, up to the
// work area's width.
constexpr int kMargin = 12;
constexpr int kGap = 8;
constexpr TSize kButton = {75, 23};
constexpr int kReadingWidth = 560;
constexpr TSize kLeast = {320, 200};

// The code page of programs that read text the old way: the system's, which this program's
// manifest replaced by UTF-8 for itself alone.
UINT SystemCodePage() {
    DWORD codePage = 0;
    if (!GetLocaleInfoEx(LOCALE_NAME_SYSTEM_DEFAULT,
                         LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                         reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(WCHAR)))
        return CP_ACP;
    return codePage;
}

// Names (the indented lines) too wide for the list are broken by the report itself, after a
// '\\' or a blank where one fits, and go on below with a deeper indent: the edit control would
// go on at the margin, level with the reasons.
std::string HangingIndents(HDC dc, const std::string& body, int width) {
    std::string text;
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(body.find("\r\n", start), body.size());
        std::wstring line = Widened(std::string_view(body).substr(start, end - start), CP_UTF8);
        const std::size_t indent = line.find_first_not_of(L' ');
        if (indent != 0 && indent != std::wstring::npos) {
            // Two blanks deeper: no line of the report is set there, so that the rest of a
            // folder does not read as one of its names, nor the rest of a name as a detail.
            const std::wstring deeper(indent + 2, L' ');
            for (std::size_t lead = indent;; lead = deeper.size()) {
                int fit = 0;
                SIZE extent{};
                GetTextExtentExPointW(dc, line.c_str(), static_cast<int>(line.size()), width, &fit,
                                      nullptr, &extent);
                if (extent.cx <= width || fit <= static_cast<int>(lead) + 1)
                    break;
                std::size_t cut = line.find_last_of(L"\\ ", static_cast<std::size_t>(fit) - 1);
                if (cut == std::wstring::npos || cut < lead)
                    cut = static_cast<std::size_t>(fit) - 1;
                // Never between the halves of a character beyond the 16-bit range.
                if (IS_HIGH_SURROGATE(line[cut]) && cut > lead)
                    --cut;
                text += Narrowed(line.substr(0, cut + 1), CP_UTF8) + "\r\n";
                line = deeper + line.substr(cut + 1);
            }
        }
        text += Narrowed(line, CP_UTF8);
        if (end == body.size())
            return text;
        text += "\r\n";
        start = end + 2;
    }
}

void PutOnClipboard(UINT format, const void* data, std::size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return;
    std::memcpy(GlobalLock(memory), data, size);
    GlobalUnlock(memory);
    if (!SetClipboardData(format, memory))
        GlobalFree(memory);
}
} // namespace

// clang-format off
const TFormLayout& TfrmReport::Layout() noexcept {
    static const TFormLayout layout = {
        .Form = {.Caption = "Windows Ostrevane", .ClassName = kReportClass,
                 .ClientWidth = 480, .ClientHeight = 300,
                 .Border = TBorderStyle::bsSizeable, .BorderIcons = 0, .Color = clBtnFace,
                 .Font = Font("MS Sans Serif", -11, 0, clWindowText)},
        .Controls = {
            {.Name = "lblSummary", .Field = &TfrmReport::lblSummary, .Bounds = {12, 12, 456, 16},
             .Options = coWordWrap},
            {.Name = "memEntries", .Field = &TfrmReport::memEntries, .Bounds = {12, 36, 456, 221},
             .TabOrder = 1, .Options = coReadOnly, .Color = clWindow},
            {.Name = "btnOK", .Field = &TfrmReport::btnOK, .Bounds = {393, 265, 75, 23},
             .Caption = "OK", .TabOrder = 0, .Options = coDefault | coCancel,
             .OnClick = &TfrmReport::btnOKClick},
        },
    };
    return layout;
}
// clang-format on

TfrmReport::TfrmReport() : TForm(Layout()) {}

void TfrmReport::Execute(const TReport& report, HWND over) {
    FReport = report;
    Handle();
    lblSummary.SetText(report.Summary);
    // However many names: an edit control's limit holds for typing, not for this.
    FBody = FShownBody = ReportBody(report);
    FWrappedAt = 0;
    memEntries.SetText(FBody);
    FitTo(over);
    ShowModal();
}

void TfrmReport::btnOKClick(TObject*) {
    SetModalResult(mrOk);
    Close();
}

std::string TfrmReport::Text() const {
    return ReportText(Caption(), FReport);
}

int TfrmReport::TextHeight(const TControl& control, const std::string& text, int width) const {
    TWindowDC dc(control.Handle());
    TSelectObject font(dc.Get(), control.Font());
    RECT r{0, 0, width, 0};
    DrawTextA(dc.Get(), text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
    return r.bottom - r.top;
}

void TfrmReport::FitTo(HWND over) {
    HWND window = Handle();
    const TMonitorArea monitor = FMonitors->OfWindow(over ? over : window);
    const RECT work = monitor.Work;
    // Measured on that monitor, at its scale: Windows rescales a window as it moves to a monitor
    // of another scale, and where it has not (yet), the report does.
    SetWindowPos(window, nullptr, work.left, work.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (Dpi() != monitor.Dpi)
        ScaleTo(monitor.Dpi);
    const int dpi = Dpi();
    RECT outer{}, inner{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &inner);
    const TSize frame = {(outer.right - outer.left) - inner.right,
                         (outer.bottom - outer.top) - inner.bottom};
    const TSize most = {work.right - work.left - frame.Width,
                        work.bottom - work.top - frame.Height};

    // The text's own width: the widest name whole, reasons up to a paragraph's width.
    const std::string body = FBody;
    int widest = 0;
    {
        TWindowDC dc(memEntries.Handle());
        TSelectObject font(dc.Get(), memEntries.Font());
        const int reading = Scaled(kReadingWidth, dpi);
        for (std::size_t start = 0; start < body.size();) {
            std::size_t end = body.find("\r\n", start);
            if (end == std::string::npos)
                end = body.size();
            const std::string_view line(body.data() + start, end - start);
            SIZE extent{};
            GetTextExtentPoint32A(dc.Get(), line.data(), static_cast<int>(line.size()), &extent);
            const int width = static_cast<int>(extent.cx);
            widest = std::max(widest, line.starts_with(' ') ? width : std::min(width, reading));
            start = end + 2;
        }
    }
    // The edit's frame, margins and scroll bar around its text.
    RECT area{};
    SendMessageA(memEntries.Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    const TRect memo = memEntries.Bounds();
    const TSize chrome = {memo.Width - (area.right - area.left),
                          memo.Height - (area.bottom - area.top)};
    const int margin = Scaled(kMargin, dpi), gap = Scaled(kGap, dpi);
    const int width = std::clamp(widest + chrome.Width + 2 * margin, Scaled(kLeast.Width, dpi),
                                 std::max(most.Width, Scaled(kLeast.Width, dpi)));
    const int textWidth = width - 2 * margin - chrome.Width;
    const int height = margin + TextHeight(lblSummary, FReport.Summary, width - 2 * margin) + gap +
                       TextHeight(memEntries, body, textWidth) + chrome.Height + gap +
                       Scaled(kButton.Height, dpi) + margin;
    const TSize client = {width, std::clamp(height, Scaled(kLeast.Height, dpi),
                                            std::max(most.Height, Scaled(kLeast.Height, dpi)))};
    const TSize size = {client.Width + frame.Width, client.Height + frame.Height};
    // Centred on the work area, and wholly inside it.
    const int left =
        std::max<int>(work.left, work.left + (work.right - work.left - size.Width) / 2);
    const int top = std::max<int>(work.top, work.top + (work.bottom - work.top - size.Height) / 2);
    SetWindowPos(window, nullptr, left, top, size.Width, size.Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Arrange();
}

// The summary takes the lines its text needs; the list, what is left above the button.
void TfrmReport::Arrange() {
    const int dpi = Dpi();
    const TSize client = ClientSize();
    const int margin = Scaled(kMargin, dpi), gap = Scaled(kGap, dpi);
    const TSize button = Scaled(kButton, dpi);
    const int width = std::max(client.Width - 2 * margin, 0);
    const int summary = TextHeight(lblSummary, lblSummary.Text(), width);
    const int buttonTop = client.Height - margin - button.Height;
    btnOK.SetBounds(client.Width - margin - button.Width, buttonTop, button.Width, button.Height);
    lblSummary.SetBounds(margin, margin, width, summary);
    const int memoTop = margin + summary + gap;
    memEntries.SetBounds(margin, memoTop, width, std::max(buttonTop - gap - memoTop, 0));
    HangIndents();
}

void TfrmReport::HangIndents() {
    RECT area{};
    SendMessageA(memEntries.Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    const int width = area.right - area.left;
    if (width <= 0 || width == FWrappedAt)
        return;
    FWrappedAt = width;
    TWindowDC dc(memEntries.Handle());
    TSelectObject font(dc.Get(), memEntries.Font());
    std::string text = HangingIndents(dc.Get(), FBody, width);
    if (text != FShownBody) {
        FShownBody = std::move(text);
        // Where the user had scrolled to, near enough: a resize does not send them to the top.
        const LRESULT first = SendMessageA(memEntries.Handle(), EM_GETFIRSTVISIBLELINE, 0, 0);
        memEntries.SetText(FShownBody);
        SendMessageA(memEntries.Handle(), EM_LINESCROLL, 0, first);
    }
}

LRESULT TfrmReport::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETMINMAXINFO) {
        const int dpi = Dpi();
        auto& limits = *reinterpret_cast<MINMAXINFO*>(lParam);
        limits.ptMinTrackSize = {Scaled(kLeast.Width, dpi), Scaled(kLeast.Height, dpi)};
        return 0;
    }
    const LRESULT result = TForm::WndProc(message, wParam, lParam);
    // The table places the controls for its own size; the summary's lines decide the rest.
    if (message == WM_SIZE || message == WM_DPICHANGED)
        Arrange();
    // The size Windows suggests for the new scale may reach past the monitor's work area.
    if (message == WM_DPICHANGED)
        KeepInWorkArea(*FMonitors);
    return result;
}

bool TfrmReport::PreviewMessage(const MSG& msg) {
    // Ctrl+C copies the whole report, as a message box does; in the list, a selection is
    // copied as it stands.
    if (msg.message != WM_KEYDOWN || msg.wParam != 'C' || GetKeyState(VK_CONTROL) >= 0)
        return false;
    if (msg.hwnd == memEntries.Handle()) {
        const auto [first, end] = memEntries.Selection();
        if (first != end)
            return false;
    }
    CopyReport();
    return true;
}

void TfrmReport::CopyReport() {
    const std::wstring text = Widened(Text());
    if (!OpenClipboard(Handle()))
        return;
    EmptyClipboard();
    PutOnClipboard(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    const std::string old = Narrowed(text, SystemCodePage());
    PutOnClipboard(CF_TEXT, old.c_str(), old.size() + 1);
    CloseClipboard();
}
