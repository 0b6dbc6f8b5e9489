#include "TestForms.h"
#include "tests/support/win/UiTest.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>

namespace {
class Form : public testing::Test {
protected:
    void SetUp() override {
        Application().SetTitle("Windows Ostrevane");
        FForm = &Application().CreateForm<TfrmTest>();
    }
    void TearDown() override { Application().DestroyForms(); }

    HWND Window() { return FForm->Handle(); }

    TfrmTest* FForm = nullptr;
};

// Where a child sits in its parent's client area, asked of the system, not of the wrapper.
RECT ClientPlace(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void ExpectPlace(HWND control, int left, int top, int width, int height) {
    const RECT r = ClientPlace(control);
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, height);
}

std::string TextOf(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Resizes the form's window so that its client area grows by dx, dy.
void Grow(HWND window, int dx, int dy) {
    RECT r{};
    GetWindowRect(window, &r);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
} // namespace

TEST_F(Form, IsBuiltHiddenFromItsTableAndBecomesTheMainForm) {
    EXPECT_EQ(Application().MainForm(), FForm);
    EXPECT_FALSE(IsWindowVisible(Window()));
    EXPECT_EQ(TextOf(Window()), "Test Form");
    RECT outer{};
    GetWindowRect(Window(), &outer);
    EXPECT_EQ(outer.left, 40);
    EXPECT_EQ(outer.top, 30);
    EXPECT_EQ(outer.right - outer.left, 400);
    EXPECT_EQ(outer.bottom - outer.top, 300);
    // The second form is owned by the main one.
    auto& dialog = Application().CreateForm<TdlgTest>();
    EXPECT_EQ(GetWindow(dialog.Handle(), GW_OWNER), Window());
    EXPECT_EQ(Application().MainForm(), FForm);
}

TEST_F(Form, ControlsSitExactlyWhereTheTableSaysWithTheirCaptionsAndStates) {
    ExpectPlace(FForm->Label1.Handle(), 16, 8, 250, 16);
    ExpectPlace(FForm->btnGo.Handle(), 290, 30, 89, 25);
    ExpectPlace(FForm->List1.Handle(), 16, 30, 250, 80);
    ExpectPlace(FForm->Edit1.Handle(), 16, 190, 250, 21);
    ExpectPlace(FForm->Link1.Handle(), 8, 20, 120, 14);
    EXPECT_EQ(GetParent(FForm->Link1.Handle()), FForm->Panel1.Handle());
    EXPECT_EQ(GetParent(FForm->btnGo.Handle()), Window());

    EXPECT_EQ(TextOf(FForm->Label1.Handle()), "Drop files here.");
    EXPECT_EQ(FForm->btnGo.Text(), "&Go");
    EXPECT_EQ(FForm->Link1.Text(), "www.example.org");
    EXPECT_EQ(FForm->Edit1.Text(), "");
    EXPECT_TRUE(IsWindowEnabled(FForm->btnGo.Handle()));
    EXPECT_FALSE(IsWindowEnabled(FForm->btnOff.Handle()));
    EXPECT_FALSE(FForm->btnOff.Enabled());
    EXPECT_TRUE(GetWindowLongA(FForm->Edit1.Handle(), GWL_STYLE) & ES_READONLY);
    // The derived list box was made with a horizontal scroll bar: it shows once there is
    // something to scroll to.
    FForm->List1.SetHorizontalExtent(1000);
    EXPECT_TRUE(GetWindowLongA(FForm->List1.Handle(), GWL_STYLE) & WS_HSCROLL);
    EXPECT_EQ(FForm->List1.ItemHeight(), 13);
    EXPECT_EQ(FForm->pbBar.Min(), 0);
    EXPECT_EQ(FForm->pbBar.Max(), 100);
    EXPECT_EQ(FForm->pbBar.Position(), 0);
    EXPECT_EQ(FForm->FindControl("btnFail"), &FForm->btnFail);
}

TEST_F(Form, FontsComeFromTheRows) {
    LOGFONTA font{};
    GetObjectA(FForm->Label1.Font(), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(font.lfHeight, -13);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    GetObjectA(FForm->Link1.Font(), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "Arial");
    EXPECT_EQ(font.lfHeight, -11);
    EXPECT_TRUE(font.lfUnderline);
    GetObjectA(FForm->Label2.Font(), sizeof font, &font);
    EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
    // No font in the row: the form's.
    GetObjectA(FForm->btnGo.Font(), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(font.lfHeight, -11);
}

TEST_F(Form, ControlsAskTheFormForTheirColours) {
    HDC dc = CreateCompatibleDC(nullptr);
    const auto ask = [&](HWND control) {
        auto brush = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(control), WM_CTLCOLORSTATIC,
                                                           reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(control)));
        LOGBRUSH logBrush{};
        GetObjectA(brush, sizeof logBrush, &logBrush);
        return logBrush.lbColor;
    };
    // A transparent silver label on the black form.
    EXPECT_EQ(ask(FForm->Label1.Handle()), RGB(0, 0, 0));
    EXPECT_EQ(GetTextColor(dc), RGB(192, 192, 192));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    // An opaque red-on-black label.
    EXPECT_EQ(ask(FForm->Label2.Handle()), RGB(0, 0, 0));
    EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_EQ(GetBkColor(dc), RGB(0, 0, 0));
    // A blue link on a panel, through the panel, on the form's background.
    EXPECT_EQ(ask(FForm->Link1.Handle()), RGB(0, 0, 0));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
    // No colour in the row: the form's font colour, a system colour.
    EXPECT_EQ(FForm->btnGo.FontColor(), clWindowText);
    // Colours can change at run time.
    FForm->Label2.SetFontColor(clYellow);
    ask(FForm->Label2.Handle());
    EXPECT_EQ(GetTextColor(dc), RGB(255, 255, 0));
    DeleteDC(dc);
}

TEST_F(Form, LinkShowsTheHandCursorThroughItsPanel) {
    FForm->Show();
    HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    // What the system sends when the mouse moves over the label; the label passes it up.
    const LRESULT handled = SendMessageA(FForm->Link1.Handle(), WM_SETCURSOR,
                                         reinterpret_cast<WPARAM>(FForm->Link1.Handle()),
                                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_TRUE(handled);
    EXPECT_EQ(GetCursor(), hand);
    // A plain label keeps the arrow.
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    SendMessageA(Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(FForm->Label2.Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(GetCursor(), hand);
}

TEST_F(Form, ProgressBarTakesItsValuesAndBackgroundColour) {
    FForm->pbBar.SetRange(0, 7);
    FForm->pbBar.SetPosition(3);
    EXPECT_EQ(FForm->pbBar.Max(), 7);
    EXPECT_EQ(FForm->pbBar.Position(), 3);
    FForm->pbBar.SetBkColor(clGray);
    // The bar answers a new colour with the one it had.
    EXPECT_EQ(SendMessageA(FForm->pbBar.Handle(), PBM_SETBKCOLOR, 0, RGB(1, 2, 3)),
              static_cast<LRESULT>(RGB(128, 128, 128)));
}

TEST_F(Form, CreationOrderIsTabOrder) {
    // Children in Z-order that take the focus: the order Tab walks them in.
    std::vector<std::string> order;
    for (HWND child = GetWindow(Window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP)
            order.push_back(TextOf(child).empty() ? std::to_string(GetDlgCtrlID(child))
                                                  : TextOf(child));
    ASSERT_EQ(order.size(), 5u);
    EXPECT_EQ(order[0], "&Go");
    EXPECT_EQ(order[1], "O&ff");
    EXPECT_EQ(order[2], "&Fail");
    EXPECT_EQ(GetDlgCtrlID(FForm->List1.Handle()), std::stoi(order[3]));
    EXPECT_EQ(GetDlgCtrlID(FForm->Edit1.Handle()), std::stoi(order[4]));
}

TEST_F(Form, TabMovesTheFocusInTabOrderSkippingDisabledControls) {
    FForm->Show();
    PumpMessages();
    EXPECT_EQ(GetFocus(), FForm->btnGo.Handle());
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == FForm->btnFail.Handle(); }));
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == FForm->List1.Handle(); }));
}

