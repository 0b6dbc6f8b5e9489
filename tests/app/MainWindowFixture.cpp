#include "MainWindowFixture.h"
#include "framework/Application.h"

namespace {

// The Explorer-style picker keeps its file name in the edit of a combo box (cmb13); older
// templates use a plain edit (edt1).
HWND PickerFileNameBox(HWND picker) {
    if (HWND combo = GetDlgItem(picker, 0x47C))
        return combo;
    return GetDlgItem(picker, 0x480);
}

} // namespace

void MainWindowTest::SetUp() {
    FSandbox.Enter();
    FForm = &StartUp();
    FForm->Show();
    PumpMessages();
}

void MainWindowTest::TearDown() {
    Application().DestroyForms();
    FSandbox.Leave();
}

std::vector<std::string> MainWindowTest::Entries() {
    std::vector<std::string> entries;
    for (int i = 0; i < Form().HListBox1.Count(); ++i)
        entries.push_back(Form().HListBox1.Strings(i));
    return entries;
}

std::vector<TDialogSeen> MainWindowTest::Click(TButton& button, TDialogAnswerer::TAction action) {
    TDialogAnswerer answerer(std::move(action));
    button.Click();
    PumpMessages();
    return answerer.Seen();
}

TDialogAnswerer::TAction TypeIntoPicker(std::string typed) {
    return [typed](HWND dialog, const TDialogSeen& seen) {
        if (seen.Caption == kPickerTitle) {
            SetWindowTextA(PickerFileNameBox(dialog), typed.c_str());
        }
        TDialogAnswerer::PressOk(dialog, seen);
    };
}

std::string Quoted(const std::vector<std::string>& names) {
    std::string typed;
    for (const std::string& name : names)
        typed += (typed.empty() ? "\"" : " \"") + name + "\"";
    return typed;
}

std::string PickerFileName(HWND picker) {
    char text[MAX_PATH * 2] = {};
    GetWindowTextA(PickerFileNameBox(picker), text, sizeof text);
    return text;
}

bool ShowsColor(HWND window, COLORREF color) {
    RECT r{};
    GetClientRect(window, &r);
    HDC dc = GetDC(window);
    bool found = false;
    for (int y = r.top; y < r.bottom && !found; ++y)
        for (int x = r.left; x < r.right && !found; ++x)
            found = GetPixel(dc, x, y) == color;
    ReleaseDC(window, dc);
    return found;
}
