#include "dialogs/about.h"
#include "ShellHandler.h"
#include "TestFiles.h"
#include "tests/support/win/UiTest.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {
using Strings = std::vector<std::string>;

const std::string kWebError = "An error occurred with web browser request, please open Oyour "
                              "browser and go to http://www.velmarth.example/ostrevane for more "
                              "info!";
const std::string kMailError = "An error occurred with automatic mailing, please open Outlook "
                               "Express and send an email addressed to "
                               "support@velmarth.example!";

// Stands in for the main window: the about box is shown over it.
class TfrmHost : public TForm {
public:
    TfrmHost();
    TButton btnAbout;
};

const TFormLayout kHostLayout{
    .Form = {.Caption = "Host", .Left = 20, .Top = 20, .Width = 400, .Height = 300},
    .Controls = {{.Name = "btnAbout",
                  .Field = &TfrmHost::btnAbout,
                  .Bounds = {16, 16, 89, 25},
                  .Caption = "&About"}}};

TfrmHost::TfrmHost() : TForm(kHostLayout) {}

// Steps run one per timer tick while a modal loop runs, as a user acting on the box would; a
// step that opens a message box is not overlapped by the next one. A script that ends with the
// box still open closes it and fails the test rather than hanging it.
class TModalScript {
public:
    TModalScript(TForm& form, std::vector<std::function<void()>> steps)
        : FForm(form), FSteps(std::move(steps)) {
        gScript = this;
        FTimer = SetTimer(nullptr, 0, 100, Tick);
    }
    TModalScript(const TModalScript&) = delete;
    TModalScript& operator=(const TModalScript&) = delete;
    ~TModalScript() {
        KillTimer(nullptr, FTimer);
        gScript = nullptr;
    }
    std::size_t StepsRun() const noexcept { return FNext; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) noexcept {
        if (gScript)
            gScript->Step();
    }
    void Step() {
        if (FBusy)
            return;
        FBusy = true;
        if (FNext < FSteps.size()) {
            FSteps[FNext++]();
        } else if (++FIdleTicks > 50 && FForm.Visible()) {
            ADD_FAILURE() << "the about box was still open after the last step";
            FForm.SetModalResult(mrCancel);
        }
        FBusy = false;
    }

    static inline TModalScript* gScript = nullptr;
    TForm& FForm;
    std::vector<std::function<void()>> FSteps;
    std::size_t FNext = 0;
    int FIdleTicks = 0;
    bool FBusy = false;
    UINT_PTR FTimer = 0;
};

