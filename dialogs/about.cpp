#include "dialogs/about.h"
#include <shellapi.h>
#include <string>

namespace {
constexpr const char* kWebAddress = "http://www.velmarth.example";
constexpr const char* kSoftwarePage = "http://www.velmarth.example/ostrevane";
constexpr const char* kEmail = "info@velmarth.example";
constexpr const char* kSupportEmail = "support@velmarth.example";

const TFormLayout kLayout = {
    .Form = {.Caption = "About",
             .Position = TPosition::poScreenCenter,
             .ClientWidth = 298,
             .ClientHeight = 213,
             .Border = TBorderStyle::bsDialog,
             .Color = clBtnFace,
             .Font = Font("MS Sans Serif", -11, 0, clWindowText)},
    .Controls = {
        {.Name = "Panel1", .Field = &TfrmAbout::Panel1, .Bounds = {8, 8, 281, 161}},
        {.Name = "ProgramIcon",
         .Field = &TfrmAbout::ProgramIcon,
         .Parent = &TfrmAbout::Panel1,
         .Bounds = {16, 8, 32, 32},
         .Icon = kProgramIcon},
        {.Name = "ProductName",
         .Field = &TfrmAbout::ProductName,
         .Parent = &TfrmAbout::Panel1,
         .Bounds = {64, 16, 163, 18},
         .Caption = "Windows Ostrevane",
         .Font = Font("Arial", -16, 0, clYellow)},
        {.Name = "Version",
         .Field = &TfrmAbout::Version,
         .Parent = &TfrmAbout::Panel1,
         .Bounds = {208, 40, 58, 13},
         .Caption = "version 2.00",
         .Options = coRightAlign},
        {.Name = "Copyright",
         .Field = &TfrmAbout::Copyright,
         .Parent = &TfrmAbout::Panel1,
         .Bounds = {8, 80, 202, 14},
         .Caption = "Copyright (c) 2026 Velmarth",
         .Font = Font("Arial", -11)},
        {.Name = "Comments",
         .Field = &TfrmAbout::Comments,
         .Parent = &TfrmAbout::Panel1,
         .Bounds = {8, 112, 34, 14},
         .Caption = "visit at:",
         .Font = Font("Arial", -11)},
        {.Name = "Label1",
         .Field = &TfrmAbout::Label1,
         .Parent = &TfrmAbout::Panel1,
         .Bounds = {56, 112, 181, 14},
         .Caption = kWebAddress,
         .Font = Font("Arial", -11, fsUnderline, clBlue),
         .TabOrder = 0,
         .Options = coHandPoint,
         .OnClick = &TfrmAbout::Label1Click},
        {.Name = "Label3",
         .Field = &TfrmAbout::Label3,
         .Parent = &TfrmAbout::Panel1,
         .Bounds = {8, 136, 27, 14},
         .Caption = "email:",
         .Font = Font("Arial", -11)},
        {.Name = "Label2",
         .Field = &TfrmAbout::Label2,
         .Parent = &TfrmAbout::Panel1,
         .Bounds = {56, 136, 125, 14},
         .Caption = kEmail,
         .Font = Font("Arial", -11, fsUnderline, clBlue),
         .TabOrder = 1,
         .Options = coHandPoint,
         .OnClick = &TfrmAbout::Label2Click},
        {.Name = "OKButton",
         .Field = &TfrmAbout::OKButton,
         .Bounds = {111, 180, 75, 25},
         .Caption = "OK",
         .Options = coDefault,
         .OnClick = &TfrmAbout::OKButtonClick},
    }};

// The shell's "open" verb: above 32 is success, anything else a failure code.
bool ShellOpen(const std::string& document) {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(
        GetDesktopWindow(), "open", document.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

void ShowError(const std::string& text) {
    MessageBoxA(GetActiveWindow(), text.c_str(), "Error", MB_ICONERROR | MB_OK);
}
} // namespace

TfrmAbout::TfrmAbout() : TForm(kLayout) {}

void TfrmAbout::OKButtonClick(TObject*) {
    SetModalResult(mrOk);
    Close();
}

void TfrmAbout::Label1Click(TObject*) {
    if (!ShellOpen(kWebAddress))
        ShowError(std::string("An error occurred with web browser request, please open Oyour "
                              "browser and go to ") +
                  kSoftwarePage + " for more info!");
}

void TfrmAbout::Label2Click(TObject*) {
    if (!ShellOpen(std::string("mailto:") + kEmail + "?subject=Info Request"))
        ShowError(std::string("An error occurred with automatic mailing, please open Outlook "
                              "Express and send an email addressed to ") +
                  kSupportEmail + "!");
}
