// The report after a run and after a drop, through the real window: however many entries it
// names, it fits the work area of a 1,024 x 768 screen at each display scale, and OK is
// reached and pressed with the keyboard.
#include "HostProcess.h"
#include "MainWindowFixture.h"
#include "TestFiles.h"
#include "app/ReportWindow.h"
#include "framework/Dpi.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

constexpr int kEntries = 50;
const RECT kSmallScreen = {0, 0, 1024, 768};

std::wstring Exact(const std::string& path) {
    return L"\\\\?\\" + std::filesystem::path(path).wstring();
}

void MakeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

void PostKey(int key) {
    HWND focus = GetFocus();
    ASSERT_NE(focus, nullptr);
    PostMessageA(focus, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
    PostMessageA(focus, WM_KEYUP, static_cast<WPARAM>(key), 0xC0000001);
}

class ReportWindow : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &FWorkArea, 0);
        RECT small = kSmallScreen;
        ASSERT_TRUE(SystemParametersInfoA(SPI_SETWORKAREA, 0, &small, 0));
    }
    void TearDown() override {
        SystemParametersInfoA(SPI_SETWORKAREA, 0, &FWorkArea, 0);
        MainWindowTest::TearDown();
    }

    std::string In(const std::string& name) const { return FDir.Path().string() + "\\" + name; }

    // Answers the report: it lies inside the work area, the list scrolls, Tab from the list
    // reaches OK and Enter presses it. Its picture is kept as `picture`.
    TDialogAnswerer::TAction Check(const std::string& picture) {
        return [this, picture](HWND report, const TDialogSeen& seen) {
            ++FReports;
            RECT outer{};
            GetWindowRect(report, &outer);
            EXPECT_GE(outer.left, kSmallScreen.left) << seen.Text;
            EXPECT_GE(outer.top, kSmallScreen.top);
            EXPECT_LE(outer.right, kSmallScreen.right);
            EXPECT_LE(outer.bottom, kSmallScreen.bottom);
            EXPECT_GT(outer.bottom - outer.top, 200) << "the room there is, used";
            auto* form = reinterpret_cast<TfrmReport*>(GetWindowLongPtrA(report, GWLP_USERDATA));
            ASSERT_NE(form, nullptr) << seen.Caption << ": " << seen.Text;
            EXPECT_TRUE(GetWindowLongA(form->memEntries.Handle(), GWL_STYLE) & WS_VSCROLL);
            const std::string artifacts = EnvOrEmpty("OSTREVANE_ARTIFACTS");
            if (!artifacts.empty()) {
                EXPECT_TRUE(SaveWindowPicture(report, HostPath(artifacts) + "\\" + picture));
            }
            SetForegroundWindow(report);
            form->memEntries.SetFocus();
            PostKey(VK_TAB);
            PumpUntil([&] { return GetFocus() == form->btnOK.Handle(); });
            EXPECT_EQ(GetFocus(), form->btnOK.Handle()) << "Tab from the list reaches OK";
            PostKey(VK_RETURN);
        };
    }

    TempDir FDir;
    RECT FWorkArea{};
    int FReports = 0;
};

// Run by FitsTheScreenAtEveryDisplayScale in a process of its own: Wine reads the screen's
// DPI when a process starts.
TEST_F(ReportWindow, DISABLED_FitsTheScreenAfterARunAndAfterADrop) {
    const int dpi = std::atoi(EnvOrEmpty("OSTREVANE_TEST_DPI").c_str());
    ASSERT_EQ(WindowDpi(Form().Handle()), dpi);
    const std::string scale = std::to_string(dpi);

    // A drop of a folder of names too long to list.
    const std::string deep = In(std::string(120, 'd'));
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    for (int i = 0; i < kEntries; ++i)
        MakeFile(Exact(deep + "\\" + std::to_string(i) + std::string(150, 'n') + ".txt"));
    PostMessageA(Form().Handle(), WM_DROPFILES, DropHandle({deep}), 0);
    {
        TDialogAnswerer answerer(Check("report-after-drop-" + scale + ".bmp"));
        ASSERT_TRUE(PumpUntil([&] { return FReports == 1; }));
    }

    // A run that left every entry: the files went after they were listed.
    for (int i = 0; i < kEntries; ++i) {
        const std::string name = In("gone before its turn came, number " + std::to_string(i));
        MakeFile(Exact(name));
        Form().DnDForm1DnDItem(nullptr, name);
        DeleteFileA(name.c_str());
    }
    const auto seen = Click(Form().btnWipe, Check("report-after-run-" + scale + ".bmp"));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Statics.front(), "50 entries were not shredded. Their files are unchanged. "
                                       "50 dropped names could not be listed, so nothing was "
                                       "done there.");
    EXPECT_EQ(FReports, 2);
    std::filesystem::remove_all(Exact(deep));
}

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        text = static_cast<const char*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// As a message box does: Ctrl+C copies the whole report as text, Escape closes it.
TEST_F(ReportWindow, CtrlCCopiesTheWholeReportAndEscapeClosesIt) {
    const std::string name = In("gone.txt");
    MakeFile(Exact(name));
    Form().DnDForm1DnDItem(nullptr, name);
    DeleteFileA(name.c_str());
    std::string copied;

    const auto seen = Click(Form().btnWipe, [&](HWND report, const TDialogSeen&) {
        SetForegroundWindow(report);
        const DWORD before = GetClipboardSequenceNumber();
        Press({VK_CONTROL, 'C'});
        PumpUntil([&] { return GetClipboardSequenceNumber() != before; });
        copied = ClipboardText();
        Press({VK_ESCAPE});
    });

    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(copied, "---------------------------\r\nWindows Ostrevane\r\n"
                      "---------------------------\r\n"
                      "One entry was not shredded. Its file is unchanged.\r\n\r\n" +
                          name +
                          "\r\nThis file was no longer there when its turn came. Nothing was "
                          "done. If it was moved, list it again where it is now.\r\n"
                          "---------------------------\r\nOK\r\n---------------------------\r\n");
    EXPECT_TRUE(IsWindowEnabled(Form().Handle())) << "closed";
}

// A report of 1,000 entries (over 60,000 characters) shows every one of them.
TEST_F(ReportWindow, AThousandEntriesAreAllShown) {
    TReport report{"1000 entries were not shredded.", {}};
    std::string expected = report.Summary;
    for (int i = 0; i < 1000; ++i) {
        report.Entries.push_back({In("entry " + std::to_string(i)), "The reason."});
        expected += (i == 0 ? "\n" : "\n\n") + report.Entries.back().Name + "\nThe reason.";
    }
    ASSERT_GT(expected.size(), 60000u);
    TDialogAnswerer answerer;

    Application().CreateForm<TfrmReport>().Execute(report, Form().Handle());

    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].Text, expected);
}

bool SetLogPixels(DWORD dpi) {
    return RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD,
                           &dpi, sizeof dpi) == ERROR_SUCCESS;
}

TEST(ReportWindowScales, FitsTheScreenAtEveryDisplayScale) {
    for (int dpi : {96, 144}) {
        ASSERT_TRUE(SetLogPixels(static_cast<DWORD>(dpi)));
        SetEnvironmentVariableA("OSTREVANE_TEST_DPI", std::to_string(dpi).c_str());
        EXPECT_EQ(RunThisTest("ReportWindow.DISABLED_*"), 0u) << "at " << dpi << " DPI";
    }
    EXPECT_TRUE(SetLogPixels(96));
}

} // namespace
