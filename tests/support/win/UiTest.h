#pragma once
// Helpers for tests that drive real windows under Wine: message pumping, answering the dialogs
// and message boxes a test provokes, and pictures of windows for the test artifacts.
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

// Handles every message already waiting on this thread, as the program's own loops do
// (dialog keys included).
void PumpMessages();
// Pumps until done() holds; false if it still does not after timeoutMs (a guard against a hung
// test, not a measure of speed).
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// What a dialog showed when the answerer found it.
struct TDialogSeen {
    HWND Window = nullptr;
    std::string Caption;
    // The texts of its Static children, joined by "\n"; in the report window, then its list.
    std::string Text;
    std::vector<std::string> Statics;
};

// While it lives, finds each newly shown dialog or message box (class "#32770") of this thread,
// records it and hands it to the action, which answers it. It works from a thread timer, which
// keeps firing inside the modal loops of message boxes and dialogs. The newest one on a thread
// answers; an older one (a fixture's, for dialogs nobody expected) takes over when it goes.
class TDialogAnswerer {
public:
    using TAction = std::function<void(HWND dialog, const TDialogSeen& seen)>;

    explicit TDialogAnswerer(TAction action = PressOk);
    TDialogAnswerer(const TDialogAnswerer&) = delete;
    TDialogAnswerer& operator=(const TDialogAnswerer&) = delete;
    ~TDialogAnswerer();

    const std::vector<TDialogSeen>& Seen() const noexcept { return FSeen; }

    static void PressOk(HWND dialog, const TDialogSeen& seen);
    static void PressCancel(HWND dialog, const TDialogSeen& seen);
    // Clicks the dialog's button with this id, or sends the command when there is none.
    static void PressButton(HWND dialog, int id);

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) noexcept;
    void Check();

    TAction FAction;
    TDialogAnswerer* FPrevious = nullptr;
    UINT_PTR FTimer = 0;
    std::vector<TDialogSeen> FSeen;
    std::vector<HWND> FAnswered;
};

// Reads the texts of a window's children of the given class, in Z-order.
std::vector<std::string> ChildTexts(HWND window, const char* className);

// What a window shows on screen, frame included, as 24-bit rows from the bottom up; no pixels
// on failure.
struct TWindowPicture {
    BITMAPINFOHEADER Info{};
    std::vector<char> Pixels;
};
TWindowPicture WindowPicture(HWND window);

// Saves what the window shows on screen as a 24-bit .bmp file; false on failure.
bool SaveWindowPicture(HWND window, const std::string& path);
