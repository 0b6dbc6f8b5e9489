#pragma once
// The program's main window as a test meets it: made by the program's own start-up, shown,
// with the program's registry key set aside for the test and put back afterwards.
#include "app/StartUp.h"
#include "tests/settings/ProgramKey.h"
#include "tests/support/win/UiTest.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

inline constexpr const char* kPickerTitle = "Select the File(s) to Shred";

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TfrmShredder& Form() { return *FForm; }
    std::vector<std::string> Entries();
    // Clicks a button as a user does; the dialogs it shows are answered by `action`.
    // Returns what those dialogs showed.
    std::vector<TDialogSeen> Click(TButton& button,
                                   TDialogAnswerer::TAction action = TDialogAnswerer::PressOk);

private:
    ProgramKeySandbox FSandbox;
    TfrmShredder* FForm = nullptr;
};

// Answers the file picker by typing `typed` into its file name box and pressing Open; any
// other dialog gets OK.
TDialogAnswerer::TAction TypeIntoPicker(std::string typed);
// The picker's answer for several names at once: each in double quotes.
std::string Quoted(const std::vector<std::string>& names);
// The text in the picker's file name box.
std::string PickerFileName(HWND picker);
// Whether any pixel of a control's client area has exactly this colour.
bool ShowsColor(HWND window, COLORREF color);
