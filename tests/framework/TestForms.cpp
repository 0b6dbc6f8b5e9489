#include "TestForms.h"
#include "framework/Exception.h"

TProbe::TProbe(TComponent* owner, std::vector<std::string>& log) : TComponent(owner), FLog(log) {
    OwnerWindowAtCreate = static_cast<TForm*>(owner)->Handle();
}

void TProbe::Loaded() {
    auto* form = static_cast<TfrmTest*>(Owner());
    FLog.push_back("probe loaded, btnGo says " + form->btnGo.Text());
}

TfrmTest::TfrmTest() : TForm(Layout()) {
    Probe = &Own<TProbe>(Log);
}

const TFormLayout& TfrmTest::Layout() {
    static const TFormLayout layout{
        .Form = {.Caption = "Test Form",
                 .Left = 40,
                 .Top = 30,
                 .Width = 400,
                 .Height = 300,
                 .Color = clBlack,
                 .OnShow = &TfrmTest::FormShow},
        .Controls =
            {
                {.Name = "Label1",
                 .Field = &TfrmTest::Label1,
                 .Bounds = {16, 8, 250, 16},
                 .Caption = "Drop files here.",
                 .Font = Font("MS Sans Serif", -13, fsBold, clSilver),
                 .Options = coTransparent | coWordWrap},
                {.Name = "Label2",
                 .Field = &TfrmTest::Label2,
                 .Bounds = {300, 120, 60, 40},
                 .Font = Font("Courier New", -11, 0, clRed, ANSI_CHARSET),
                 .Options = coWordWrap | coFixedSize,
                 .Color = clBlack},
                {.Name = "Panel1", .Field = &TfrmTest::Panel1, .Bounds = {16, 120, 200, 60}},
                {.Name = "Link1",
                 .Field = &TfrmTest::Link1,
                 .Parent = &TfrmTest::Panel1,
                 .Bounds = {8, 20, 120, 14},
                 .Caption = "www.example.org",
                 .Font = Font("Arial", -11, fsUnderline, clBlue),
                 .Options = coHandPoint,
                 .OnClick = &TfrmTest::Link1Click},
                {.Name = "btnGo",
                 .Field = &TfrmTest::btnGo,
                 .Bounds = {290, 30, 89, 25},
                 .Caption = "&Go",
                 .Anchors = akTop | akRight,
                 .TabOrder = 0,
                 .OnClick = &TfrmTest::btnGoClick},
                {.Name = "btnFail",
                 .Field = &TfrmTest::btnFail,
                 .Bounds = {290, 90, 89, 25},
                 .Caption = "&Fail",
                 .Anchors = akTop | akRight,
                 .TabOrder = 2,
                 .OnClick = &TfrmTest::btnFailClick},
                {.Name = "btnOff",
                 .Field = &TfrmTest::btnOff,
                 .Bounds = {290, 60, 89, 25},
                 .Caption = "O&ff",
                 .Anchors = akTop | akRight,
                 .TabOrder = 1,
                 .Options = coDisabled,
                 .OnClick = &TfrmTest::btnGoClick},
                {.Name = "Edit1",
                 .Field = &TfrmTest::Edit1,
                 .Bounds = {16, 190, 250, 21},
                 .TabOrder = 4,
                 .Options = coReadOnly},
                {.Name = "List1",
                 .Field = &TfrmTest::List1,
                 .Bounds = {16, 30, 250, 80},
                 .TabOrder = 3,
                 .ItemHeight = 13},
                {.Name = "pbBar",
                 .Field = &TfrmTest::pbBar,
                 .Bounds = {0, 240, 392, 16},
                 .Align = TAlign::alBottom,
                 .Max = 100},
            },
        .Menu =
            {
                {.Name = "File1",
                 .Caption = "&File",
                 .Items =
                     {{.Name = "Exit1", .Caption = "E&xit", .OnClick = &TfrmTest::Exit1Click}}},
                {.Name = "Act1", .Caption = "&Act", .OnClick = &TfrmTest::Act1Click},
            },
    };
    return layout;
}

void TfrmTest::Loaded() {
    Log.push_back("form loaded, " + std::to_string(pbBar.Max()));
}

void TfrmTest::FormShow(TObject* Sender) {
    Log.push_back("show");
    Senders.push_back(Sender);
}

void TfrmTest::btnGoClick(TObject* Sender) {
    Log.push_back("go");
    Senders.push_back(Sender);
}

void TfrmTest::btnFailClick(TObject*) {
    Log.push_back("fail");
    throw Exception("Cannot open file C:\\x.txt");
}

void TfrmTest::Link1Click(TObject* Sender) {
    Log.push_back("link");
    Senders.push_back(Sender);
}

void TfrmTest::Exit1Click(TObject* Sender) {
    Log.push_back("exit " + static_cast<TMenuItem*>(Sender)->Name());
    Close();
}

void TfrmTest::Act1Click(TObject* Sender) {
    Log.push_back("act " + static_cast<TMenuItem*>(Sender)->Name());
}

TdlgTest::TdlgTest() : TForm(Layout()) {}

const TFormLayout& TdlgTest::Layout() {
    static const TFormLayout layout{
        .Form = {.Caption = "About",
                 .Position = TPosition::poScreenCenter,
                 .ClientWidth = 298,
                 .ClientHeight = 213,
                 .Border = TBorderStyle::bsDialog,
                 .Color = clBtnFace},
        .Controls =
            {
                {.Name = "Panel1", .Field = &TdlgTest::Panel1, .Bounds = {8, 8, 281, 161}},
                {.Name = "Image1",
                 .Field = &TdlgTest::Image1,
                 .Parent = &TdlgTest::Panel1,
                 .Bounds = {16, 8, 32, 32}},
                {.Name = "Caption1",
                 .Field = &TdlgTest::Caption1,
                 .Parent = &TdlgTest::Panel1,
                 .Bounds = {208, 40, 58, 13},
                 .Caption = "version 2.00",
                 .Options = coRightAlign},
                {.Name = "OKButton",
                 .Field = &TdlgTest::OKButton,
                 .Bounds = {111, 180, 75, 25},
                 .Caption = "OK",
                 .Options = coDefault,
                 .OnClick = &TdlgTest::OKButtonClick},
            },
    };
    return layout;
}

void TdlgTest::OKButtonClick(TObject*) {
    ++OkClicks;
    Close();
}

LRESULT TdlgTest::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        HWND main = reinterpret_cast<HWND>(lParam);
        Checks.push_back(std::string(Visible() ? "open" : "closed") +
                         (ModalResult() == mrNone ? " modal" : " ended") +
                         (IsWindowEnabled(main) ? " main enabled" : " main disabled"));
        return 0;
    }
    return TForm::WndProc(message, wParam, lParam);
}
