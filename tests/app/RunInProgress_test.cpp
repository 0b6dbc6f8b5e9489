// While a shred run works, nothing else happens in the window: not the clicks and keys of the
// user, not the messages of other programs, not the end of the session.
#include "MainWindowFixture.h"
#include "TestFiles.h"
#include "engine/DisplayElements.h"
#include "engine/ShredRun.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

void MakeFile(const std::string& path, std::size_t size) {
    WriteAll(path, Filled(size, 'r'));
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

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FirstPass(const std::string& path, std::size_t size) {
    return "shredding " + path + ": size is " + std::to_string(size) + " bytes ... Pass 1";
}

class RunInProgress : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        SetForegroundWindow(Form().Handle());
        PumpMessages();
        RequireScratch();
    }
    std::string In(const std::string& name) const { return FDir / name; }
    void Drop(const std::string& name) { Form().DnDForm1DnDItem(nullptr, name); }
    // Lists a fresh a.bin, b.bin and c.bin of kSize bytes each, in place of what was listed.
    std::vector<std::string> ListThreeFiles() {
        Form().HListBox1.SetItemIndex(-1);
        Form().Button1Click(nullptr);
        std::vector<std::string> files;
        for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
            files.push_back(In(name));
            MakeFile(files.back(), kSize);
            Drop(files.back());
        }
        return files;
    }

    static constexpr std::size_t kSize = 3000;
    // A free-space wipe that a broken rule lets go on fills the scratch tmpfs, not the disk.
    TempDir FDir{ScratchBase()};
};

} // namespace

// Whatever arrives while the run works, by the user's hands or from another program, sent or
// posted, acts neither then nor after the run.
TEST_F(RunInProgress, ClicksKeysCommandsAndDropsDuringARunChangeNothing) {
    HWND window = Form().Handle(), keep = Form().Button1.Handle(), wipe = Form().btnWipe.Handle();
    const auto command = [window](HWND button) {
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    };
    const std::string dropped = In("dropped.bin");
    MakeFile(dropped, 10);
    struct Row {
        const char* what;
        std::function<void()> act;
        bool closes = false; // the window closes once the run is over
    };
    const std::vector<Row> rows = {
        {"Don't Shred clicked", [&] { ClickOn(keep); }},
        {"Don't Shred by its key",
         [&] {
             Press({VK_MENU, 'D'});
         }},
        {"Don't Shred clicked by a sent message", [&] { SendMessageA(keep, BM_CLICK, 0, 0); }},
        {"Don't Shred clicked by a posted message", [&] { PostMessageA(keep, BM_CLICK, 0, 0); }},
        {"Don't Shred's command posted", [&] { command(keep); }},
        {"Shred NOW! clicked by a posted message", [&] { PostMessageA(wipe, BM_CLICK, 0, 0); }},
        {"Shred NOW!'s command posted", [&] { command(wipe); }},
        {"a closing sent", [&] { SendMessageA(window, WM_CLOSE, 0, 0); }},
        {"a drop sent", [&] { SendMessageA(window, WM_DROPFILES, DropHandle({dropped}), 0); }},
        {"a drop posted", [&] { PostMessageA(window, WM_DROPFILES, DropHandle({dropped}), 0); }},
        {"a dropped name handed over", [&] { OnWindowThread([&] { Drop(dropped); }); }},
        // The one request that outlives the run; last, as it ends the program.
        {"the close box clicked by a posted message",
         [&] { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::vector<std::string> files = ListThreeFiles();
        Form().HListBox1.SetItemIndex(2);

        std::vector<TDialogSeen> shown;
        // The buttons that do nothing while the run lasts look so, and only then.
        const std::vector<HWND> resting = {keep, wipe, Form().btnBrowse.Handle()};
        bool enabledDuring = true;
        const std::string held = ShredHolding(
            [&] {
                enabledDuring = std::any_of(resting.begin(), resting.end(), IsWindowEnabled);
                // A listed file that is gone is left alone; back after the run, it would be
                // shredded by any second run that waited.
                DeleteFileA(files[1].c_str());
                row.act();
            },
            &shown);
        EXPECT_FALSE(enabledDuring);
        EXPECT_TRUE(std::all_of(resting.begin(), resting.end(), IsWindowEnabled) || row.closes);
        MakeFile(files[1], kSize);
        PumpMessages();

        EXPECT_EQ(held, FirstPass(files[0], kSize));
        EXPECT_EQ(Entries(),
                  (std::vector<std::string>{std::string(kDoneMarker) + files[0], files[1],
                                            std::string(kDoneMarker) + files[2]}));
        EXPECT_EQ(Form().HListBox1.ItemIndex(), 2);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].Text, "2 of 3 files were shredded. 1 was not: no longer there. See "
                                 "why below.\n" +
                                     Grouped(kGoneTitle, kGoneReason, {files[1]}));
        EXPECT_EQ(ReadAll(files[1]), Filled(kSize, 'r'));
        EXPECT_EQ(IsWindowVisible(window) != 0, !row.closes);
    }
}

