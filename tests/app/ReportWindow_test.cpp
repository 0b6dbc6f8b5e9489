// The report after a run and after a drop, through the real window: however many entries it
// names, it fits the work area of a 1,024 x 768 screen at each display scale, and OK is
// reached and pressed with the keyboard.
#include "HostProcess.h"
#include "MainWindowFixture.h"
#include "TestFiles.h"
#include "app/ReportWindow.h"
#include "framework/CodePages.h"
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

// The program's names are UTF-8, its manifest's code page.
std::wstring Utf16(const std::string& text) {
    return Widened(text, CP_UTF8);
}

std::wstring Exact(const std::string& path) {
    return L"\\\\?\\" + Utf16(path);
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
            EXPECT_FALSE(GetWindowLongA(report, GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))
                << "a report hidden in the task bar would leave the program frozen";
            auto* form = reinterpret_cast<TfrmReport*>(GetWindowLongPtrA(report, GWLP_USERDATA));
            ASSERT_NE(form, nullptr) << seen.Caption << ": " << seen.Text;
            EXPECT_TRUE(GetWindowLongA(form->memEntries.Handle(), GWL_STYLE) & WS_VSCROLL);
            // A name too wide for the list goes on below it indented, never at the margin:
            // no line the list breaks itself is an indented one.
            const std::string text = form->memEntries.Text();
            const HWND memo = form->memEntries.Handle();
            for (LRESULT line = 1; line < SendMessageA(memo, EM_GETLINECOUNT, 0, 0); ++line) {
                const auto at = static_cast<std::size_t>(SendMessageA(memo, EM_LINEINDEX, line, 0));
                const std::size_t start = text.rfind('\n', at - 1) + 1;
                EXPECT_FALSE(at != start && text[start] == ' ') << text.substr(start, at - start);
            }
            // The folder of the names too long to list is too wide: the report broke it.
            bool broken = false;
            for (std::size_t at = text.find("\r\n      "); at != std::string::npos && !broken;
                 at = text.find("\r\n      ", at + 1))
                broken = at + 8 < text.size() && text[at + 8] != ' ';
            EXPECT_TRUE(broken) << text.substr(0, 2000);
            // Narrowed after the user scrolled down, it does not jump back to the top.
            SendMessageA(memo, EM_LINESCROLL, 0, 30);
            const LRESULT scrolled = SendMessageA(memo, EM_GETFIRSTVISIBLELINE, 0, 0);
            EXPECT_GT(scrolled, 0);
            SetWindowPos(report, nullptr, 0, 0, outer.right - outer.left - 60,
                         outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER);
            EXPECT_NE(form->memEntries.Text(), text) << "broken again for the new width";
            EXPECT_EQ(SendMessageA(memo, EM_GETFIRSTVISIBLELINE, 0, 0), scrolled);
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
    EXPECT_EQ(seen[0].Statics.front(), "None of the 50 files were shredded: 50 no longer there. "
                                       "See why below.\r\n\r\n"
                                       "Also not shredded: 50 files that could not be added to "
                                       "the list");
    EXPECT_EQ(FReports, 2);
    std::filesystem::remove_all(Exact(deep));
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// As a message box does: Ctrl+C copies the whole report as text, in Unicode, Escape closes it.
TEST_F(ReportWindow, CtrlCCopiesTheWholeReportAndEscapeClosesIt) {
    // "Résumé für Zoë.txt" and "履歴書.txt", in UTF-8 as this program's code page has them.
    const std::vector<std::string> names = {In("R\xC3\xA9sum\xC3\xA9 f\xC3\xBCr Zo\xC3\xAB.txt"),
                                            In("\xE5\xB1\xA5\xE6\xAD\xB4\xE6\x9B\xB8.txt")};
    for (const std::string& name : names) {
        MakeFile(Exact(name));
        Form().DnDForm1DnDItem(nullptr, name);
        DeleteFileW(Exact(name).c_str());
    }
    std::wstring copied;

    const auto seen = Click(Form().btnWipe, [&](HWND report, const TDialogSeen&) {
        SetForegroundWindow(report);
        const DWORD before = GetClipboardSequenceNumber();
        Press({VK_CONTROL, 'C'});
        PumpUntil([&] { return GetClipboardSequenceNumber() != before; });
        copied = ClipboardText();
        Press({VK_ESCAPE});
    });

    ASSERT_EQ(seen.size(), 1u);
    const std::string rule = "---------------------------\r\n";
    EXPECT_EQ(copied, Utf16(rule + "Windows Ostrevane\r\n" + rule +
                            "None of the 2 files were shredded: 2 no longer there. See why "
                            "below.\r\n\r\nNo longer there (2 names):\r\n" +
                            kGoneReason + "\r\n\r\n    " + In("") + "\r\n        " +
                            names[0].substr(In("").size()) + "\r\n        " +
                            names[1].substr(In("").size()) + "\r\n" + rule + "OK\r\n" + rule));
    EXPECT_TRUE(IsWindowEnabled(Form().Handle())) << "closed";
}

// 1,000 files left for three reasons: the summary counts each, and each reason, said once, is
// headed with how many names it covers, their folder named once above them.
TEST_F(ReportWindow, AThousandFilesLeftForThreeReasonsAreCountedPerReason) {
    const std::string folder = In("left by the run");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(In("elsewhere").c_str(), nullptr));
    for (int i = 0; i < 1000; ++i)
        MakeFile(Exact(folder + "\\file number " + std::to_string(i)));
    Form().DnDForm1DnDItem(nullptr, folder);
    const std::vector<std::string> names = Entries();
    ASSERT_EQ(names.size(), 1000u);
    // In the list's order: 600 gone, 300 replaced by another file, 100 given a second name.
    const std::vector<std::string> gone(names.begin(), names.begin() + 600),
        replaced(names.begin() + 600, names.begin() + 900),
        linked(names.begin() + 900, names.end());
    for (const std::string& name : gone)
        DeleteFileA(name.c_str());
    for (const std::string& name : replaced) {
        const std::string other = In("elsewhere\\new");
        MakeFile(Exact(other));
        ASSERT_TRUE(MoveFileExA(other.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING));
    }
    for (std::size_t i = 0; i < linked.size(); ++i)
        ASSERT_TRUE(CreateHardLinkA(In("elsewhere\\" + std::to_string(i)).c_str(),
                                    linked[i].c_str(), nullptr));

    const auto seen = Click(Form().btnWipe);

    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Text,
              "None of the 1,000 files were shredded: 600 no longer there, 300 replaced after "
              "listing and 100 with other names. See why below.\n" +
                  Grouped(kGoneTitle, kGoneReason, gone) + "\n\n" +
                  Grouped("Replaced after listing", Why(LeftReason::Changed), replaced) + "\n\n" +
                  Grouped("With other names", Why(LeftReason::OtherNames), linked, kNamesUntold));
}

