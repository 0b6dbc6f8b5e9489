// The window's colours while high contrast is on: every fixed colour yields to the system
// colour of what it paints, and with high contrast off every colour is as designed.
#include "HostProcess.h"
#include "MainWindowFixture.h"
#include "TestFiles.h"
#include "app/WindowDisplay.h"
#include "dialogs/about.h"
#include "framework/Application.h"
#include "framework/ColorChoice.h"
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

TfrmAbout& AboutBox() {
    for (std::size_t i = 0; i < Application().FormCount(); ++i)
        if (auto* about = dynamic_cast<TfrmAbout*>(&Application().Forms(i)))
            return *about;
    throw std::runtime_error("no about box");
}

// What a control is told to draw with when it asks its parent (WM_CTLCOLOR...).
struct TToldColors {
    COLORREF Text;
    COLORREF Back; // the brush's colour
};

TToldColors ToldColors(const TControl& control, UINT message) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    const auto brush = reinterpret_cast<HBRUSH>(
        SendMessageA(GetParent(control.Handle()), message, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(control.Handle())));
    LOGBRUSH logBrush{};
    GetObjectA(brush, sizeof logBrush, &logBrush);
    const TToldColors told{GetTextColor(dc), logBrush.lbColor};
    DeleteDC(dc);
    return told;
}

COLORREF WindowBackground(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(window);
    const COLORREF pixel = GetPixel(dc, 6, 150);
    ReleaseDC(window, dc);
    return pixel;
}

class HighContrast : public MainWindowTest {
protected:
    void SetUp() override {
        FSystemQuery = SetHighContrastQuery(TestHighContrast);
        MainWindowTest::SetUp();
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        gHighContrastOn = false;
        SetHighContrastQuery(FSystemQuery);
    }
    // As Windows tells every top-level window when the user switches high contrast.
    void Switch(bool on) {
        gHighContrastOn = on;
        for (HWND window : {Form().Handle(), AboutBox().Handle()})
            SendMessageA(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    }
    // The colours a shred run sets, through the run's own display.
    void SetRunColors() {
        TfrmShredder& f = Form();
        WindowDisplay display({f.Edit1, f.Label2, f.pbWiping, f.HListBox1});
        display.SetStatusColor(0);
        display.SetListColor(0);
    }

private:
    THighContrastQuery FSystemQuery = nullptr;
};

constexpr int kUnchecked = -1;

struct TColorRow {
    const char* Name;
    TControl* Control;
    UINT Message;
    COLORREF TextOff;
    int TextOn; // system colour index
    COLORREF BackOff;
    int BackOn; // system colour index, or kUnchecked: the control's own
};

TEST_F(HighContrast, EveryFixedColourYieldsToTheSystemColourOfWhatItPaints) {
    SetRunColors();
    TfrmShredder& f = Form();
    TfrmAbout& about = AboutBox();
    const COLORREF face = GetSysColor(COLOR_BTNFACE), text = GetSysColor(COLOR_WINDOWTEXT);
    const std::vector<TColorRow> table = {
        {"Label1", &f.Label1, WM_CTLCOLORSTATIC, clSilver, COLOR_WINDOWTEXT, clBlack, COLOR_WINDOW},
        {"Label2", &f.Label2, WM_CTLCOLORSTATIC, clRed, COLOR_WINDOWTEXT, clBlack, COLOR_WINDOW},
        {"Edit1", &f.Edit1, WM_CTLCOLORSTATIC, clBlack, COLOR_WINDOWTEXT, 0, kUnchecked},
        {"HListBox1", &f.HListBox1, WM_CTLCOLORLISTBOX, clBlack, COLOR_WINDOWTEXT, 0, kUnchecked},
        {"ProductName", &about.ProductName, WM_CTLCOLORSTATIC, clYellow, COLOR_BTNTEXT, face,
         COLOR_BTNFACE},
        {"web link", &about.Label1, WM_CTLCOLORSTATIC, clBlue, COLOR_HOTLIGHT, face, COLOR_BTNFACE},
        {"mail link", &about.Label2, WM_CTLCOLORSTATIC, clBlue, COLOR_HOTLIGHT, face,
         COLOR_BTNFACE},
        // Already a system colour: the same either way.
        {"Copyright", &about.Copyright, WM_CTLCOLORSTATIC, text, COLOR_WINDOWTEXT, face,
         COLOR_BTNFACE},
    };
    // Off as the window opens, then on, then off again: each switch is read when it comes.
    for (bool on : {false, true, false}) {
        Switch(on);
        for (const TColorRow& row : table) {
            SCOPED_TRACE(std::string(row.Name) + (on ? " on" : " off"));
            const TToldColors told = ToldColors(*row.Control, row.Message);
            EXPECT_EQ(told.Text, on ? GetSysColor(row.TextOn) : row.TextOff);
            if (row.BackOn != kUnchecked) {
                EXPECT_EQ(told.Back, on ? GetSysColor(row.BackOn) : row.BackOff);
            }
        }
        EXPECT_EQ(WindowBackground(f.Handle()), on ? GetSysColor(COLOR_WINDOW) : clBlack);
        // PBM_GETBKCOLOR: the system's own colour is CLR_DEFAULT.
        EXPECT_EQ(static_cast<COLORREF>(SendMessageA(f.pbWiping.Handle(), WM_USER + 14, 0, 0)),
                  on ? CLR_DEFAULT : clGray);
    }
    // The design is kept: only what is shown changes.
    EXPECT_EQ(f.Label1.FontColor(), clSilver);
    EXPECT_EQ(f.HListBox1.FontColor(), clBlack);
}

// Run by TheRealWindowDrawsWithAHighContrastSchemeFromTheRegistry in a process of its own,
// which reads the scheme as it starts.
TEST_F(HighContrast, DISABLED_UnderTheSchemeEveryTextIsDrawnInTheSchemesColours) {
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255), yellow = RGB(255, 255, 0);
    ASSERT_EQ(GetSysColor(COLOR_WINDOW), black) << "the scheme in the registry is in effect";
    Switch(true);
    TempDir dir;
    for (const char* name : {"a.txt", "b.txt"}) {
        WriteAll(dir / name, Filled(1000, 'x'));
        Form().DnDForm1DnDItem(nullptr, dir / name);
    }
    Click(Form().btnWipe);
    ASSERT_EQ(Entries(), (std::vector<std::string>{"SHREDDED! ... " + dir / "a.txt",
                                                   "SHREDDED! ... " + dir / "b.txt"}));

