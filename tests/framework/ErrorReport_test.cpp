#include "framework/Application.h"
#include "framework/Exception.h"
#include "framework/Guard.h"
#include "tests/support/win/UiTest.h"
#include <gtest/gtest.h>

namespace {
constexpr UINT kThrowFailure = WM_APP;
constexpr UINT kThrowOther = WM_APP + 1;

int gHandled = 0;

// A bare window whose procedure runs its body in the guard, as every callback of the program
// does, and throws on request.
LRESULT CALLBACK ThrowingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return Guarded(LRESULT{-1}, [&]() -> LRESULT {
        if (message == kThrowFailure)
            throw Exception("Cannot open file C:\\x.txt");
        if (message == kThrowOther)
            throw 42;
        if (message == WM_APP + 2)
            return ++gHandled;
        return DefWindowProcA(window, message, wParam, lParam);
    });
}

class ErrorReport : public testing::Test {
protected:
    void SetUp() override {
        Application().SetTitle("Windows Ostrevane");
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = ThrowingProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "GuardTestWindow";
        RegisterClassA(&windowClass);
        FWindow = CreateWindowExA(0, "GuardTestWindow", "guard", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                  100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(FWindow, nullptr);
    }
    void TearDown() override { DestroyWindow(FWindow); }

    HWND FWindow = nullptr;
};
} // namespace

TEST_F(ErrorReport, ShowsTheMessageWithAFullStopUnderTheTitle) {
    TDialogAnswerer answerer;
    Application().ShowException(Exception("Cannot open file C:\\x.txt"));
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].Caption, "Windows Ostrevane");
    EXPECT_EQ(answerer.Seen()[0].Text, "Cannot open file C:\\x.txt.");

    Application().ShowException(Exception("Invalid data type for 'SearchPath'"));
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].Text, "Invalid data type for 'SearchPath'");
}

TEST_F(ErrorReport, IgnoresAReportRaisedWhileOneIsShowing) {
    bool nestedReturned = false;
    TDialogAnswerer answerer([&](HWND dialog, const TDialogSeen& seen) {
        Application().ShowException(Exception("second"));
        nestedReturned = true;
        TDialogAnswerer::PressOk(dialog, seen);
    });
    Application().ShowException(Exception("first"));
    EXPECT_TRUE(nestedReturned);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].Text, "first.");
    // Once closed, the next failure is shown again.
    Application().ShowException(Exception("third"));
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].Text, "third.");
}

TEST_F(ErrorReport, GuardReportsAFailureFromSendMessageAndReturnsTheFallback) {
    TDialogAnswerer answerer;
    LRESULT result = 0;
    EXPECT_NO_THROW(result = SendMessageA(FWindow, kThrowFailure, 0, 0));
    EXPECT_EQ(result, -1);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].Caption, "Windows Ostrevane");
    EXPECT_EQ(answerer.Seen()[0].Text, "Cannot open file C:\\x.txt.");
    // The window goes on working.
    const int before = gHandled;
    EXPECT_EQ(SendMessageA(FWindow, WM_APP + 2, 0, 0), before + 1);
}

TEST_F(ErrorReport, GuardReportsAFailureFromADispatchedPostedMessage) {
    TDialogAnswerer answerer;
    ASSERT_TRUE(PostMessageA(FWindow, kThrowFailure, 0, 0));
    EXPECT_NO_THROW(ASSERT_TRUE(PumpUntil([&] { return answerer.Seen().size() == 1; })));
    EXPECT_EQ(answerer.Seen()[0].Text, "Cannot open file C:\\x.txt.");
}

TEST_F(ErrorReport, GuardReportsAnythingElseThrown) {
    TDialogAnswerer answerer;
    EXPECT_NO_THROW(SendMessageA(FWindow, kThrowOther, 0, 0));
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].Caption, "Windows Ostrevane");
    EXPECT_EQ(answerer.Seen()[0].Text, "Unknown failure.");
}