TEST_F(Form, ComponentsAreLoadedAfterTheLayoutWithTheWindowAlreadyThere) {
    EXPECT_NE(FForm->Probe->OwnerWindowAtCreate, nullptr);
    EXPECT_EQ(FForm->Probe->OwnerWindowAtCreate, Window());
    EXPECT_EQ(FForm->Probe->Owner(), FForm);
    EXPECT_EQ(FForm->Log,
              (std::vector<std::string>{"probe loaded, btnGo says &Go", "form loaded, 100"}));
}

TEST_F(Form, ShowingCallsFormShow) {
    FForm->Show();
    EXPECT_TRUE(IsWindowVisible(Window()));
    ASSERT_EQ(FForm->Log.back(), "show");
    EXPECT_EQ(FForm->Senders.back(), FForm);
}

TEST_F(Form, ButtonClickReachesItsMemberHandler) {
    FForm->Show();
    FForm->Log.clear();
    SendMessageA(FForm->btnGo.Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(FForm->Log, std::vector<std::string>{"go"});
    EXPECT_EQ(FForm->Senders.back(), &FForm->btnGo);
    // A disabled button does nothing.
    SendMessageA(FForm->btnOff.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(FForm->Log, std::vector<std::string>{"go"});
}

TEST_F(Form, LinkLabelOnAPanelReachesItsHandler) {
    FForm->Show();
    FForm->Log.clear();
    // What a click on the label makes it send: STN_CLICKED to its parent, the panel.
    SendMessageA(FForm->Panel1.Handle(), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(FForm->Link1.Handle()), STN_CLICKED),
                 reinterpret_cast<LPARAM>(FForm->Link1.Handle()));
    ASSERT_EQ(FForm->Log, std::vector<std::string>{"link"});
    EXPECT_EQ(FForm->Senders.back(), &FForm->Link1);
    EXPECT_TRUE(GetWindowLongA(FForm->Link1.Handle(), GWL_STYLE) & SS_NOTIFY);
}

TEST_F(Form, FailingHandlerGoesToTheErrorReportAndTheProgramGoesOn) {
    FForm->Show();
    FForm->Log.clear();
    TDialogAnswerer answerer;
    EXPECT_NO_THROW(SendMessageA(FForm->btnFail.Handle(), BM_CLICK, 0, 0));
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].Caption, "Windows Ostrevane");
    EXPECT_EQ(answerer.Seen()[0].Text, "Cannot open file C:\\x.txt.");
    SendMessageA(FForm->btnGo.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(FForm->Log, (std::vector<std::string>{"fail", "go"}));
}

