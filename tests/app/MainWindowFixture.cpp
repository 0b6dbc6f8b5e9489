#include "MainWindowFixture.h"
#include "ScratchFiles.h"
#include "framework/Application.h"
#include <shlobj.h>
#include <cstring>
#include <thread>

namespace {

// Guards against a hung test only; nothing waits this long when the program works.
constexpr DWORD kHangGuardMs = 30000;

constexpr UINT kHoldMessage = WM_APP + 1;
constexpr UINT kCallMessage = WM_APP + 2;

// Waits for `event` while handling the messages other threads send to this one (and only
// those), so that a thread which sends to the window meanwhile cannot hang the test.
void WaitHandlingSent(HANDLE event) {
    const ULONGLONG deadline = GetTickCount64() + kHangGuardMs;
    MSG msg;
    while (MsgWaitForMultipleObjects(1, &event, FALSE, 50, QS_SENDMESSAGE) != WAIT_OBJECT_0 &&
           GetTickCount64() < deadline)
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

struct THold {
    HANDLE Held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE Released = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND Status = nullptr;
    std::string Shown;
    THold() = default;
    THold(const THold&) = delete;
    THold& operator=(const THold&) = delete;
    ~THold() {
        CloseHandle(Held);
        CloseHandle(Released);
    }
};

// Handled where the UI thread next looks at its messages: during a run, its first paint. It
// then handles only messages sent from other threads until the test's thread lets it go.
LRESULT CALLBACK HoldWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == kCallMessage) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    if (message != kHoldMessage)
        return DefWindowProcA(window, message, wParam, lParam);
    auto& hold = *reinterpret_cast<THold*>(lParam);
    char shown[1024] = {};
    GetWindowTextA(hold.Status, shown, sizeof shown);
    hold.Shown = shown;
    SetEvent(hold.Held);
    WaitHandlingSent(hold.Released);
    return 0;
}

// A message-only window of the test's (UI) thread: it holds the run, and runs the test's
// calls on the window's thread.
HWND MakeHoldWindow() {
    static const ATOM atom = [] {
        WNDCLASSA type{};
        type.lpfnWndProc = HoldWindowProc;
        type.hInstance = GetModuleHandleA(nullptr);
        type.lpszClassName = "OstrevaneTestHold";
        return RegisterClassA(&type);
    }();
    return CreateWindowExA(0, MAKEINTATOM(atom), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

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
    FUnexpected.emplace([](HWND dialog, const TDialogSeen& seen) {
        ADD_FAILURE() << "a box nobody expected: " << seen.Caption << ": " << seen.Text;
        TDialogAnswerer::PressOk(dialog, seen);
    });
    PumpMessages();
}

void MainWindowTest::TearDown() {
    FUnexpected.reset();
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
    const std::filesystem::path current = std::filesystem::current_path();
    button.Click();
    PumpMessages();
    // The picker makes the folder it picked from the current one, which Windows then holds
    // open: a test's folder could not be removed, and leftovers would pile up in the temp
    // folder (where, by the hundred, they make Wine's short names fail).
    std::filesystem::current_path(current);
    return answerer.Seen();
}

std::string MainWindowTest::ShredHolding(const std::function<void()>& during,
                                         std::vector<TDialogSeen>* shown) {
    THold hold;
    hold.Status = Form().Edit1.Handle();
    HWND holder = FHolder = MakeHoldWindow();
    EXPECT_NE(holder, nullptr);
    HANDLE sent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE over = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread other([&] {
        // Sent from another thread, it waits for the UI thread's next look at its messages.
        SendNotifyMessageA(holder, kHoldMessage, 0, reinterpret_cast<LPARAM>(&hold));
        SetEvent(sent);
        const HANDLE ends[] = {hold.Held, over};
        if (WaitForMultipleObjects(2, ends, FALSE, kHangGuardMs) == WAIT_OBJECT_0)
            during();
        SetEvent(hold.Released);
    });
    // A plain wait: the hold must stay queued until the run has started.
    WaitForSingleObject(sent, kHangGuardMs);
    {
        const TDialogAnswerer answerer;
        Form().btnWipe.Click();
        if (shown)
            *shown = answerer.Seen();
    }
    // A run that never painted was never held: `during` is skipped, the hold dropped with
    // its window, and what the run left queued stays for the test to pump.
    SetEvent(over);
    WaitHandlingSent(hold.Released);
    other.join();
    DestroyWindow(holder);
    FHolder = nullptr;
    CloseHandle(sent);
    CloseHandle(over);
    EXPECT_EQ(WaitForSingleObject(hold.Held, 0), WAIT_OBJECT_0) << "the run was never held";
    return hold.Shown;
}

void MainWindowTest::OnWindowThread(const std::function<void()>& act) {
    SendMessageA(FHolder, kCallMessage, 0, reinterpret_cast<LPARAM>(&act));
}

void MainWindowTest::RequireScratch() {
    if (ScratchTmpfs().empty())
        GTEST_SKIP() << "needs the scratch tmpfs of tools/with-scratch-fs (root)";
}

std::filesystem::path ScratchBase() {
    const std::string scratch = ScratchTmpfs();
    return scratch.empty() ? std::filesystem::temp_directory_path()
                           : std::filesystem::path(scratch);
}

WPARAM DropHandle(const std::vector<std::string>& names, POINT at) {
    std::size_t chars = 1;
    for (const std::string& name : names)
        chars += name.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->pt = at;
    header->fNC = FALSE;
    header->fWide = FALSE;
    char* text = reinterpret_cast<char*>(header + 1);
    for (const std::string& name : names) {
        std::memcpy(text, name.c_str(), name.size() + 1);
        text += name.size() + 1;
    }
    GlobalUnlock(memory);
    return reinterpret_cast<WPARAM>(memory);
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

void Press(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (const WORD key : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto key = keys.end(); key != keys.begin();) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *--key;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
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

std::string Grouped(const std::string& title, const std::string& reason,
                    const std::vector<std::string>& names, const std::string& details) {
    const std::string digits = std::to_string(names.size());
    std::string count;
    for (std::size_t i = 0; i < digits.size(); ++i)
        count += std::string(i > 0 && (digits.size() - i) % 3 == 0 ? "," : "") + digits[i];
    std::string group =
        title + " (" + count + (names.size() == 1 ? " name" : " names") + "):\n" + reason + "\n";
    // Names of one folder are set below it; the tests' names of several folders share none.
    const auto folderOf = [](const std::string& name) {
        return name.substr(0, name.find_last_of('\\') + 1);
    };
    const bool below = names.size() > 1 && std::all_of(names.begin(), names.end(), [&](auto& name) {
                           return folderOf(name) == folderOf(names.front());
                       });
    const std::string indent = below ? "\n        " : "\n    ";
    if (below)
        group += "\n    " + folderOf(names.front());
    for (const std::string& name : names) {
        group += indent;
        group += below ? name.substr(folderOf(name).size()) : name;
        for (std::size_t start = 0; start < details.size();) {
            const std::size_t end = std::min(details.find('\n', start), details.size());
            group += indent + "    " + details.substr(start, end - start);
            start = end + 1;
        }
    }
    return group;
}