void PostKey(int key) {
    HWND focus = GetFocus();
    ASSERT_NE(focus, nullptr);
    PostMessageA(focus, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
    PostMessageA(focus, WM_KEYUP, static_cast<WPARAM>(key), 0xC0000001);
}

// Another program's window on the same display (a test run beside this one) may have taken
// the activation: the box comes back to the front, as a user's click would bring it, before
// keys are typed into it.
void BringToFront(TForm& form) {
    SetForegroundWindow(form.Handle());
}

// A click on a control where the user would put the mouse: its middle.
void ClickOn(const TControl& control) {
    const TRect bounds = control.Bounds();
    const LPARAM middle = MAKELPARAM(bounds.Width / 2, bounds.Height / 2);
    SendMessageA(control.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, middle);
    SendMessageA(control.Handle(), WM_LBUTTONUP, 0, middle);
}

LOGFONTA FontOf(const TControl& control) {
    LOGFONTA font{};
    GetObjectA(control.Font(), sizeof font, &font);
    return font;
}

// The message box's icon and buttons, read from the box itself.
struct TBoxLook {
    HICON Icon = nullptr;
    Strings Buttons;
};

BOOL CALLBACK CollectIcon(HWND child, LPARAM param) noexcept {
    char name[32] = {};
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, "Static") == 0 &&
        (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        *reinterpret_cast<HICON*>(param) =
            reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    return TRUE;
}

class AboutBox : public testing::Test {
protected:
    void SetUp() override {
        Application().SetTitle("Windows Ostrevane");
        FHost = &Application().CreateForm<TfrmHost>();
        FAbout = &Application().CreateForm<TfrmAbout>();
        FHost->Show();
        PumpMessages();
    }
    void TearDown() override { Application().DestroyForms(); }

    // Answers each message box with OK after noting how it looks.
    TDialogAnswerer::TAction NoteAndPressOk() {
        return [this](HWND box, const TDialogSeen& seen) {
            TBoxLook look;
            EnumChildWindows(box, CollectIcon, reinterpret_cast<LPARAM>(&look.Icon));
            look.Buttons = ChildTexts(box, "Button");
            FLooks.push_back(look);
            TDialogAnswerer::PressOk(box, seen);
        };
    }
    void NoteOpen() { FOpen.push_back(FAbout->Visible() && IsWindowEnabled(FAbout->Handle())); }

    TfrmHost* FHost = nullptr;
    TfrmAbout* FAbout = nullptr;
    std::vector<TBoxLook> FLooks;
    std::vector<bool> FOpen;
};

struct TExpectedControl {
    const TControl* Control;
    bool OnPanel;
    TRect Bounds;
    const char* Caption;
    const char* Face;
    int Height;
    bool Underline;
    TColor Color;
};

TEST_F(AboutBox, IsLaidOutAsDesignedAndCreatedHidden) {
    EXPECT_FALSE(FAbout->Visible());
    HWND box = FAbout->Handle();
    EXPECT_EQ(FAbout->Caption(), "About");
    EXPECT_EQ(FAbout->ClientSize(), (TSize{298, 213}));
    const LONG style = GetWindowLongA(box, GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    RECT outer{};
    GetWindowRect(box, &outer);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);

    EXPECT_EQ(GetParent(FAbout->Panel1.Handle()), box);
    EXPECT_EQ(FAbout->Panel1.Bounds(), (TRect{8, 8, 281, 161}));

    const TExpectedControl expected[] = {
        {&FAbout->ProductName,
         true,
         {64, 16, 163, 18},
         "Windows Ostrevane",
         "Arial",
         -16,
         false,
         clYellow},
        {&FAbout->Version,
         true,
         {208, 40, 58, 13},
         "version 2.00",
         "MS Sans Serif",
         -11,
         false,
         clWindowText},
        {&FAbout->Copyright,
         true,
         {8, 80, 202, 14},
         "Copyright (c) 2026 Velmarth",
         "Arial",
         -11,
         false,
         clWindowText},
        {&FAbout->Comments, true, {8, 112, 34, 14}, "visit at:", "Arial", -11, false, clWindowText},
        {&FAbout->Label1,
         true,
         {56, 112, 181, 14},
         "http://www.velmarth.example",
         "Arial",
         -11,
         true,
         clBlue},
        {&FAbout->Label3, true, {8, 136, 27, 14}, "email:", "Arial", -11, false, clWindowText},
        {&FAbout->Label2,
         true,
         {56, 136, 125, 14},
         "info@velmarth.example",
         "Arial",
         -11,
         true,
         clBlue},
        {&FAbout->OKButton,
         false,
         {111, 180, 75, 25},
         "OK",
         "MS Sans Serif",
         -11,
         false,
         clWindowText},
    };
    for (const TExpectedControl& want : expected) {
        const TControl& control = *want.Control;
        SCOPED_TRACE(want.Caption);
        EXPECT_EQ(GetParent(control.Handle()), want.OnPanel ? FAbout->Panel1.Handle() : box);
        // Where Wine's substitute for a font is a pixel or two wider, a label is widened to its
        // text, away from the side it is aligned to; anything else is as designed.
        TRect bounds = control.Bounds();
        if (bounds.Width > want.Bounds.Width && &control != &FAbout->OKButton) {
            EXPECT_LE(bounds.Width, want.Bounds.Width + 3);
            if (&control == &FAbout->Version)
                bounds.Left += bounds.Width - want.Bounds.Width;
            bounds.Width = want.Bounds.Width;
        }
        EXPECT_EQ(bounds, want.Bounds);
        EXPECT_EQ(control.Text(), want.Caption);
        const LOGFONTA font = FontOf(control);
        EXPECT_STREQ(font.lfFaceName, want.Face);
        EXPECT_EQ(font.lfHeight, want.Height);
        EXPECT_EQ(font.lfUnderline != 0, want.Underline);
        EXPECT_EQ(control.FontColor(), want.Color);
    }
    EXPECT_EQ(GetWindowLongA(FAbout->Version.Handle(), GWL_STYLE) & SS_TYPEMASK, SS_RIGHT);
    EXPECT_TRUE(GetWindowLongA(FAbout->OKButton.Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON);

    // The program's own icon, at the size it was designed for.
    EXPECT_EQ(GetParent(FAbout->ProgramIcon.Handle()), FAbout->Panel1.Handle());
    EXPECT_EQ(FAbout->ProgramIcon.Bounds(), (TRect{16, 8, 32, 32}));
    const HICON programIcon = LoadIconA(Application().Instance(), kProgramIcon);
    ASSERT_NE(programIcon, nullptr);
    EXPECT_EQ(FAbout->ProgramIcon.Icon(), programIcon);
}

TEST_F(AboutBox, LinksShowTheHandPointer) {
    const HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    FAbout->Show();
    PumpMessages();
    for (const TLabel* label : {&FAbout->Label1, &FAbout->Label2, &FAbout->Copyright}) {
        SetCursor(arrow);
        SendMessageA(label->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(label->Handle()),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(GetCursor(), label == &FAbout->Copyright ? arrow : hand) << label->Text();
    }
    FAbout->Hide();
}

TEST_F(AboutBox, EnterClosesIt) {
    bool okFocused = false;
    TModalScript script(*FAbout, {[&] {
        BringToFront(*FAbout);
        NoteOpen();
        okFocused = GetFocus() == FAbout->OKButton.Handle();
        const std::string picture = "about-box.bmp";
        EXPECT_TRUE(SaveWindowPicture(FAbout->Handle(), picture));
        PostKey(VK_RETURN);
    }});
    EXPECT_EQ(FAbout->ShowModal(), mrOk);
    EXPECT_EQ(script.StepsRun(), 1u);
    EXPECT_EQ(FOpen, std::vector<bool>{true});
    EXPECT_TRUE(okFocused);
    EXPECT_FALSE(FAbout->Visible());
    EXPECT_TRUE(IsWindowEnabled(FHost->Handle()));
}

TEST_F(AboutBox, EscapeDoesNotCloseItButTheCloseBoxDoes) {
    TModalScript script(*FAbout,
                        {[&] {
                             BringToFront(*FAbout);
                             PostKey(VK_ESCAPE);
                         },
                         [&] { NoteOpen(); },
                         [&] { PostMessageA(FAbout->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }});
    FAbout->ShowModal();
    EXPECT_EQ(script.StepsRun(), 3u);
    EXPECT_EQ(FOpen, std::vector<bool>{true});
    EXPECT_FALSE(FAbout->Visible());
    EXPECT_TRUE(IsWindowEnabled(FHost->Handle()));
}

TEST_F(AboutBox, CanBeShownAgainAfterClosing) {
    for (int showing = 0; showing < 2; ++showing) {
        TModalScript script(*FAbout, {[&] { FAbout->OKButton.Click(); }});
        EXPECT_EQ(FAbout->ShowModal(), mrOk);
        EXPECT_EQ(script.StepsRun(), 1u);
    }
}

TEST_F(AboutBox, WithoutHandlersTheLinksShowTheirErrorsAndTheBoxStaysOpen) {
    const TShellHandlerOverride noBrowser("http", "");
    const TShellHandlerOverride noMail("mailto", "");
    TDialogAnswerer answerer(NoteAndPressOk());
    TModalScript script(*FAbout, {[&] { ClickOn(FAbout->Label1); }, [&] { NoteOpen(); },
                                  [&] { ClickOn(FAbout->Label2); }, [&] { NoteOpen(); },
                                  [&] { FAbout->OKButton.Click(); }});
    FAbout->ShowModal();
    EXPECT_EQ(script.StepsRun(), 5u);
    EXPECT_EQ(FOpen, (std::vector<bool>{true, true}));
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].Caption, "Error");
    EXPECT_EQ(answerer.Seen()[0].Text, kWebError);
    EXPECT_EQ(answerer.Seen()[1].Caption, "Error");
    EXPECT_EQ(answerer.Seen()[1].Text, kMailError);
    const HICON errorIcon = LoadIconA(nullptr, IDI_ERROR);
    for (const TBoxLook& look : FLooks) {
        EXPECT_EQ(look.Icon, errorIcon);
        EXPECT_EQ(look.Buttons, Strings{"OK"});
    }
}

// Tab goes from OK to the web link, the mail link and back to OK; a link shows a focus
// rectangle while it has the focus, and Enter or Space opens it as a click does (here, with no
// handlers, each shows its error).
TEST_F(AboutBox, TabReachesEachLinkAndEnterOrSpaceOpensIt) {
    const TShellHandlerOverride noBrowser("http", "");
    const TShellHandlerOverride noMail("mailto", "");
    TDialogAnswerer answerer;
    std::vector<HWND> focus;
    std::vector<char> unfocused, focused;
    const auto noteFocusAndPress = [&](int key) {
        return [&, key] {
            focus.push_back(GetFocus());
            PostKey(key);
        };
    };
    TModalScript script(*FAbout, {[&] {
                                      unfocused = WindowPicture(FAbout->Label1.Handle()).Pixels;
                                      noteFocusAndPress(VK_TAB)();
                                  },
                                  [&] {
                                      focused = WindowPicture(FAbout->Label1.Handle()).Pixels;
                                      noteFocusAndPress(VK_RETURN)();
                                  },
                                  noteFocusAndPress(VK_TAB), noteFocusAndPress(VK_SPACE),
                                  noteFocusAndPress(VK_TAB), noteFocusAndPress(VK_RETURN)});
    EXPECT_EQ(FAbout->ShowModal(), mrOk) << "Enter on OK closes the box as before";
    EXPECT_EQ(script.StepsRun(), 6u);
    const HWND ok = FAbout->OKButton.Handle(), web = FAbout->Label1.Handle(),
               mail = FAbout->Label2.Handle();
    EXPECT_EQ(focus, (std::vector<HWND>{ok, web, web, mail, mail, ok}));
    ASSERT_FALSE(unfocused.empty());
    EXPECT_NE(focused, unfocused) << "the focus rectangle";
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].Text, kWebError);
    EXPECT_EQ(answerer.Seen()[1].Text, kMailError);
}