TEST_F(Form, ResizingMovesRightAnchoredControlsAndStretchesTheBottomOne) {
    FForm->Show();
    const TSize before = FForm->ClientSize();
    // Docked at the bottom over the full width from the start.
    ExpectPlace(FForm->pbBar.Handle(), 0, before.Height - 16, before.Width, 16);
    Grow(Window(), 120, 60);
    const TSize after = FForm->ClientSize();
    ASSERT_EQ(after.Width, before.Width + 120);
    ASSERT_EQ(after.Height, before.Height + 60);
    ExpectPlace(FForm->btnGo.Handle(), 410, 30, 89, 25);
    ExpectPlace(FForm->btnFail.Handle(), 410, 90, 89, 25);
    ExpectPlace(FForm->List1.Handle(), 16, 30, 250, 80);
    ExpectPlace(FForm->Label1.Handle(), 16, 8, 250, 16);
    ExpectPlace(FForm->Panel1.Handle(), 16, 120, 200, 60);
    ExpectPlace(FForm->pbBar.Handle(), 0, after.Height - 16, after.Width, 16);
    // And back: from the design, so nothing drifts.
    Grow(Window(), -120, -60);
    ExpectPlace(FForm->btnGo.Handle(), 290, 30, 89, 25);
    ExpectPlace(FForm->pbBar.Handle(), 0, before.Height - 16, before.Width, 16);
}

TEST_F(Form, MenuCommandsReachTheirHandlers) {
    FForm->Show();
    HMENU bar = GetMenu(Window());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    char caption[64] = {};
    GetMenuStringA(bar, 0, caption, sizeof caption, MF_BYPOSITION);
    EXPECT_STREQ(caption, "&File");
    HMENU file = GetSubMenu(bar, 0);
    ASSERT_NE(file, nullptr);
    GetMenuStringA(file, 0, caption, sizeof caption, MF_BYPOSITION);
    EXPECT_STREQ(caption, "E&xit");
    // "&Act" sits on the bar and acts at once.
    EXPECT_EQ(GetSubMenu(bar, 1), nullptr);
    FForm->Log.clear();
    PostMessageA(Window(), WM_COMMAND, GetMenuItemID(bar, 1), 0);
    PostMessageA(Window(), WM_COMMAND, GetMenuItemID(file, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return FForm->Log.size() == 2; }));
    EXPECT_EQ(FForm->Log, (std::vector<std::string>{"act Act1", "exit Exit1"}));
    // Exit closed the main form: hidden, and the application asked to stop.
    EXPECT_FALSE(IsWindowVisible(Window()));
    EXPECT_TRUE(Application().Terminated());
}

TEST_F(Form, RunShowsTheMainFormUntilItIsClosedThenDestroysTheForms) {
    HWND window = Window();
    Application().CreateForm<TdlgTest>();
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    Application().Run();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(Application().FormCount(), 0u);
    EXPECT_EQ(Application().MainForm(), nullptr);
    EXPECT_FALSE(Application().Terminated());
}

TEST_F(Form, PictureOfTheWindowIsSaved) {
    FForm->Show();
    FForm->List1.Add("C:\\some\\file.txt");
    PumpMessages();
    const std::string path = "framework_form.bmp";
    ASSERT_TRUE(SaveWindowPicture(Window(), path));
    RECT r{};
    GetWindowRect(Window(), &r);
    const auto stride = static_cast<std::uintmax_t>(((r.right - r.left) * 3 + 3) / 4 * 4);
    EXPECT_EQ(std::filesystem::file_size(path),
              14 + 40 + stride * static_cast<std::uintmax_t>(r.bottom - r.top));
    // The form's black background is in the picture: a point of the client area left bare.
    POINT bare{380, 200};
    MapWindowPoints(Window(), HWND_DESKTOP, &bare, 1);
    const int x = bare.x - r.left;
    const int y = bare.y - r.top;
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(
        14 + 40 + stride * static_cast<std::uintmax_t>(r.bottom - r.top - 1 - y) +
        3 * static_cast<std::uintmax_t>(x)));
    unsigned char bgr[3] = {9, 9, 9};
    in.read(reinterpret_cast<char*>(bgr), 3);
    EXPECT_EQ(bgr[0] | bgr[1] | bgr[2], 0);
}