// The system's drag and drop may deliver a drop made during a run only after it (Wine does):
// a drop that reaches the window before the run has settled is not listed, a later one is.
TEST_F(RunInProgress, ADropDeliveredAsTheRunEndsIsNotListedButALaterOneIs) {
    const std::vector<std::string> files = ListThreeFiles();
    const std::string dropped = In("dropped.bin");
    MakeFile(dropped, 10);
    HWND window = Form().Handle();

    EXPECT_EQ(ShredHolding([] {}), FirstPass(files[0], kSize));
    PostMessageA(window, WM_DROPFILES, DropHandle({dropped}), 0);
    PumpMessages();
    EXPECT_EQ(Entries().size(), 3u);

    EXPECT_TRUE(PumpUntil([&] {
        PostMessageA(window, WM_DROPFILES, DropHandle({dropped}), 0);
        PumpMessages();
        return Entries().size() > 3;
    })) << "drops are listed again once the run has settled";
    EXPECT_EQ(Entries().back(), dropped);
}

// Windows asks the program before the session ends: during a run the answer is "not yet",
// and an end that comes anyway stops the run in the entry under way.
TEST_F(RunInProgress, TheSessionWaitsForARunAndItsEndStopsIt) {
    HWND window = Form().Handle();
    EXPECT_EQ(SendMessageA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE)
        << "with no run, the session may end";
    struct Row {
        const char* what;
        bool wipe; // the first entry names no file: a free-space wipe
    };
    for (const Row row : {Row{"a file", false}, Row{"a free-space wipe", true}}) {
        SCOPED_TRACE(row.what);
        std::vector<std::string> files = ListThreeFiles();
        if (row.wipe) {
            // As the picker lists a name that is no file.
            DeleteFileA(files[0].c_str());
            files[0] = In("wipe.bin");
            Form().HListBox1.Delete(0);
            Form().HListBox1.Insert(0, files[0]);
            Form().HListBox1.SetItemData(0, static_cast<LPARAM>(EntryKind::NoFile));
        }
        LRESULT answer = -1;

        const std::string held = ShredHolding([&] {
            answer = SendMessageA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
            SendMessageA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        });

        EXPECT_EQ(answer, FALSE) << "not yet";
        EXPECT_EQ(held.rfind("shredding " + files[0] + ": size is ", 0), 0u) << held;
        EXPECT_EQ(Form().Edit1.Text(), held) << "the run went on";
        EXPECT_EQ(Entries(), files) << "the entry under way and the later ones stay unmarked";
        EXPECT_EQ(Exists(files[0]), !row.wipe) << "a wipe's filler goes";
        for (std::size_t i = row.wipe ? 1 : 0; i < files.size(); ++i)
            EXPECT_EQ(ReadAll(files[i]), Filled(kSize, 'r')) << files[i];
    }
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