// The shell's handler here writes the address it was asked to open into a file.
std::string RecordingCommand(const std::string& file) {
    return "cmd.exe /c echo %1> \"" + file + "\"";
}

std::string FirstLine(const std::string& file) {
    std::ifstream in(std::filesystem::path{file});
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

TEST_F(AboutBox, LinksAskTheShellToOpenTheMakersAddresses) {
    TempDir dir;
    const std::string web = dir / "web.txt";
    const std::string mail = dir / "mail.txt";
    const TShellHandlerOverride browser("http", RecordingCommand(web));
    const TShellHandlerOverride mailer("mailto", RecordingCommand(mail));
    TDialogAnswerer answerer;
    TModalScript script(*FAbout,
                        {[&] { ClickOn(FAbout->Label1); }, [&] { ClickOn(FAbout->Label2); },
                         [&] { FAbout->OKButton.Click(); }});
    FAbout->ShowModal();
    EXPECT_EQ(script.StepsRun(), 3u);
    EXPECT_TRUE(answerer.Seen().empty());
    ASSERT_TRUE(
        PumpUntil([&] { return !FirstLine(web).empty() && !FirstLine(mail).empty(); }, 30000));
    EXPECT_EQ(FirstLine(web), "http://www.velmarth.example");
    EXPECT_EQ(FirstLine(mail), "mailto:info@velmarth.example?subject=Info Request");
}
} // namespace