    TfrmShredder& f = Form();
    TfrmAbout& about = AboutBox();
    about.Show();
    PumpMessages();
    const std::vector<std::pair<TControl*, COLORREF>> texts = {
        {&f.Label1, white},          {&f.Label2, white},      {&f.Edit1, white},
        {&f.HListBox1, white},       {&about.Label1, yellow}, {&about.Label2, yellow},
        {&about.ProductName, white}, {&about.Version, white}};
    for (const auto& [control, color] : texts) {
        SCOPED_TRACE(control->Text());
        const UINT message = control == &f.HListBox1 ? WM_CTLCOLORLISTBOX : WM_CTLCOLORSTATIC;
        EXPECT_EQ(ToldColors(*control, message).Text, color);
        EXPECT_TRUE(ShowsColor(control->Handle(), color)) << "drawn";
        EXPECT_TRUE(ShowsColor(control->Handle(), black)) << "on black";
    }
    const std::string artifacts = EnvOrEmpty("OSTREVANE_ARTIFACTS");
    if (!artifacts.empty()) {
        EXPECT_TRUE(SaveWindowPicture(f.Handle(), HostPath(artifacts) + "\\main-window-hc.bmp"));
        EXPECT_TRUE(SaveWindowPicture(about.Handle(), HostPath(artifacts) + "\\about-box-hc.bmp"));
    }
    about.Hide();
}

// The user's colours as Windows keeps them: "R G B" strings under HKCU\Control Panel\Colors.
constexpr const char* kColorsKey = "Control Panel\\Colors";

// Windows' "High Contrast Black", as far as this program's windows show it.
const std::vector<std::pair<const char*, const char*>> kHighContrastBlack = {
    {"Window", "0 0 0"},
    {"WindowText", "255 255 255"},
    {"ButtonFace", "0 0 0"},
    {"ButtonText", "255 255 255"},
    {"HotTrackingColor", "255 255 0"},
    {"Highlight", "26 235 255"},
    {"HighlightText", "0 0 0"},
    {"GrayText", "63 242 0"},
    {"Menu", "0 0 0"},
    {"MenuText", "255 255 255"},
    {"MenuBar", "0 0 0"},
    {"MenuHilight", "26 235 255"},
    {"ButtonShadow", "128 128 128"},
    {"ButtonHilight", "255 255 255"},
    {"ButtonLight", "255 255 255"},
    {"ButtonDkShadow", "255 255 255"},
    {"WindowFrame", "255 255 255"},
    {"Background", "0 0 0"},
    {"ActiveCaption", "0 0 128"},
    {"TitleText", "255 255 255"},
};

// Puts a scheme in the registry for the length of a test, and back what was there.
class TSchemeInRegistry {
public:
    explicit TSchemeInRegistry(const std::vector<std::pair<const char*, const char*>>& scheme) {
        for (const auto& [name, value] : scheme) {
            char old[64] = {};
            DWORD size = sizeof old;
            const bool had = RegGetValueA(HKEY_CURRENT_USER, kColorsKey, name, RRF_RT_REG_SZ,
                                          nullptr, old, &size) == ERROR_SUCCESS;
            FSaved.push_back({name, had ? old : "", had});
            Set(name, value);
        }
    }
    TSchemeInRegistry(const TSchemeInRegistry&) = delete;
    TSchemeInRegistry& operator=(const TSchemeInRegistry&) = delete;
    ~TSchemeInRegistry() {
        for (const TSaved& saved : FSaved) {
            if (saved.Had)
                Set(saved.Name, saved.Value);
            else
                RegDeleteKeyValueA(HKEY_CURRENT_USER, kColorsKey, saved.Name);
        }
    }

private:
    struct TSaved {
        const char* Name;
        std::string Value;
        bool Had;
    };
    static void Set(const char* name, const std::string& value) {
        EXPECT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kColorsKey, name, REG_SZ, value.c_str(),
                                  static_cast<DWORD>(value.size() + 1)),
                  ERROR_SUCCESS)
            << name;
    }
    std::vector<TSaved> FSaved;
};

TEST(HighContrastScheme, TheRealWindowDrawsWithAHighContrastSchemeFromTheRegistry) {
    const TSchemeInRegistry scheme(kHighContrastBlack);
    const PROCESS_INFORMATION process =
        StartThisTest("HighContrast.DISABLED_UnderTheSchemeEveryTextIsDrawnInTheSchemesColours");
    ASSERT_NE(process.hProcess, nullptr);
    // A hung copy is ended by CTest's time limit, as this test is.
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, 0u);
}

} // namespace
