#include "app/WindowDisplay.h"
#include "engine/ShredRun.h"
#include "framework/CodePages.h"
#include "framework/Exception.h"
#include "framework/GdiObject.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

// About 10 paints a second: smooth enough to follow, and under Wine a paint of everything
// (the list's scroll bars above all) takes several milliseconds, which small files would
// otherwise pay for 40 times a second.
constexpr ULONGLONG kPaintInterval = 100;
// Where a paint takes longer (a slow display, a busy system), the pause after it grows so that
// painting takes no more than about 2 % of the run; never past a second, as the same tick shows
// the system that the window is alive.
constexpr ULONGLONG kPausePerPaintTime = 50;
constexpr ULONGLONG kLongestPause = 1000;

// The progress bar takes a 32-bit range: larger sizes are scaled to this many steps.
constexpr std::int64_t kScaledSteps = 1 << 30;

int WidthOf(HDC dc, const std::wstring& text) {
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    return static_cast<int>(extent.cx);
}

// The waiting line with the file's name shortened in its middle where the whole line would not
// show ("C:\Users\...\held.txt"): the reason and the file's own name stay in sight at every
// scale; the folders between give way first.
std::string Fitted(const TEdit& status, const std::string& text) {
    if (!text.starts_with(kWaitingStatus))
        return text;
    RECT area{};
    SendMessageW(status.Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    TWindowDC dc(status.Handle());
    TSelectObject font(dc.Get(), status.Font());
    const std::wstring reason = Widened(kWaitingStatus, CP_UTF8);
    const std::wstring name = Widened(text.substr(kWaitingStatus.size()), CP_UTF8);
    const int room = (area.right - area.left) - WidthOf(dc.Get(), reason);
    if (WidthOf(dc.Get(), name) <= room)
        return text;
    // Its first part (the drive, or the server and share) is kept with as many of its last parts
    // as fit, the file's own name at least.
    std::size_t head = name.find(L'\\', name.starts_with(L"\\\\") ? 2 : 0);
    if (head != std::wstring::npos && name.starts_with(L"\\\\"))
        head = name.find(L'\\', head + 1);
    if (head == std::wstring::npos)
        return text;
    std::wstring shortest;
    for (std::size_t tail = name.find(L'\\', head + 1); tail != std::wstring::npos;
         tail = name.find(L'\\', tail + 1)) {
        shortest = name.substr(0, head + 1) + L"..." + name.substr(tail);
        if (WidthOf(dc.Get(), shortest) <= room)
            return Narrowed(reason + shortest, CP_UTF8);
    }
    // Too narrow for even that: whichever is narrower, as much of it as fits.
    if (shortest.empty() || WidthOf(dc.Get(), shortest) >= WidthOf(dc.Get(), name))
        return text;
    return Narrowed(reason + shortest, CP_UTF8);
}

} // namespace

WindowDisplay::WindowDisplay(DisplayControls controls) : FControls(controls) {}

WindowDisplay::~WindowDisplay() {
    ThawList();
    if (FListDirty)
        FControls.list.Repaint();
}

void WindowDisplay::SetStatusText(const std::string& text) {
    FStatus = text;
    FStatusDirty = true;
}

void WindowDisplay::SetStatusColor(std::uint32_t color) {
    FControls.status.SetFontColor(color);
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
    PaintIfDue();
}

void WindowDisplay::Wait(std::chrono::milliseconds time) {
    Paint();
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(time.count());
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_SENDMESSAGE);
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
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
    return FControls.list.Count();
}

std::string WindowDisplay::ListText(int index) {
    const auto held = FHeld.find(index);
    return held != FHeld.end() ? held->second : FControls.list.Strings(index);
}

void WindowDisplay::ListReplace(int index, const std::string& text) {
    if (index < 0 || index >= FControls.list.Count())
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
    if (InSight(index)) {
        FHeld.erase(index);
        ReplaceNow(index, text);
    } else {
        FHeld[index] = text;
    }
}

bool WindowDisplay::InSight(int index) const {
    const int top = FControls.list.TopIndex();
    return index >= top && index < top + FControls.list.VisibleCount();
}

