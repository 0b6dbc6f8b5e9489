// The window's colours while high contrast is on: every fixed colour yields to the system
// colour of what it paints; with high contrast off every colour is as designed.
#include "HostProcess.h"
#include "MainWindowFixture.h"
#include "TestFiles.h"
#include "dialogs/about.h"
#include "framework/Application.h"
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

// Wine refuses to turn high contrast on (SPI_SETHIGHCONTRAST): the tests set it here.
bool gHighContrastOn = false;
bool TestHighContrast() noexcept {
    return gHighContrastOn;
}

// What a control is told to draw with when it asks its parent (WM_CTLCOLOR...): the text
// colour, and the colour of the brush.
std::pair<COLORREF, COLORREF> ToldColors(const TControl& control, UINT message) {
    HDC dc = CreateCompatibleDC(nullptr);
    const auto brush = reinterpret_cast<HBRUSH>(
        SendMessageA(GetParent(control.Handle()), message, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(control.Handle())));
    LOGBRUSH logBrush{};
    GetObjectA(brush, sizeof logBrush, &logBrush);
    const COLORREF text = GetTextColor(dc);
    DeleteDC(dc);
    return {text, logBrush.lbColor};
}

class HighContrast : public MainWindowTest {
protected:
    void SetUp() override {
        FSystemQuery = SetHighContrastQuery(TestHighContrast);
        MainWindowTest::SetUp();
        for (std::size_t i = 0; i < Application().FormCount(); ++i)
            if (auto* about = dynamic_cast<TfrmAbout*>(&Application().Forms(i)))
                FAbout = about;
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        gHighContrastOn = false;
        SetHighContrastQuery(FSystemQuery);
    }
    // As Windows tells every top-level window when the user switches high contrast.
    void Switch(bool on) {
        gHighContrastOn = on;
        for (HWND window : {Form().Handle(), FAbout->Handle()})
            SendMessageA(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    }

    TfrmAbout* FAbout = nullptr;
    THighContrastQuery FSystemQuery = nullptr;
};

constexpr int kUnchecked = -1;

// Also run under a high-contrast scheme by the test below: every expectation is the system's
// colour of the moment, the scheme's there.
TEST_F(HighContrast, EveryFixedColourYieldsToTheSystemColourOfWhatItPaints) {
    const bool underScheme = !EnvOrEmpty("OSTREVANE_TEST_SCHEME").empty();
    if (underScheme) {
        ASSERT_EQ(GetSysColor(COLOR_WINDOW), RGB(0, 0, 0)) << "the registry's scheme is in effect";
    }
    // Button text and window text are one colour in Wine's scheme and in the one below: the
    // button text gets its own for the test, so that text on the button face shows which of
    // the two it takes.
    const int part = COLOR_BTNTEXT;
    const COLORREF buttonText = GetSysColor(COLOR_BTNTEXT);
    const COLORREF ownColor = GetSysColor(COLOR_WINDOWTEXT) ^ RGB(0, 0, 0x80);
    ASSERT_TRUE(SetSysColors(1, &part, &ownColor));
    // A run sets the status line's and the list's text colour to black.
    TempDir dir;
    WriteAll(dir / "a.txt", Filled(1000, 'x'));
    Form().DnDForm1DnDItem(nullptr, dir / "a.txt");
    Click(Form().btnWipe);
    ASSERT_EQ(Entries(), std::vector<std::string>{"SHREDDED! ... " + dir / "a.txt"});

    TfrmShredder& f = Form();
    const COLORREF face = GetSysColor(COLOR_BTNFACE), text = GetSysColor(COLOR_WINDOWTEXT);
    const struct {
        TControl* Control;
        UINT Message;
        COLORREF TextOff;
        int TextOn; // the system colour's index
        COLORREF BackOff;
        int BackOn; // kUnchecked: the control's own background
    } table[] = {
        {&f.Label1, WM_CTLCOLORSTATIC, clSilver, COLOR_WINDOWTEXT, clBlack, COLOR_WINDOW},
        {&f.Label2, WM_CTLCOLORSTATIC, clRed, COLOR_WINDOWTEXT, clBlack, COLOR_WINDOW},
        {&f.Edit1, WM_CTLCOLORSTATIC, clBlack, COLOR_WINDOWTEXT, 0, kUnchecked},
        {&f.HListBox1, WM_CTLCOLORLISTBOX, clBlack, COLOR_WINDOWTEXT, 0, kUnchecked},
        {&FAbout->ProductName, WM_CTLCOLORSTATIC, clYellow, COLOR_BTNTEXT, face, COLOR_BTNFACE},
        {&FAbout->Label1, WM_CTLCOLORSTATIC, clBlue, COLOR_HOTLIGHT, face, COLOR_BTNFACE},
        {&FAbout->Label2, WM_CTLCOLORSTATIC, clBlue, COLOR_HOTLIGHT, face, COLOR_BTNFACE},
        // A system colour already: the same either way.
        {&FAbout->Copyright, WM_CTLCOLORSTATIC, text, COLOR_WINDOWTEXT, face, COLOR_BTNFACE},
    };
    // Beside the main window, so that each shows whole.
    SetWindowPos(FAbout->Handle(), nullptr, 720, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    FAbout->Show();
    // Off as the window opens, then on, then off again: each switch is read when it comes.
    for (bool on : {false, true, false}) {
        Switch(on);
        PumpMessages();
        for (const auto& row : table) {
            SCOPED_TRACE(row.Control->Text() + (on ? " on" : " off"));
            const auto [told, back] = ToldColors(*row.Control, row.Message);
            EXPECT_EQ(told, on ? GetSysColor(row.TextOn) : row.TextOff);
            if (row.BackOn != kUnchecked) {
                EXPECT_EQ(back, on ? GetSysColor(row.BackOn) : row.BackOff);
            }
            EXPECT_TRUE(ShowsColor(row.Control->Handle(), told)) << "what the user sees";
        }
        HDC dc = GetDC(f.Handle());
        EXPECT_EQ(GetPixel(dc, 6, 150), on ? GetSysColor(COLOR_WINDOW) : clBlack);
        ReleaseDC(f.Handle(), dc);
        // PBM_GETBKCOLOR: the system's own colour is CLR_DEFAULT.
        EXPECT_EQ(static_cast<COLORREF>(SendMessageA(f.pbWiping.Handle(), WM_USER + 14, 0, 0)),
                  on ? CLR_DEFAULT : clGray);
        const std::string artifacts = EnvOrEmpty("OSTREVANE_ARTIFACTS");
        if (on && underScheme && !artifacts.empty()) {
            const std::string pictures = HostPath(artifacts);
            EXPECT_TRUE(SaveWindowPicture(f.Handle(), pictures + "\\main-window-hc.bmp"));
            EXPECT_TRUE(SaveWindowPicture(FAbout->Handle(), pictures + "\\about-box-hc.bmp"));
        }
    }
    FAbout->Hide();
    EXPECT_EQ(f.Label1.FontColor(), clSilver) << "the design is kept; only what shows changes";
    SetSysColors(1, &part, &buttonText);
}

// Windows' "High Contrast Black", as far as this program's windows show it: the user's
// colours are "R G B" strings under HKCU\Control Panel\Colors.
// clang-format off
const std::pair<const char*, std::string> kHighContrastBlack[] = {
    {"Window", "0 0 0"}, {"WindowText", "255 255 255"}, {"ButtonFace", "0 0 0"},
    {"ButtonText", "255 255 255"}, {"HotTrackingColor", "255 255 0"},
    {"Highlight", "26 235 255"}, {"HighlightText", "0 0 0"},
    {"Menu", "0 0 0"}, {"MenuBar", "0 0 0"}, {"MenuText", "255 255 255"}};
// clang-format on

// The test above in a process of its own, which reads the scheme from the registry as it
// starts; what the registry held is put back afterwards.
TEST(HighContrastScheme, TheWindowDrawsInTheColoursOfAHighContrastScheme) {
    constexpr const char* kColors = "Control Panel\\Colors";
    std::vector<std::pair<const char*, std::string>> saved;
    for (const auto& [name, value] : kHighContrastBlack) {
        char old[64] = {};
        DWORD size = sizeof old;
        RegGetValueA(HKEY_CURRENT_USER, kColors, name, RRF_RT_REG_SZ, nullptr, old, &size);
        saved.emplace_back(name, old);
        EXPECT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kColors, name, REG_SZ, value.c_str(),
                                  static_cast<DWORD>(value.size() + 1)),
                  ERROR_SUCCESS);
    }
    SetEnvironmentVariableA("OSTREVANE_TEST_SCHEME", "High Contrast Black");
    const DWORD code =
        RunThisTest("HighContrast.EveryFixedColourYieldsToTheSystemColourOfWhatItPaints");
    SetEnvironmentVariableA("OSTREVANE_TEST_SCHEME", nullptr);
    for (const auto& [name, value] : saved)
        if (value.empty())
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kColors, name);
        else
            RegSetKeyValueA(HKEY_CURRENT_USER, kColors, name, REG_SZ, value.c_str(),
                            static_cast<DWORD>(value.size() + 1));
    EXPECT_EQ(code, 0u);
}

} // namespace
