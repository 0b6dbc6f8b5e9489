#include "controls/DDDest.h"
#include "framework/Exception.h"
#include "framework/Form.h"
#include "tests/support/win/UiTest.h"
#include "TestFiles.h"
#include <gtest/gtest.h>
#include <shlobj.h>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {
// A drop as the shell hands it over: a DROPFILES header in movable global memory, then the ANSI
// names, each ending in a zero, and one more zero after the last.
HDROP MakeDrop(const std::vector<std::string>& names, POINT point) {
    std::size_t chars = 1;
    for (const std::string& name : names)
        chars += name.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->pt = point;
    header->fNC = FALSE;
    header->fWide = FALSE;
    char* next = reinterpret_cast<char*>(header) + sizeof(DROPFILES);
    for (const std::string& name : names) {
        std::memcpy(next, name.data(), name.size());
        next += name.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// DragFinish frees the drop's memory; a freed handle is no longer a valid one.
bool Released(HDROP drop) {
    return GlobalFlags(drop) == GMEM_INVALID_HANDLE;
}

bool AcceptsFiles(HWND window) {
    return (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
}

class TfrmDropTarget : public TForm {
public:
    TfrmDropTarget();

    TButton btnGo;
    TDnDForm* DnDForm1 = nullptr;
    std::vector<std::string> Clicks;

    void btnGoClick(TObject*) { Clicks.push_back("btnGo"); }
};

const TFormLayout kDropTargetLayout{
    .Form = {.Caption = "Drop Target", .Left = 60, .Top = 60, .Width = 320, .Height = 200},
    .Controls = {{.Name = "btnGo",
                  .Field = &TfrmDropTarget::btnGo,
                  .Bounds = {16, 16, 89, 25},
                  .Caption = "&Go",
                  .OnClick = &TfrmDropTarget::btnGoClick}}};

TfrmDropTarget::TfrmDropTarget() : TForm(kDropTargetLayout) {
    DnDForm1 = &Own<TDnDForm>();
    DnDForm1->SetActive(true);
}

// A form with no receiver of its own, for receivers that live apart from it. It notes whether
// its window still accepted drops when its own handling of WM_DESTROY ran.
class TfrmPlain : public TForm {
public:
    TfrmPlain();

    TButton btnGo;
    std::vector<std::string> Clicks;
    std::vector<bool> AcceptedAtDestroy;

    void btnGoClick(TObject*) { Clicks.push_back("btnGo"); }

protected:
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_DESTROY)
            AcceptedAtDestroy.push_back(AcceptsFiles(Handle()));
        return TForm::WndProc(message, wParam, lParam);
    }
};

const TFormLayout kPlainLayout{
    .Form = {.Caption = "Plain", .Left = 60, .Top = 60, .Width = 320, .Height = 200},
    .Controls = {{.Name = "btnGo",
                  .Field = &TfrmPlain::btnGo,
                  .Bounds = {16, 16, 89, 25},
                  .Caption = "&Go",
                  .OnClick = &TfrmPlain::btnGoClick}}};

TfrmPlain::TfrmPlain() : TForm(kPlainLayout) {}

class DropReceiver : public testing::Test {
protected:
    void SetUp() override {
        Application().SetTitle("Windows Ostrevane");
        FForm = &Application().CreateForm<TfrmDropTarget>();
        FForm->Show();
        PumpMessages();
        FReceiver = FForm->DnDForm1;
        FReceiver->SetOnDnDStart([this](TObject* sender, int count, int x, int y) {
            Record(sender, "start " + std::to_string(count) + " at " + std::to_string(x) + "," +
                               std::to_string(y));
        });
        FReceiver->SetOnDnDItem(
            [this](TObject* sender, const std::string& item) { Record(sender, item); });
        FReceiver->SetOnDnDFinish([this](TObject* sender) { Record(sender, "finish"); });
    }
    void TearDown() override { Application().DestroyForms(); }

    void Record(TObject* sender, const std::string& what) {
        EXPECT_EQ(sender, FReceiver) << what;
        FLog.push_back(what);
    }
    LRESULT Drop(HDROP drop) {
        return SendMessageA(FForm->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    }

    TfrmDropTarget* FForm = nullptr;
    TDnDForm* FReceiver = nullptr;
    std::vector<std::string> FLog;
};

using Strings = std::vector<std::string>;

TEST_F(DropReceiver, NamesArriveInOrderBetweenStartAndFinish) {
    HDROP drop =
        MakeDrop({"C:\\drop\\one.txt", "C:\\drop\\two words.txt", "C:\\drop\\sub"}, {12, 34});
    EXPECT_EQ(Drop(drop), 0);
    EXPECT_EQ(FLog, (Strings{"start 3 at 12,34", "C:\\drop\\one.txt", "C:\\drop\\two words.txt",
                             "C:\\drop\\sub", "finish"}));
    EXPECT_TRUE(Released(drop));
}

TEST_F(DropReceiver, PostedDropIsHandledByTheMessageLoop) {
    HDROP drop = MakeDrop({"C:\\a.txt", "C:\\b.txt"}, {5, 6});
    ASSERT_TRUE(PostMessageA(FForm->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0));
    ASSERT_TRUE(PumpUntil([&] { return !FLog.empty() && FLog.back() == "finish"; }));
    EXPECT_EQ(FLog, (Strings{"start 2 at 5,6", "C:\\a.txt", "C:\\b.txt", "finish"}));
    EXPECT_TRUE(Released(drop));
}

TEST_F(DropReceiver, OnlyTheNotificationsThatAreSetAreCalled) {
    FReceiver->SetOnDnDStart(nullptr);
    FReceiver->SetOnDnDFinish(nullptr);
    HDROP itemsOnly = MakeDrop({"C:\\a.txt", "C:\\a.txt"}, {1, 1});
    EXPECT_EQ(Drop(itemsOnly), 0);
    EXPECT_EQ(FLog, (Strings{"C:\\a.txt", "C:\\a.txt"}));
    EXPECT_TRUE(Released(itemsOnly));

    FLog.clear();
    FReceiver->SetOnDnDItem(nullptr);
    FReceiver->SetOnDnDFinish([this](TObject* sender) { Record(sender, "finish"); });
    HDROP finishOnly = MakeDrop({"C:\\a.txt"}, {1, 1});
    EXPECT_EQ(Drop(finishOnly), 0);
    EXPECT_EQ(FLog, Strings{"finish"});
    EXPECT_TRUE(Released(finishOnly));
}

TEST_F(DropReceiver, LongNameArrivesWholeNotCutToAnExistingShorterName) {
    TempDir dir;
    // An existing file whose name is exactly the first 258 characters of the dropped one: a
    // name cut there would send this file to the shredder instead.
    std::string existing = dir / "";
    existing += std::string(258 - existing.size() - 4, 'r') + ".txt";
    ASSERT_EQ(existing.size(), 258u);
    std::ofstream(existing) << "keep me";
    ASSERT_NE(GetFileAttributesA(existing.c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string dropped = existing + ".old";

    HDROP drop = MakeDrop({dropped, "C:\\short.txt"}, {0, 0});
    EXPECT_EQ(Drop(drop), 0);
    EXPECT_EQ(FLog, (Strings{"start 2 at 0,0", dropped, "C:\\short.txt", "finish"}));
    EXPECT_TRUE(Released(drop));
}

TEST_F(DropReceiver, FailingHandlerIsReportedAndEndsTheDrop) {
    FReceiver->SetOnDnDItem([this](TObject* sender, const std::string& item) {
        Record(sender, item);
        if (item == "C:\\b.txt")
            throw Exception("Unable to insert a line");
    });
    TDialogAnswerer answerer;
    HDROP drop = MakeDrop({"C:\\a.txt", "C:\\b.txt", "C:\\c.txt"}, {7, 8});
    LRESULT result = -1;
    EXPECT_NO_THROW(result = Drop(drop));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(FLog, (Strings{"start 3 at 7,8", "C:\\a.txt", "C:\\b.txt"}));
    EXPECT_TRUE(Released(drop));
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].Caption, "Windows Ostrevane");
    EXPECT_EQ(answerer.Seen()[0].Text, "Unable to insert a line.");

    // The receiver goes on working for the next drop.
    FLog.clear();
    HDROP next = MakeDrop({"C:\\c.txt"}, {7, 8});
    EXPECT_EQ(Drop(next), 0);
    EXPECT_EQ(FLog, (Strings{"start 1 at 7,8", "C:\\c.txt", "finish"}));
    EXPECT_EQ(answerer.Seen().size(), 1u);
}

TEST_F(DropReceiver, FailingStartOrFinishIsReportedAndTheDropReleased) {
    FReceiver->SetOnDnDStart([](TObject*, int, int, int) { throw Exception("Start failed"); });
    TDialogAnswerer answerer;
    HDROP first = MakeDrop({"C:\\a.txt"}, {0, 0});
    EXPECT_NO_THROW(Drop(first));
    EXPECT_TRUE(FLog.empty());
    EXPECT_TRUE(Released(first));

    FReceiver->SetOnDnDStart(nullptr);
    FReceiver->SetOnDnDFinish([](TObject*) { throw Exception("Finish failed"); });
    HDROP second = MakeDrop({"C:\\a.txt"}, {0, 0});
    EXPECT_NO_THROW(Drop(second));
    EXPECT_EQ(FLog, Strings{"C:\\a.txt"});
    EXPECT_TRUE(Released(second));

    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].Text, "Start failed.");
    EXPECT_EQ(answerer.Seen()[1].Text, "Finish failed.");
}