void WindowDisplay::ReplaceNow(int index, const std::string& text) {
    if (!FListFrozen) {
        FControls.list.SetRedraw(false);
        FListFrozen = true;
    }
    FControls.list.Replace(index, text);
}

void WindowDisplay::PutInHeldLines(bool all) {
    if (all) {
        if (FHeld.empty())
            return;
        if (!FListFrozen) {
            FControls.list.SetRedraw(false);
            FListFrozen = true;
        }
        // Emptied first: a failure must not leave the lines to be put in twice.
        const std::map<int, std::string> held = std::move(FHeld);
        FHeld.clear();
        FControls.list.Replace(held);
        return;
    }
    // The lines that came into sight meanwhile (the list was scrolled).
    const int top = FControls.list.TopIndex();
    auto line = FHeld.lower_bound(top);
    const auto end = FHeld.lower_bound(top + FControls.list.VisibleCount());
    while (line != end) {
        ReplaceNow(line->first, line->second);
        line = FHeld.erase(line);
    }
}

EntryKind WindowDisplay::ListKind(int index) {
    return TListedFiles::Kind(FControls.list.ItemData(index));
}

FileId WindowDisplay::ListIdentity(int index) {
    return FControls.listed.Id(FControls.list.ItemData(index));
}

void WindowDisplay::SetListKind(int index, EntryKind kind) {
    // A new kind (shredded) has no more use for the identity the line was listed with.
    FControls.list.SetItemData(index, static_cast<LPARAM>(kind));
}

void WindowDisplay::ThawList() {
    if (!FListFrozen)
        return;
    FListFrozen = false;
    // Turning redraw back on brings the scroll bars up to date; the lines still need a paint.
    FControls.list.SetRedraw(true);
    FListDirty = true;
}

void WindowDisplay::SetListColor(std::uint32_t color) {
    if (FControls.list.FontColor() == color)
        return;
    FControls.list.SetFontColor(color);
    FListDirty = true;
}

void WindowDisplay::RepaintList() {
    // What changed in sight made the list dirty already; lines out of sight need no paint.
    PaintIfDue();
}

void WindowDisplay::PaintIfDue() {
    // GetTickCount64 only reads a counter: cheap enough to ask per chunk.
    if (GetTickCount64() >= FNextPaint)
        Paint();
}

void WindowDisplay::Flush() {
    PutInHeldLines(true);
    Paint();
}

void WindowDisplay::Paint() {
    // Measured finer than the tick count, which moves in steps of up to 16 ms.
    const auto start = std::chrono::steady_clock::now();
    if (FStatusDirty) {
        FStatusDirty = false;
        if (FStatus != FShownStatus) {
            FControls.status.SetText(Fitted(FControls.status, FStatus));
            FShownStatus = FStatus;
            FControls.status.Repaint();
        }
    }
    if (FPatternDirty) {
        FPatternDirty = false;
        if (FPattern != FShownPattern) {
            FControls.pattern.SetText(FPattern);
            FShownPattern = FPattern;
            FControls.pattern.Repaint();
        }
    }
    const int minimum = Scaled(FMinimum);
    const int maximum =
        FMaximum <= 0x7FFFFFFF ? static_cast<int>(FMaximum) : static_cast<int>(kScaledSteps);
    if (minimum != FShownMin || maximum != FShownMax) {
        FControls.progress.SetRange(minimum, maximum);
        FShownMin = minimum;
        FShownMax = maximum;
    }
    const int position = Scaled(FPosition);
    if (position != FShownPosition) {
        FControls.progress.SetPosition(position);
        FShownPosition = position;
    }
    PutInHeldLines(false);
    ThawList();
    if (FListDirty) {
        FListDirty = false;
        FControls.list.Repaint();
    }
    // Peeking (not removing) tells the system the thread is alive; input stays queued.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    FNextPaint =
        GetTickCount64() + std::clamp(static_cast<ULONGLONG>(took.count()) * kPausePerPaintTime,
                                      kPaintInterval, kLongestPause);
}