// Two monitors side by side, as a laptop's screen beside an external one: the left one at
// 96 DPI, the right one taller, at 144. A rectangle is on the one that holds its centre.
class TwoMonitors final : public TMonitors {
public:
    static constexpr RECT kLeft = {0, 0, 1024, 728};
    static constexpr RECT kRight = {1024, 0, 2944, 1040};
    TMonitorArea OfWindow(HWND window) override {
        RECT rect{};
        GetWindowRect(window, &rect);
        return OfRect(rect);
    }
    TMonitorArea OfRect(const RECT& rect) override {
        if ((rect.left + rect.right) / 2 < kRight.left)
            return {kLeft, 96};
        return {kRight, 144};
    }
};

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Through a stand-in for the monitor queries (Wine has one monitor): a report opened over a
// window on a second monitor at another scale is measured at that scale and fits that
// monitor's work area; dragged to a monitor of another scale, it stays inside that one's.
TEST_F(ReportWindow, OverAWindowOnASecondMonitorTheReportFitsThatMonitorAtItsScale) {
    SetWindowPos(Form().Handle(), nullptr, 1500, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    TRunFacts run;
    for (int i = 0; i < 300; ++i)
        run.Left.push_back({In("gone " + std::to_string(i)), LeftReason::Gone});
    TwoMonitors monitors;
    auto& form = Application().CreateForm<TfrmReport>();
    form.SetMonitors(monitors);
    RECT onRight{}, onLeft{};
    int rightDpi = 0, leftDpi = 0, button = 0;
    const TDialogAnswerer answerer([&](HWND report, const TDialogSeen& seen) {
        GetWindowRect(report, &onRight);
        rightDpi = form.Dpi();
        button = form.btnOK.Bounds().Height;
        // Windows' suggestion for the left monitor's scale reaches past its work area.
        RECT suggested = {-200, 300, 900, 1400};
        SendMessageA(report, WM_DPICHANGED, MAKEWPARAM(96, 96),
                     reinterpret_cast<LPARAM>(&suggested));
        GetWindowRect(report, &onLeft);
        leftDpi = form.Dpi();
        TDialogAnswerer::PressOk(report, seen);
    });

    form.Execute(RunReport(run), Form().Handle());

    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(rightDpi, 144);
    EXPECT_EQ(button, MulDiv(23, 144, 96));
    EXPECT_TRUE(Inside(onRight, TwoMonitors::kRight));
    EXPECT_GT(onRight.bottom - onRight.top, TwoMonitors::kLeft.bottom) << "the room there, used";
    EXPECT_EQ(leftDpi, 96);
    EXPECT_TRUE(Inside(onLeft, TwoMonitors::kLeft));
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
