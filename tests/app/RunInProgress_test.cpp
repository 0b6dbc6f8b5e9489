// While a shred run works, nothing else happens in the window: not the clicks and keys of the
// user, not the messages of other programs, not the end of the session.
#include "MainWindowFixture.h"
#include "TestFiles.h"
#include "engine/ShredRun.h"
#include <gtest/gtest.h>
#include <atomic>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

namespace {

void MakeFile(const std::string& path, std::size_t size) {
    WriteAll(path, Filled(size, 'r'));
}

// Real input, as the user's hands make it: keys pressed in order, let go in reverse.
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

void ClickOn(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

// The window's status line, read from another thread: answered only when the run lets
// messages through.
std::string StatusOf(HWND edit) {
    char text[1024] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                        5000, &ignored);
    return text;
}

class RunInProgress : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        SetForegroundWindow(Form().Handle());
        PumpMessages();
    }
    std::string In(const std::string& name) const { return FDir / name; }
    void Drop(const std::string& name) { Form().DnDForm1DnDItem(nullptr, name); }

    // Runs `act` on another thread once the run shows a status line that holds `seen`; the
    // window shows one about every 100 ms, so `seen` must hold for longer than that.
    template <typename Act> std::thread WhenShowing(std::string seen, Act act) {
        HWND edit = Form().Edit1.Handle();
        return std::thread([edit, seen, act] {
            const ULONGLONG end = GetTickCount64() + 20000;
            while (StatusOf(edit).find(seen) == std::string::npos && GetTickCount64() < end)
                Sleep(1);
            act();
        });
    }

    TempDir FDir;
};

} // namespace

TEST_F(RunInProgress, ClicksKeysAndSentClicksDuringARunChangeNothing) {
    // Large enough that the run takes many of the window's ticks.
    std::vector<std::string> marked;
    for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
        MakeFile(In(name), 24 * 1024 * 1024);
        Drop(In(name));
        marked.push_back(std::string(kDoneMarker) + In(name));
    }
    Form().HListBox1.SetItemIndex(2);
    HWND keep = Form().Button1.Handle();
    std::atomic<bool> acted = false;
    std::thread other = WhenShowing("shredding " + In("a.bin"), [&] {
        ClickOn(keep);                      // "Don't Shred" on the selected entry, by the mouse
        Press({VK_MENU, 'D'});              // and by its key
        SendMessageA(keep, BM_CLICK, 0, 0); // and by another program
        acted = true;
    });

    Form().btnWipe.Click();
    other.join();
    PumpMessages();

    EXPECT_TRUE(acted);
    EXPECT_EQ(Entries(), marked);
    EXPECT_EQ(Form().HListBox1.ItemIndex(), 2);
}

TEST_F(RunInProgress, TheSessionWaitsForARunAndItsEndStopsIt) {
    EXPECT_EQ(SendMessageA(Form().Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE)
        << "with no run, the session may end";
    const std::vector<std::string> files = {In("a.bin"), In("b.bin"), In("c.bin")};
    for (const std::string& file : files) {
        MakeFile(file, 24 * 1024 * 1024);
        Drop(file);
    }
    HWND window = Form().Handle();
    LRESULT answer = -1;
    std::thread session = WhenShowing("shredding " + files[0], [&] {
        answer = SendMessageA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
        SendMessageA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    });

    Form().btnWipe.Click();
    session.join();

    EXPECT_EQ(answer, FALSE) << "not yet";
    // It stops within a tick or two: the last file is never reached.
    EXPECT_EQ(Entries().back(), files.back()) << "the run went on";
    EXPECT_EQ(Form().Edit1.Text().find(files.back()), std::string::npos);
    EXPECT_NE(GetFileAttributesA(files.back().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(RunInProgress, OnlyAltNStartsARunFromTheKeyboard) {
    MakeFile(In("n.txt"), 100);
    Drop(In("n.txt"));
    Form().btnBrowse.SetFocus();

    Press({'N'});
    PumpMessages();
    EXPECT_EQ(Entries(), std::vector<std::string>{In("n.txt")});
    EXPECT_EQ(Form().Edit1.Text(), "");

    Press({VK_MENU, 'N'});
    PumpMessages();
    EXPECT_EQ(Entries(), std::vector<std::string>{std::string(kDoneMarker) + In("n.txt")});
}