TEST_F(DropReceiver, ActiveRegistersAndWithdrawsTheWindowAsADropTarget) {
    HWND window = FForm->Handle();
    EXPECT_TRUE(FReceiver->Active());
    EXPECT_TRUE(AcceptsFiles(window));

    FReceiver->SetActive(false);
    EXPECT_FALSE(FReceiver->Active());
    EXPECT_FALSE(AcceptsFiles(window));

    FReceiver->SetActive(true);
    EXPECT_TRUE(AcceptsFiles(window));

    // Setting the value it already has does nothing, not even re-registering the window.
    DragAcceptFiles(window, FALSE);
    FReceiver->SetActive(true);
    EXPECT_FALSE(AcceptsFiles(window));
}

TEST_F(DropReceiver, OtherMessagesReachTheFormThroughTheReplacedProcedure) {
    HWND window = FForm->Handle();
    EXPECT_NE(GetWindowLongPtrA(window, GWLP_WNDPROC), GetClassLongPtrA(window, GCLP_WNDPROC));
    FForm->btnGo.Click();
    EXPECT_EQ(FForm->Clicks, Strings{"btnGo"});
    FForm->SetCaption("Renamed");
    EXPECT_EQ(FForm->Caption(), "Renamed");
    EXPECT_TRUE(FLog.empty());
}

