#include "TestForms.h"
#include "tests/support/win/UiTest.h"
#include <gtest/gtest.h>

namespace {
class ShowModal : public testing::Test {
protected:
    void SetUp() override {
        Application().SetTitle("Windows Ostrevane");
        FMain = &Application().CreateForm<TfrmTest>();
        FDialog = &Application().CreateForm<TdlgTest>();
        FMain->Show();
        PumpMessages();
    }
    void TearDown() override { Application().DestroyForms(); }

    // Queued now, handled by the modal loop once it runs.
    void Queue(UINT message, WPARAM wParam, LPARAM lParam = 0, HWND target = nullptr) {
        ASSERT_TRUE(PostMessageA(target ? target : FDialog->Handle(), message, wParam, lParam));
    }
    void QueueKey(int key) {
        Queue(WM_KEYDOWN, static_cast<WPARAM>(key), 0, FDialog->OKButton.Handle());
    }
    void QueueCheck() { Queue(WM_APP, 0, reinterpret_cast<LPARAM>(FMain->Handle())); }

    TfrmTest* FMain = nullptr;
    TdlgTest* FDialog = nullptr;
};
} // namespace

TEST_F(ShowModal, DialogIsCentredWithTheClientSizeAsked) {
    RECT client{};
    GetClientRect(FDialog->Handle(), &client);
    EXPECT_EQ(client.right, 298);
    EXPECT_EQ(client.bottom, 213);
    RECT outer{};
    GetWindowRect(FDialog->Handle(), &outer);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
    const LONG style = GetWindowLongA(FDialog->Handle(), GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(GetWindowLongA(FDialog->OKButton.Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON);
}

TEST_F(ShowModal, EnterPressesTheDefaultButton) {
    QueueCheck();
    QueueKey(VK_RETURN);
    FDialog->ShowModal();
    EXPECT_EQ(FDialog->OkClicks, 1);
    EXPECT_EQ(FDialog->Checks, std::vector<std::string>{"open modal main disabled"});
    EXPECT_FALSE(FDialog->Visible());
    EXPECT_TRUE(IsWindowEnabled(FMain->Handle()));
}

TEST_F(ShowModal, EscapeDoesNothingWithoutACancelButtonAndTheCloseBoxCloses) {
    QueueKey(VK_ESCAPE);
    QueueCheck();
    Queue(WM_SYSCOMMAND, SC_CLOSE);
    const int result = FDialog->ShowModal();
    EXPECT_EQ(FDialog->Checks, std::vector<std::string>{"open modal main disabled"});
    EXPECT_EQ(FDialog->OkClicks, 0);
    EXPECT_EQ(result, mrCancel);
    EXPECT_FALSE(FDialog->Visible());
    EXPECT_TRUE(IsWindowEnabled(FMain->Handle()));
}

TEST_F(ShowModal, CanBeShownAgainAfterClosing) {
    QueueKey(VK_RETURN);
    FDialog->ShowModal();
    QueueKey(VK_RETURN);
    FDialog->ShowModal();
    EXPECT_EQ(FDialog->OkClicks, 2);
}

TEST_F(ShowModal, ErrorReportInsideTheModalLoopDoesNotEndIt) {
    // Keys queued before the report would be eaten by the message box's own loop, as a user's
    // keys would; so the Enter for the dialog comes once the report is answered.
    TDialogAnswerer answerer([&](HWND box, const TDialogSeen& seen) {
        TDialogAnswerer::PressOk(box, seen);
        QueueCheck();
        QueueKey(VK_RETURN);
    });
    // A failing handler of the main form reached while the dialog is up (a message sent to it).
    Queue(WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(FMain->btnFail.Handle()), BN_CLICKED),
          reinterpret_cast<LPARAM>(FMain->btnFail.Handle()), FMain->Handle());
    FDialog->ShowModal();
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].Text, "Cannot open file C:\\x.txt.");
    EXPECT_EQ(FDialog->Checks, std::vector<std::string>{"open modal main disabled"});
    EXPECT_EQ(FDialog->OkClicks, 1);
}
