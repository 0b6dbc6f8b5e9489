#include "app/WindowDisplay.h"

#include "framework/Exception.h"

#include <commctrl.h>

#include <utility>
#include <vector>

namespace {

// About 40 paints a second.
constexpr ULONGLONG kPaintInterval = 25;

// The progress bar takes a 32-bit range: larger sizes are scaled to this many steps.
constexpr std::int64_t kScaledSteps = 1 << 30;

void PaintNow(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

} // namespace

WindowDisplay::WindowDisplay(DisplayWindows windows) : FWindows(std::move(windows)) {}

void WindowDisplay::SetStatusText(const std::string& text) {
    FStatus = text;
    FStatusDirty = true;
}

void WindowDisplay::SetStatusColor(std::uint32_t color) {
    FWindows.setFontColor(FWindows.status, color);
    InvalidateRect(FWindows.status, nullptr, TRUE);
}

void WindowDisplay::RepaintStatus() {
    PaintIfDue();
}

void WindowDisplay::SetPatternCaption(std::string_view caption) {
    FPattern.assign(caption);
    FPatternDirty = true;
}

void WindowDisplay::RepaintPattern() {
    PaintIfDue();
}

void WindowDisplay::SetProgressRange(std::int64_t minimum, std::int64_t maximum) {
    FMinimum = minimum;
    FMaximum = maximum;
}

void WindowDisplay::SetProgressPosition(std::int64_t position) {
    FPosition = position;
    if (position == 0)
        Flush(); // a pass starts or ends: show it as it is
    else
        PaintIfDue();
}

int WindowDisplay::Scaled(std::int64_t value) const {
    if (FMaximum <= 0x7FFFFFFF)
        return static_cast<int>(value);
    // value * steps / maximum without overflow: both fit in 64 bits after the division.
    const std::int64_t whole = value / FMaximum, rest = value % FMaximum;
    return static_cast<int>(
        whole * kScaledSteps +
        static_cast<std::int64_t>(static_cast<long double>(rest) * kScaledSteps / FMaximum));
}

int WindowDisplay::ListCount() {
    return static_cast<int>(SendMessageA(FWindows.list, LB_GETCOUNT, 0, 0));
}

std::string WindowDisplay::ListText(int index) {
    const LRESULT length =
        SendMessageA(FWindows.list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR)
        return {};
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    const LRESULT got = SendMessageA(FWindows.list, LB_GETTEXT, static_cast<WPARAM>(index),
                                     reinterpret_cast<LPARAM>(buffer.data()));
    return got == LB_ERR ? std::string()
                         : std::string(buffer.data(), static_cast<std::size_t>(got));
}

void WindowDisplay::ListReplace(int index, const std::string& text) {
    const bool selected = SendMessageA(FWindows.list, LB_GETCURSEL, 0, 0) == index;
    // The new text goes in before the old one goes out: a list that refuses it keeps the
    // entry as it was, and the later entries keep their places.
    const LRESULT inserted =
        SendMessageA(FWindows.list, LB_INSERTSTRING, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(text.c_str()));
    if (inserted == LB_ERR || inserted == LB_ERRSPACE)
        throw Exception("Unable to insert a line");
    SendMessageA(FWindows.list, LB_DELETESTRING, static_cast<WPARAM>(index + 1), 0);
    if (selected)
        SendMessageA(FWindows.list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void WindowDisplay::SetListColor(std::uint32_t color) {
    FWindows.setFontColor(FWindows.list, color);
    InvalidateRect(FWindows.list, nullptr, TRUE);
}

void WindowDisplay::RepaintList() {
    PaintNow(FWindows.list);
}

void WindowDisplay::PaintIfDue() {
    // GetTickCount64 only reads a counter: cheap enough to ask per chunk.
    if (GetTickCount64() >= FNextPaint)
        Flush();
}

void WindowDisplay::Flush() {
    if (FStatusDirty) {
        FStatusDirty = false;
        if (FStatus != FShownStatus) {
            SetWindowTextA(FWindows.status, FStatus.c_str());
            FShownStatus = FStatus;
            PaintNow(FWindows.status);
        }
    }
    if (FPatternDirty) {
        FPatternDirty = false;
        if (FPattern != FShownPattern) {
            SetWindowTextA(FWindows.pattern, FPattern.c_str());
            FShownPattern = FPattern;
            PaintNow(FWindows.pattern);
        }
    }
    const int minimum = Scaled(FMinimum);
    const int maximum =
        FMaximum <= 0x7FFFFFFF ? static_cast<int>(FMaximum) : static_cast<int>(kScaledSteps);
    if (minimum != FShownMin || maximum != FShownMax) {
        SendMessageA(FWindows.progress, PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
        FShownMin = minimum;
        FShownMax = maximum;
    }
    const int position = Scaled(FPosition);
    if (position != FShownPosition) {
        SendMessageA(FWindows.progress, PBM_SETPOS, static_cast<WPARAM>(position), 0);
        FShownPosition = position;
    }
    // Peeking (not removing) tells the system the thread is alive; input stays queued.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    FNextPaint = GetTickCount64() + kPaintInterval;
}