TEST(DropReceiverOwner, MustBeAForm) {
    TComponent notAForm;
    EXPECT_THROW(notAForm.Own<TDnDForm>(), EInvalidCast);
    EXPECT_EQ(notAForm.ComponentCount(), 0u);
    EXPECT_THROW(TDnDForm receiver(nullptr), EInvalidCast);
}

class DropReceiverApart : public testing::Test {
protected:
    void SetUp() override {
        FForm = &Application().CreateForm<TfrmPlain>();
        FForm->Show();
        PumpMessages();
        FWindow = FForm->Handle();
        FFormProc = GetWindowLongPtrA(FWindow, GWLP_WNDPROC);
    }
    void TearDown() override { Application().DestroyForms(); }

    TfrmPlain* FForm = nullptr;
    HWND FWindow = nullptr;
    LONG_PTR FFormProc = 0;
};

TEST_F(DropReceiverApart, ReceiverPutsTheFormProcedureBackWhenItGoes) {
    {
        TDnDForm receiver(FForm);
        receiver.SetActive(true);
        receiver.Loaded();
        EXPECT_NE(GetWindowLongPtrA(FWindow, GWLP_WNDPROC), FFormProc);
        EXPECT_TRUE(AcceptsFiles(FWindow));
    }
    EXPECT_EQ(GetWindowLongPtrA(FWindow, GWLP_WNDPROC), FFormProc);
    EXPECT_FALSE(AcceptsFiles(FWindow));
    FForm->btnGo.Click();
    EXPECT_EQ(FForm->Clicks, Strings{"btnGo"});
}

TEST_F(DropReceiverApart, DestroyedWindowStopsAcceptingDropsBeforeTheFormSeesIt) {
    TDnDForm receiver(FForm);
    receiver.SetActive(true);
    receiver.Loaded();
    DestroyWindow(FWindow);
    EXPECT_EQ(FForm->AcceptedAtDestroy, std::vector<bool>{false});
    EXPECT_FALSE(receiver.Active());
    EXPECT_FALSE(IsWindow(FWindow));
}
} // namespace
